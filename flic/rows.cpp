// The frame decoder's row writer: pixels go into the current row of the active
// buffer through the FLIC colour map, clipped to the buffer on every side.
#include <algorithm>
#include <cstring>

#include "flic/decoder.h"
#include "gfx/gfx.h"

namespace {

// The part [first, end) of columns x to x + n - 1 that lies in the buffer; the row
// itself must lie in the buffer too. False when nothing is visible.
bool visible(const FlicDecoder& d, int64_t x, int64_t n, int64_t& first, int64_t& end) {
  const GfxState& g = gfx_state;
  if (n <= 0 || d.row < 0 || d.row >= g.active_height) return false;
  first = std::max<int64_t>(x, 0);
  end = std::min<int64_t>(x + n, g.active_width);
  return first < end;
}

uint8_t* row_at(const FlicDecoder& d, int64_t column) {
  return gfx_state.pixel_address + d.row * gfx_state.row_pitch + column;
}

}  // namespace

void fd_put(FlicDecoder& d, int64_t x, const uint8_t* values, int64_t n) {
  int64_t first, end;
  if (!visible(d, x, n, first, end)) return;
  const uint8_t* map = gfx_state.flic_colour_map;
  const uint8_t* from = values + (first - x);
  uint8_t* to = row_at(d, first);
  for (int64_t i = 0, count = end - first; i < count; ++i) to[i] = map[from[i]];
}

void fd_fill(FlicDecoder& d, int64_t x, uint8_t value, int64_t n) {
  int64_t first, end;
  if (!visible(d, x, n, first, end)) return;
  std::memset(row_at(d, first), gfx_state.flic_colour_map[value], static_cast<size_t>(end - first));
}
