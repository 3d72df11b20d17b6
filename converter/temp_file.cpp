// Output files written under a temporary name beside the final one and renamed when
// complete, so that a failed or interrupted export never leaves a half-written file;
// and thumbnails, written whole into the named file itself, removed on a failure.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "converter/export.h"
#include "converter/file_reader.h"

namespace {

constexpr const char TEMP_MARK[] = ".part-XXXXXX";
constexpr mode_t NEW_FILE_MODE = 0666;

// The temporary file being written (one at a time), for the signal handler and, in a
// worker, for its parent.
PendingTemp own_pending{};
PendingTemp* pending = &own_pending;

void remove_pending_and_die(int signal_number) {
  if (pending->set) unlink(pending->name);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

mode_t current_umask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

void temp_file_guard_signals() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction now {};
    if (sigaction(signal_number, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) continue;
    signal(signal_number, remove_pending_and_die);
  }
  // A file size limit then shows as a failed write, which is reported and cleaned up.
  signal(SIGXFSZ, SIG_IGN);
}

void temp_file_track_in(PendingTemp* shared) {
  shared->set = 0;
  pending = shared;
}

void temp_file_remove_pending(PendingTemp& record) {
  if (record.set) unlink(record.name);
  record.set = 0;
}

bool temp_file_open(TempFile& file, const std::string& final_name, std::string& error) {
  file.final_name = final_name;
  file.temp_name.clear();
  const std::string pattern = final_name + TEMP_MARK;
  if (pattern.size() >= sizeof pending->name) {
    error = final_name + ": cannot create: " + std::strerror(ENAMETOOLONG);
    file.fd = -1;
    return false;
  }
  // The name is made where the signal handler and a worker's parent look for it, and
  // marked there before the file exists, so that it is never left behind unnamed.
  pending->set = 0;
  std::memcpy(pending->name, pattern.c_str(), pattern.size() + 1);
  pending->set = 1;
  file.fd = mkstemp(pending->name);
  if (file.fd < 0) {
    pending->set = 0;
    error = final_name + ": cannot create: " + std::strerror(errno);
    return false;
  }
  file.temp_name = pending->name;
  fchmod(file.fd, NEW_FILE_MODE & ~current_umask());
  return true;
}

bool temp_file_commit(TempFile& file, std::string& error) {
  int fd = file.fd;
  file.fd = -1;
  if (fd >= 0 && close(fd) != 0) {
    error = file.final_name + ": cannot write: " + std::strerror(errno);
    unlink(file.temp_name.c_str());
    pending->set = 0;
    return false;
  }
  if (rename(file.temp_name.c_str(), file.final_name.c_str()) != 0) {
    error = file.final_name + ": cannot write: " + std::strerror(errno);
    unlink(file.temp_name.c_str());
    pending->set = 0;
    return false;
  }
  pending->set = 0;
  return true;
}

bool file_write_in_place(const std::string& name, const std::vector<uint8_t>& bytes, std::string& error) {
  if (name.size() >= sizeof pending->name) {
    error = name + ": cannot create: " + std::strerror(ENAMETOOLONG);
    return false;
  }
  // Marked before the file is opened, so that a signal never leaves it half-written.
  pending->set = 0;
  std::memcpy(pending->name, name.c_str(), name.size() + 1);
  pending->set = 1;
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, NEW_FILE_MODE);
  if (fd < 0) {
    pending->set = 0;
    error = name + ": cannot create: " + std::strerror(errno);
    return false;
  }
  int write_error = 0;
  if (write_fully(fd, bytes.data(), bytes.size(), write_error) != bytes.size() && write_error == 0)
    write_error = EIO;
  if (write_error != 0) {
    // Emptied as well as removed, as the thumbnail service may hold it open; removed
    // below even when it cannot be emptied.
    const int emptied = ftruncate(fd, 0);
    static_cast<void>(emptied);
  }
  if (close(fd) != 0 && write_error == 0) write_error = errno;
  if (write_error != 0) {
    unlink(name.c_str());
    pending->set = 0;
    error = name + ": cannot write: " + std::strerror(write_error);
    return false;
  }
  pending->set = 0;
  return true;
}

void temp_file_discard(TempFile& file) {
  if (file.fd >= 0) close(file.fd);
  file.fd = -1;
  if (!file.temp_name.empty()) unlink(file.temp_name.c_str());
  file.temp_name.clear();
  pending->set = 0;
}
