// The frame decoder's row writer: pixels go into the current row of the active
// buffer through the FLIC colour map, clipped to the buffer on every side. The
// writers in decoder.h test once whether a whole run of pixels lies inside; the runs
// that do not are clipped here.
#include <sys/uio.h>

#include <algorithm>
#include <cstring>

#include "flic/decoder.h"
#include "gfx/gfx.h"

namespace {

// Bytes of a frame read at once by fdec_put_frame_directly: a 640 x 480 frame in one
// read, and still small enough to be translated while in the processor's second-level
// cache.
constexpr uint64_t FDEC_DIRECT_BATCH = 1048576;

// The part [first, end) of columns x to x + n - 1 that lies in the buffer; the row
// itself must lie in the buffer too. False when nothing is visible.
bool visible(const FlicLine& line, int64_t x, int64_t n, int64_t& first, int64_t& end) {
  if (n <= 0 || line.pixels == nullptr) return false;
  first = std::max<int64_t>(x, 0);
  end = std::min<int64_t>(x + n, line.width);
  return first < end;
}

}  // namespace

void fdec_put_clipped(FlicLine line, int64_t x, const uint8_t* values, int64_t n) {
  int64_t first, end;
  if (!visible(line, x, n, first, end)) return;
  fdec_translate(line.pixels + first, values + (first - x), end - first, line.map);
}

void fdec_fill_clipped(FlicLine line, int64_t x, uint8_t value, int64_t n) {
  int64_t first, end;
  if (!visible(line, x, n, first, end)) return;
  fdec_set_bytes(line.pixels + first, line.map[value], end - first);
}

// Columns x, x + 2, ... take first and the columns between them second.
void fdec_fill_pairs_clipped(FlicLine line, int64_t x, uint8_t first, uint8_t second, int64_t pairs) {
  int64_t from, end;
  if (!visible(line, x, 2 * pairs, from, end)) return;
  const uint8_t colours[2] = {line.map[first], line.map[second]};
  for (int64_t c = from; c < end; ++c) line.pixels[c] = colours[(c - x) & 1];
}

uint32_t fdec_put_from_stream(FlicDecoder& d, int64_t x, uint32_t n, int64_t most) {
  FlicStream& s = d.s;
  const FlicLine line = d.line;
  uint32_t done = 0;
  while (done < n) {
    uint32_t ready = fs_ready(s);
    if (ready == 0 && fs_ensure(s)) ready = fs_ready(s);
    if (ready == 0) break;
    const uint32_t take = std::min(ready, n - done);
    const int64_t put = std::min<int64_t>(take, most - done);
    if (put > 0) fdec_put(line, x + done, s.pos, put);
    fs_advance(s, take);
    done += take;
  }
  return done;
}

// The bytes the stream buffer holds go into the rows first; the rest is read from the
// file into the rows, a batch of at most BATCH bytes (in up to PIECES runs of memory)
// a read, and each batch is translated in place while it is still in the cache.
bool fdec_put_frame_directly(FlicDecoder& d) {
  constexpr int PIECES = 512;
  FlicStream& s = d.s;
  const GfxState& g = gfx_state();
  const int64_t width = d.width, height = d.height;
  if (d.survey || s.memory || fs_stopped(s) || width <= 0 || height <= 0) return false;
  const uint64_t total = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (total <= s.left || s.limit < total) return false;
  if (d.origin_x < 0 || d.origin_y < 0 || d.origin_x + width > g.active_width ||
      d.origin_y + height > g.active_height)
    return false;
  uint8_t* const first = g.pixel_address + d.origin_y * g.row_pitch + d.origin_x;
  const uint64_t columns = static_cast<uint64_t>(width);
  const int64_t pitch = g.row_pitch;
  // Gives the frame's bytes from..end to piece(to, length) a row's part at a time, until
  // piece returns false; returns where it stopped. One division for the range, not one
  // a row (those were 2% of an uncompressed frame).
  const auto by_rows = [first, columns, pitch](uint64_t from, uint64_t end, auto piece) {
    uint64_t column = from % columns;
    uint8_t* row = first + static_cast<int64_t>(from / columns) * pitch;
    while (from < end) {
      const uint64_t length = std::min<uint64_t>(columns - column, end - from);
      if (!piece(row + column, length)) break;
      from += length;
      column = 0;
      row += pitch;
    }
    return from;
  };
  const uint8_t* const map = g.flic_colour_map;
  const FdPairMap* const pairs = d.pairs;
  // Translates the bytes from..end of the frame, in place.
  const auto translate = [&](uint64_t from, uint64_t end) {
    by_rows(from, end, [&](uint8_t* to, uint64_t length) {
      if (pairs != nullptr)
        fdec_translate_pairs(to, to, static_cast<int64_t>(length), *pairs);
      else
        fdec_translate_run(to, to, static_cast<int64_t>(length), map);
      return true;
    });
  };

  const uint8_t* ready = s.pos;
  uint64_t done = by_rows(0, s.left, [&ready](uint8_t* to, uint64_t length) {
    std::memcpy(to, ready, length);
    ready += length;
    return true;
  });
  fs_advance(s, s.left);
  translate(0, done);
  while (done < total) {
    iovec pieces[PIECES];
    int count = 0;
    const uint64_t end = by_rows(
        done, std::min(total, done + FDEC_DIRECT_BATCH), [&pieces, &count](uint8_t* to, uint64_t length) {
          // Rows that follow on in memory (no padding between) make one piece.
          if (count > 0 &&
              static_cast<uint8_t*>(pieces[count - 1].iov_base) + pieces[count - 1].iov_len == to) {
            pieces[count - 1].iov_len += length;
            return true;
          }
          if (count == PIECES) return false;
          pieces[count++] = {to, length};
          return true;
        });
    const uint64_t want = end - done;
    const uint64_t got = fs_read_pieces(s, pieces, count);
    translate(done, done + got);
    done += got;
    if (got < want) break;
  }
  return true;
}
