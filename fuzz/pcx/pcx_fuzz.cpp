// Fuzz target: pcx_show, pcx_check_header and pcx_read_palette on arbitrary bytes, from
// a file (an anonymous memory file opened by name) and from the stream buffer, into
// buffers of a few sizes at positions taken from the input's last bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "fuzz/fuzz_support.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "platform/gdi.h"
#include "platform/headless/controls.h"

namespace {

int32_t slots[FUZZ_BUFFER_KINDS];

// The sum of the bytes; not traced, since the fuzzer learns nothing from its loop.
__attribute__((no_sanitize("coverage"))) uint8_t byte_sum(const uint8_t* data, size_t size) {
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    fuzz_start_library(slots);
    started = true;
  }
  // The sum of the bytes chooses how the picture is shown (the last byte alone, a
  // palette entry's blue in most real pictures, hardly ever varies); the two bytes
  // before the last give the position. All stay part of the file, so real pictures
  // work as seeds.
  const uint8_t control = byte_sum(data, size);
  const int8_t dx = size > 1 ? static_cast<int8_t>(data[size - 2]) : 0;
  const int8_t dy = size > 2 ? static_cast<int8_t>(data[size - 3]) : 0;
  const uint32_t flags = control & (GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE);
  const bool memory = (control & 0x10) != 0;
  const bool nested = (control & 0x20) != 0;
  vb_open(slots[(control >> 6) % FUZZ_BUFFER_KINDS]);
  pcx_set_position(dx * 3, dy * 2);

  if (nested) vb_lock();
  if (memory) {
    pcx_load_stream(data, static_cast<uint32_t>(size));
    pcx_show(nullptr, flags | GFX_FLAG_MEMORY);
  } else {
    const int fd = fuzz_memory_file("pcx_fuzz", data, size);
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
  if (gfx_state().lock_count != 0) __builtin_trap();  // every path must unlock
  return 0;
}
