// Fuzz target: pcx_show, pcx_check_header and pcx_read_palette on arbitrary bytes, from
// a file (an anonymous memory file opened by name) and from the stream buffer, into
// buffers of a few sizes at positions taken from the input's last bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "platform/gdi.h"
#include "platform/headless/headless.h"

namespace {

constexpr int BUFFER_KINDS = 3;
const int32_t buffer_size[BUFFER_KINDS][2] = {{4, 4}, {37, 23}, {320, 200}};
int32_t slots[BUFFER_KINDS];

void start_library() {
  hl_reset();
  gfx_load_state();
  gfx_set_dc(plat_get_dc(hl_window()));
  gfx_realize_palette(gfx_default_palette());
  gfx_init();
  for (int k = 0; k < BUFFER_KINDS; ++k) slots[k] = vb_alloc(buffer_size[k][0], buffer_size[k][1]);
}

// Writes the bytes to an anonymous file; its descriptor, or -1.
int memory_file(const uint8_t* data, size_t size) {
  const int fd = memfd_create("pcx_fuzz", MFD_CLOEXEC);
  if (fd < 0) return -1;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    start_library();
    started = true;
  }
  // The last bytes choose how the picture is shown; they stay part of the file, so
  // real pictures work as seeds.
  const uint8_t control = size > 0 ? data[size - 1] : 0;
  const int8_t dx = size > 1 ? static_cast<int8_t>(data[size - 2]) : 0;
  const int8_t dy = size > 2 ? static_cast<int8_t>(data[size - 3]) : 0;
  const uint32_t flags = control & (GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE);
  const bool memory = (control & 0x10) != 0;
  const bool nested = (control & 0x20) != 0;
  vb_open(slots[(control >> 6) % BUFFER_KINDS]);
  pcx_set_position(dx * 3, dy * 2);

  if (nested) vb_lock();
  if (memory) {
    pcx_load_stream(data, static_cast<uint32_t>(size));
    pcx_show(nullptr, flags | GFX_FLAG_MEMORY);
  } else {
    const int fd = memory_file(data, size);
    if (fd >= 0) {
      char path[64];
      std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
      uint8_t header[PCX_HEADER_SIZE];
      uint8_t colours[768];
      pcx_check_header(path, header);
      pcx_read_palette(path, colours);
      pcx_show(path, flags);
      close(fd);
    }
  }
  if (nested) vb_unlock();
  if (gfx_state.lock_count != 0) __builtin_trap();  // every path must unlock
  return 0;
}
