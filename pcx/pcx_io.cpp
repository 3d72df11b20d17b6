// File access of the PCX operations over POSIX descriptors.
#include "pcx/pcx_io.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "gfx/gfx.h"

bool pcx_io_open(const char* file_name) {
  if (file_name == nullptr) return false;
  // Non-blocking, so that a named pipe without a writer gives a short read instead of
  // a wait; regular files are not affected.
  const int fd = open(file_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  gfx_state.io_handle = fd;
  return true;
}

uint32_t pcx_io_read(uint8_t* into, uint32_t count) {
  uint32_t got = 0;
  while (got < count) {
    const ssize_t n = read(gfx_state.io_handle, into + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<uint32_t>(n);
  }
  gfx_state.bytes_read = got;
  return got;
}

bool pcx_io_seek_from_end(uint32_t distance) {
  return lseek(gfx_state.io_handle, -static_cast<off_t>(distance), SEEK_END) >= 0;
}

void pcx_io_close() { close(gfx_state.io_handle); }
