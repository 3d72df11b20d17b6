// Output files written under a temporary name beside the final one and renamed when
// complete, so that a failed or interrupted export never leaves a half-written file.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/export/export.h"

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

void temp_file_discard(TempFile& file) {
  if (file.fd >= 0) close(file.fd);
  file.fd = -1;
  if (!file.temp_name.empty()) unlink(file.temp_name.c_str());
  file.temp_name.clear();
  pending->set = 0;
}
