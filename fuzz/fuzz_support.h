// What the fuzz targets share: a library brought up on the headless backend with one
// buffer of each of a few sizes, and the input bytes as an anonymous file.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "platform/gdi.h"
#include "platform/headless/controls.h"

constexpr int FUZZ_BUFFER_KINDS = 3;
inline constexpr int32_t fuzz_buffer_size[FUZZ_BUFFER_KINDS][2] = {{4, 4}, {37, 23}, {320, 200}};

// Brings the library up as the viewer does and allocates one buffer of each size.
inline void fuzz_start_library(int32_t slots[FUZZ_BUFFER_KINDS]) {
  hl_reset();
  gfx_load_state();
  gfx_set_dc(plat_get_dc(hl_window()));
  gfx_realize_palette(gfx_default_palette());
  gfx_init();
  for (int k = 0; k < FUZZ_BUFFER_KINDS; ++k)
    slots[k] = vb_alloc(fuzz_buffer_size[k][0], fuzz_buffer_size[k][1]);
}

// Writes the bytes to an anonymous file; its descriptor, or -1.
inline int fuzz_memory_file(const char* name, const uint8_t* data, size_t size) {
  const int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) return -1;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return fd;
}
