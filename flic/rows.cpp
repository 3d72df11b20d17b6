// The frame decoder's row writer: pixels go into the current row of the active
// buffer through the FLIC colour map, clipped to the buffer on every side. The
// writers in decoder.h test once whether a whole run of pixels lies inside; the runs
// that do not are clipped here.
#include <algorithm>
#include <cstring>

#include "flic/decoder.h"
#include "gfx/gfx.h"

namespace {

// The part [first, end) of columns x to x + n - 1 that lies in the buffer; the row
// itself must lie in the buffer too. False when nothing is visible.
bool visible(const FlicLine& line, int64_t x, int64_t n, int64_t& first, int64_t& end) {
  if (n <= 0 || line.pixels == nullptr) return false;
  first = std::max<int64_t>(x, 0);
  end = std::min<int64_t>(x + n, line.width);
  return first < end;
}

}  // namespace

void fd_set_row(FlicDecoder& d, int64_t row) {
  const GfxState& g = gfx_state;
  d.row = row;
  d.line.width = g.active_width;
  d.line.map = g.flic_colour_map;
  d.line.pixels = row >= 0 && row < g.active_height ? g.pixel_address + row * g.row_pitch : nullptr;
}

void fd_put_clipped(FlicLine line, int64_t x, const uint8_t* values, int64_t n) {
  int64_t first, end;
  if (!visible(line, x, n, first, end)) return;
  fd_translate(line.pixels + first, values + (first - x), end - first, line.map);
}

void fd_fill_clipped(FlicLine line, int64_t x, uint8_t value, int64_t n) {
  int64_t first, end;
  if (!visible(line, x, n, first, end)) return;
  fd_set_bytes(line.pixels + first, line.map[value], end - first);
}

// Columns x, x + 2, ... take first and the columns between them second.
void fd_fill_pairs_clipped(FlicLine line, int64_t x, uint8_t first, uint8_t second, int64_t pairs) {
  int64_t from, end;
  if (!visible(line, x, 2 * pairs, from, end)) return;
  const uint8_t colours[2] = {line.map[first], line.map[second]};
  for (int64_t c = from; c < end; ++c) line.pixels[c] = colours[(c - x) & 1];
}

uint32_t fd_put_from_stream(FlicDecoder& d, int64_t x, uint32_t n, int64_t most) {
  FlicStream& s = d.s;
  const FlicLine line = d.line;
  uint32_t done = 0;
  while (done < n) {
    uint32_t ready = fs_ready(s);
    if (ready == 0) {
      if (!fs_ensure(s)) break;
      ready = fs_ready(s);
    }
    const uint32_t take = std::min(ready, n - done);
    const int64_t put = std::min<int64_t>(take, most - done);
    if (put > 0) fd_put(line, x + done, s.pos, put);
    fs_advance(s, take);
    done += take;
  }
  return done;
}
