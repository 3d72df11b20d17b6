// Fuzz target: arbitrary bytes as a FLIC file, opened by name (an anonymous memory
// file) and played through with flic_play, flic_skip and flic_show into buffers of a
// few sizes; the same bytes then from the stream buffer (memory mode). The file's
// last byte picks the buffer, the flags and the drawing position.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "flic/flic.h"
#include "fuzz/fuzz_support.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "platform/gdi.h"
#include "platform/headless/controls.h"

namespace {

const int32_t positions[4][2] = {{0, 0}, {-7, -3}, {30, 15}, {-100000, 100000}};
// Larger pictures only cost time (the looped playback makes a buffer of the picture's
// size) and reach no other code.
constexpr int32_t MOST_SIDE = 1024;
// Frames decoded by each call: later frames reach no code that earlier ones do not.
constexpr int32_t MOST_FRAMES = 12;
int32_t slots[FUZZ_BUFFER_KINDS];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    fuzz_start_library(slots);
    started = true;
  }
  const uint8_t choice = size > 0 ? data[size - 1] : 0;
  vb_open(slots[choice % FUZZ_BUFFER_KINDS]);
  const uint32_t flags = (choice >> 2) & (GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE);
  gfx_state().draw_x = positions[(choice >> 5) & 3][0];
  gfx_state().draw_y = positions[(choice >> 5) & 3][1];

  const int fd = fuzz_memory_file("flic_fuzz", data, size);
  if (fd < 0) return 0;
  const std::string name = "/proc/self/fd/" + std::to_string(fd);
  uint8_t header[FLIC_HEADER_SIZE];
  int32_t width = -1, height = -1;
  if (flic_check_header(name.c_str(), header) == 0) flic_size(header, &width, &height);
  FlicContext context{};
  if (width <= MOST_SIDE && height <= MOST_SIDE && flic_open(name.c_str(), &context) == 0) {
    flic_play(&context, 1, flags);
    flic_play(&context, 2, flags);
    flic_skip(&context, -1);
    flic_skip(&context, 1);
    flic_play(&context, MOST_FRAMES, flags);
    flic_skip(&context, -1);
    flic_skip(&context, 3);
    flic_play(&context, 1, flags);

    // Memory mode on the same bytes.
    const size_t held = std::min<size_t>(size, GFX_STREAM_BUFFER_SIZE);
    std::memcpy(gfx_state().stream_buffer, data, held);
    gfx_state().stream_size = static_cast<uint32_t>(held);
    flic_skip(&context, -1);
    flic_play(&context, 1, flags | GFX_FLAG_MEMORY);
    flic_play(&context, MOST_FRAMES, flags | GFX_FLAG_MEMORY);
    gfx_state().stream_size = GFX_STREAM_BUFFER_SIZE;
    flic_close(&context);

    if (choice & 0x80) flic_show(name.c_str(), 1, flags | GFX_FLAG_NO_PAUSE);
  }
  close(fd);
  return 0;
}
