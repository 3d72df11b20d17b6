// Going to any frame of a delta-coded file: copies of the decoding state along the
// file (keyframes), restored and decoded on from, instead of decoding from the start.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "palette/palette.h"

namespace {

constexpr uint32_t MIN_INTERVAL = 8;

void copy_screen_colours(uint8_t* out) {
  for (int e = 0; e < PLAT_PALETTE_ENTRIES; ++e) {
    const plat_palette_entry& entry = gfx_state().logical_palette.entries[e];
    out[3 * e] = entry.red;
    out[3 * e + 1] = entry.green;
    out[3 * e + 2] = entry.blue;
  }
}

// The last copy at or before record, or null.
const FlicKeyframe* copy_before(const FlicKeyframes& keys, uint32_t record) {
  const FlicKeyframe* best = nullptr;
  for (const FlicKeyframe& k : keys.frames) {
    if (k.record > record) break;
    best = &k;
  }
  return best;
}

// Puts a copy back: buffer, colours (on screen only when they differ) and file position.
bool restore(FlicContext* context, const FlicKeyframe& k) {
  GfxState& g = gfx_state();
  if (lseek(context->handle, static_cast<off_t>(k.offset), SEEK_SET) < 0) return false;
  bool drawn = false;
  if (vb_lock() && k.pixels.size() == g.buffer_size) {
    std::memcpy(g.pixel_address, k.pixels.data(), k.pixels.size());
    drawn = true;
  }
  vb_unlock();
  if (!drawn) return false;
  std::memcpy(g.flic_file_palette, k.file_palette, sizeof k.file_palette);
  std::memcpy(g.work_palette, k.work_palette, sizeof k.work_palette);
  std::memcpy(g.live_flags, k.live_flags, sizeof k.live_flags);
  std::memcpy(g.flic_colour_map, k.colour_map, sizeof k.colour_map);
  uint8_t shown[sizeof k.screen_colours];
  copy_screen_colours(shown);
  const size_t first = 3 * PAL_FILE_FIRST;
  const size_t count = 3 * PAL_FILE_COUNT;
  if (std::memcmp(shown + first, k.screen_colours + first, count) != 0)
    gfx_set_palette_range(PAL_FILE_FIRST, PAL_FILE_COUNT, k.screen_colours + first);
  context->report = k.report;
  context->next_offset = FLIC_FIRST_FRAME_OFFSET;
  context->resident = 0;
  context->lost = 0;
  gfx_state().io_handle = context->handle;
  return true;
}

}  // namespace

uint32_t flic_keyframe_interval(uint32_t frames, uint64_t picture_bytes, uint64_t budget) {
  const uint64_t copies = std::max<uint64_t>(1, budget / std::max<uint64_t>(1, picture_bytes));
  const uint64_t interval = (uint64_t{frames} + copies - 1) / copies;
  return static_cast<uint32_t>(std::clamp<uint64_t>(interval, MIN_INTERVAL, UINT32_MAX));
}

void flic_keyframes_reset(FlicKeyframes* keys, uint32_t interval) {
  keys->interval = std::max<uint32_t>(interval, 1);
  keys->frames.clear();
}

void flic_keyframes_note(FlicKeyframes* keys, const FlicContext* context) {
  const uint32_t record = context->report.records;
  if (record == 0 || keys->interval == 0 || context->lost != 0 || context->resident != 0) return;
  if (record != 1 && record % keys->interval != 0) return;
  auto at = std::lower_bound(keys->frames.begin(), keys->frames.end(), record,
                             [](const FlicKeyframe& k, uint32_t r) { return k.record < r; });
  if (at != keys->frames.end() && at->record == record) return;
  const off_t offset = lseek(context->handle, 0, SEEK_CUR);
  if (offset < 0) return;
  GfxState& g = gfx_state();
  FlicKeyframe k{};
  if (vb_lock()) k.pixels.assign(g.pixel_address, g.pixel_address + g.buffer_size);
  vb_unlock();
  if (k.pixels.empty()) return;
  k.record = record;
  k.offset = offset;
  k.report = context->report;
  std::memcpy(k.file_palette, g.flic_file_palette, sizeof k.file_palette);
  std::memcpy(k.work_palette, g.work_palette, sizeof k.work_palette);
  std::memcpy(k.live_flags, g.live_flags, sizeof k.live_flags);
  std::memcpy(k.colour_map, g.flic_colour_map, sizeof k.colour_map);
  copy_screen_colours(k.screen_colours);
  keys->frames.insert(at, std::move(k));
}

// The context's own place is used when it lies between the nearest copy and the
// frame asked for; a context at the start (0) never is, since frame 1 may be drawn
// over what the buffer held.
int32_t flic_seek(FlicContext* context, FlicKeyframes* keys, uint32_t record) {
  const uint32_t at = context->report.records;
  const FlicKeyframe* copy = copy_before(*keys, record);
  const bool on_from_here = at >= 1 && at <= record && context->lost == 0 && context->resident == 0 &&
                            (copy == nullptr || at >= copy->record);
  if (!on_from_here && (copy == nullptr || !restore(context, *copy))) flic_skip(context, -1);
  while (context->report.records < record) {
    if (flic_play(context, 1, GFX_FLAG_NO_PAUSE) != 1) break;
    flic_keyframes_note(keys, context);
  }
  return static_cast<int32_t>(context->report.records);
}
