// Opening and reading the library's files over POSIX descriptors.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "gfx/gfx.h"

int32_t gfx_open_file(const char* file_name) {
  if (file_name == nullptr) return -1;
  int32_t fd;
  // Non-blocking, so that a named pipe without a writer gives a short read instead of
  // a wait; regular files are not affected.
  do {
    fd = open(file_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

uint32_t gfx_read_fully(int32_t fd, uint8_t* out, uint32_t n) {
  uint32_t done = 0;
  while (done < n && !gfx_stopped()) {
    const ssize_t got = read(fd, out + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<uint32_t>(got);
  }
  gfx_state().bytes_read = done;
  return done;
}
