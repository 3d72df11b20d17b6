// Chunks that paint the whole frame: black (13), uncompressed (16) and byte
// run-length (15).
#include <algorithm>

#include "flic/decoder.h"
#include "gfx/gfx.h"

namespace {

constexpr uint32_t FLIC_RUN_PACKET = 2;  // count and value

// One packet of the byte run, writing at most left pixels: a count of 0 or more and
// one value to repeat, or a negative count and -count literal pixels.
template <class In>
inline uint32_t byte_run_packet(In in, const FlicLine& line, int64_t& x, int64_t& left) {
  if (!in.holds(FLIC_RUN_PACKET)) return 0;
  const int32_t count = static_cast<int8_t>(in.next());
  int64_t n = count;
  if (count >= 0) {
    const uint8_t value = in.next();
    if (in.ok()) fdec_fill(line, x, value, std::min<int64_t>(n, left));
  } else {
    n = -n;
    if (!in.holds(static_cast<uint32_t>(1 + n))) return 0;
    in.put(line, x, static_cast<uint32_t>(n), left);
  }
  x += n;
  left -= n;
  return in.taken();
}

}  // namespace

// Every pixel gets colour map entry 0; no data is read, so rows outside the buffer
// are not visited.
void flic_black_chunk(FlicDecoder& d) {
  const int64_t first = std::max<int64_t>(0, -d.origin_y);
  const int64_t end = std::min<int64_t>(d.height, gfx_state().active_height - d.origin_y);
  for (int64_t y = first; y < end; ++y) {
    fdec_set_row(d, d.origin_y + y);
    fdec_fill(d.line, d.origin_x, 0, d.width);
  }
}

// Rows of width bytes, translated straight from the stream buffer (or read straight
// into the buffer's rows when the frame is large).
void flic_uncompressed_chunk(FlicDecoder& d) {
  fdec_start_pixels(d, FDEC_PAIR_MAP_UNCOMPRESSED);
  if (fdec_put_frame_directly(d)) return;
  const uint32_t width = static_cast<uint32_t>(d.width);
  for (int32_t y = 0; y < d.height && !fs_stopped(d.s); ++y) {
    fdec_set_row(d, d.origin_y + y);
    if (fdec_put_from_stream(d, d.origin_x, width, width) < width) return;
  }
}

// Per row: an ignored packet count, then packets until the row's width is covered:
// a count of 0 or more is a run of one value, a negative count a literal. A line's
// packets cover it exactly: one that runs past the frame's width is damage, decoded
// whole but written only up to the width. The packets
// that lie wholly in the stream buffer are taken from there, any other through the
// stream reader, by the same routine.
void flic_byte_run_chunk(FlicDecoder& d) {
  FlicStream& s = d.s;
  fdec_start_pixels(d, FDEC_PAIR_MAP_BYTE_RUN);
  for (int32_t y = 0; y < d.height && !fs_stopped(s); ++y) {
    fdec_set_row(d, d.origin_y + y);
    fs_byte(s);  // packet count
    const FlicLine line = d.line;
    int64_t left = d.width;
    int64_t x = d.origin_x;
    while (left > 0 && !fs_stopped(s)) {
      FlicReady r = fs_take_ready(s);
      while (left > 0 && fs_took(r, byte_run_packet(FdReadyBytes(r), line, x, left))) {
      }
      fs_give_back(s, r);
      if (left > 0) byte_run_packet(FdStreamBytes{d}, line, x, left);
    }
    if (left < 0 && !fs_stopped(s)) fdec_damage(d, FlicDamage::row_overrun, static_cast<uint64_t>(-left));
  }
}
