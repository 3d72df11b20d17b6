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

// The temporary file being written, for the signal handler (one at a time).
char pending_name[4096];
volatile sig_atomic_t pending = 0;

void remove_pending_and_die(int signal_number) {
  if (pending) unlink(pending_name);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void set_pending(const std::string& name) {
  pending = 0;
  if (name.size() < sizeof pending_name) {
    std::memcpy(pending_name, name.c_str(), name.size() + 1);
    pending = 1;
  }
}

mode_t current_umask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

void temp_file_guard_signals() {
  signal(SIGINT, remove_pending_and_die);
  signal(SIGTERM, remove_pending_and_die);
  signal(SIGHUP, remove_pending_and_die);
  // A file size limit then shows as a failed write, which is reported and cleaned up.
  signal(SIGXFSZ, SIG_IGN);
}

bool temp_file_open(TempFile& file, const std::string& final_name, std::string& error) {
  file.final_name = final_name;
  std::string pattern = final_name + TEMP_MARK;
  std::string buffer = pattern;
  file.fd = mkstemp(buffer.data());
  if (file.fd < 0) {
    error = final_name + ": cannot create: " + std::strerror(errno);
    file.temp_name.clear();
    return false;
  }
  file.temp_name = buffer;
  set_pending(file.temp_name);
  fchmod(file.fd, NEW_FILE_MODE & ~current_umask());
  return true;
}

bool temp_file_commit(TempFile& file, std::string& error) {
  int fd = file.fd;
  file.fd = -1;
  if (fd >= 0 && close(fd) != 0) {
    error = file.final_name + ": cannot write: " + std::strerror(errno);
    unlink(file.temp_name.c_str());
    pending = 0;
    return false;
  }
  if (rename(file.temp_name.c_str(), file.final_name.c_str()) != 0) {
    error = file.final_name + ": cannot write: " + std::strerror(errno);
    unlink(file.temp_name.c_str());
    pending = 0;
    return false;
  }
  pending = 0;
  return true;
}

void temp_file_discard(TempFile& file) {
  if (file.fd >= 0) close(file.fd);
  file.fd = -1;
  if (!file.temp_name.empty()) unlink(file.temp_name.c_str());
  file.temp_name.clear();
  pending = 0;
}
