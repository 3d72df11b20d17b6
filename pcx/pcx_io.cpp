// File access of the PCX operations over POSIX descriptors.
#include "pcx/pcx_io.h"

#include <unistd.h>

#include "gfx/gfx.h"

bool pcx_io_open(const char* file_name) {
  const int32_t fd = gfx_open_file(file_name);
  if (fd < 0) return false;
  gfx_state().io_handle = fd;
  return true;
}

uint32_t pcx_io_read(uint8_t* into, uint32_t count) {
  return gfx_read_fully(gfx_state().io_handle, into, count);
}

bool pcx_io_seek_from_end(uint32_t distance) {
  return lseek(gfx_state().io_handle, -static_cast<off_t>(distance), SEEK_END) >= 0;
}

void pcx_io_close() { close(gfx_state().io_handle); }
