// FLIC headers and the playback context: check, size, open and close.
#include <unistd.h>

#include <algorithm>

#include "flic/flic.h"
#include "gfx/gfx.h"

namespace {

// Ticks of the 18.2 Hz timer: FLI speed * 1429 / 5500, FLC speed / 55.
constexpr uint32_t FLI_TICK_NUMERATOR = 1429;
constexpr uint32_t FLI_TICK_DENOMINATOR = 5500;
constexpr uint32_t FLC_MS_PER_TICK = 55;
constexpr uint32_t FLIC_MAX_DELAY = 0xFFFF;
// FLC speeds at or above this many ms give the longest delay; the exact frame time
// is held to the same length.
constexpr uint32_t FLC_MAX_SPEED_MS = FLIC_MAX_DELAY * FLC_MS_PER_TICK + FLC_MS_PER_TICK - 1;
constexpr uint64_t US_PER_S = 1000000;
constexpr uint64_t US_PER_MS = 1000;

bool is_flic(const uint8_t* header) {
  const uint32_t magic = gfx_le16(header + FLIC_MAGIC_OFFSET);
  return magic >= FLIC_MAGIC_FLI && magic <= FLIC_MAGIC_FLC;
}

int32_t open_file(const char* file_name) {
  const int32_t fd = gfx_open_file(file_name);
  gfx_state().io_handle = fd;
  return fd;
}

// A speed of 0 would play every frame at once: such files get the default speed.
void set_timing(const uint8_t* header, FlicContext* context) {
  const bool fli = gfx_le16(header + FLIC_MAGIC_OFFSET) == FLIC_MAGIC_FLI;
  const uint32_t speed = fli ? gfx_le16(header + FLIC_SPEED_OFFSET)
                             : std::min(gfx_le32(header + FLIC_SPEED_OFFSET), FLC_MAX_SPEED_MS);
  if (fli || speed == 0) {
    const uint32_t units = speed == 0 ? FLIC_DEFAULT_SPEED : speed;  // 1/70 s
    context->delay = static_cast<uint16_t>(units * FLI_TICK_NUMERATOR / FLI_TICK_DENOMINATOR);
    context->frame_us = static_cast<uint32_t>(units * US_PER_S / FLI_SPEED_UNITS_PER_S);
  } else {
    context->delay = static_cast<uint16_t>(speed / FLC_MS_PER_TICK);
    context->frame_us = static_cast<uint32_t>(speed * US_PER_MS);
  }
}

}  // namespace

int32_t flic_check_header(const char* file_name, uint8_t* header) {
  const int32_t fd = open_file(file_name);
  if (fd < 0) return -1;
  const uint32_t got = gfx_read_fully(fd, header, FLIC_HEADER_SIZE);
  close(fd);
  return got == FLIC_HEADER_SIZE && is_flic(header) ? 0 : -2;
}

int32_t flic_size(const uint8_t* header, int32_t* width, int32_t* height) {
  if (is_flic(header)) {
    *width = static_cast<int32_t>(gfx_le16(header + FLIC_WIDTH_OFFSET));
    *height = static_cast<int32_t>(gfx_le16(header + FLIC_HEIGHT_OFFSET));
  } else {
    *width = -1;
    *height = -1;
  }
  return 0;
}

int32_t flic_open(const char* file_name, FlicContext* context) {
  const int32_t fd = open_file(file_name);
  if (fd < 0) return -1;
  uint8_t* header = gfx_header_buffer();
  if (gfx_read_fully(fd, header, FLIC_HEADER_SIZE) != FLIC_HEADER_SIZE || !is_flic(header)) {
    close(fd);
    return -2;
  }
  context->handle = fd;
  context->next_offset = FLIC_FIRST_FRAME_OFFSET;
  context->frame_count = gfx_le16(header + FLIC_FRAMES_OFFSET);
  context->width = gfx_le16(header + FLIC_WIDTH_OFFSET);
  context->height = gfx_le16(header + FLIC_HEIGHT_OFFSET);
  set_timing(header, context);
  context->resident = 0;
  context->lost = 0;
  context->report = FlicReport{};
  context->chunk_tally = nullptr;
  gfx_state().frame_due_valid = 0;  // a new file's frames are timed afresh
  return 0;
}

// The handle is cleared so that a second close cannot reach a file opened since.
int32_t flic_close(FlicContext* context) {
  gfx_state().io_handle = context->handle;
  if (context->handle >= 0) close(context->handle);
  context->handle = -1;
  return 0;
}
