// Chunks that paint the whole frame: black (13), uncompressed (16) and byte
// run-length (15).
#include <algorithm>

#include "flic/decoder.h"
#include "gfx/gfx.h"

namespace {

constexpr uint32_t FLIC_RUN_PACKET = 2;  // count and value

// One packet of the byte run taken from ready bytes, writing at most left pixels;
// false (nothing read) when its bytes are not all there.
inline bool byte_run_packet_ready(const FlicLine& line, FlicReady& r, int64_t& x, int64_t& left) {
  if (r.left < FLIC_RUN_PACKET) return false;
  const uint8_t* p = r.pos;
  const int32_t count = static_cast<int8_t>(p[0]);
  uint32_t size = FLIC_RUN_PACKET;
  int64_t n = count;
  if (count >= 0) {
    fdec_fill(line, x, p[1], std::min<int64_t>(n, left));
  } else {
    n = -n;
    size = static_cast<uint32_t>(1 + n);
    if (size > r.left) return false;
    fdec_put(line, x, p + 1, std::min<int64_t>(n, left));
  }
  x += n;
  left -= n;
  r.pos += size;
  r.left -= size;
  return true;
}

// One packet of the byte run through the stream reader.
void byte_run_packet(FlicDecoder& d, int64_t& x, int64_t& left) {
  FlicStream& s = d.s;
  const int32_t count = static_cast<int8_t>(fs_byte(s));
  if (count >= 0) {
    const uint8_t value = static_cast<uint8_t>(fs_byte(s));
    if (fs_stopped(s)) return;
    fdec_fill(d.line, x, value, std::min<int64_t>(count, left));
    x += count;
    left -= count;
  } else {
    fdec_put_from_stream(d, x, static_cast<uint32_t>(-count), left);
    x += -count;
    left -= -count;
  }
}

}  // namespace

// Every pixel gets colour map entry 0; no data is read, so rows outside the buffer
// are not visited.
void flic_black_chunk(FlicDecoder& d) {
  const int64_t first = std::max<int64_t>(0, -d.origin_y);
  const int64_t end = std::min<int64_t>(d.height, gfx_state.active_height - d.origin_y);
  for (int64_t y = first; y < end; ++y) {
    fdec_set_row(d, d.origin_y + y);
    fdec_fill(d.line, d.origin_x, 0, d.width);
  }
}

// Rows of width bytes, translated straight from the stream buffer (or read straight
// into the buffer's rows when the frame is large).
void flic_uncompressed_chunk(FlicDecoder& d) {
  if (fdec_put_frame_directly(d)) return;
  const uint32_t width = static_cast<uint32_t>(d.width);
  for (int32_t y = 0; y < d.height && !fs_stopped(d.s); ++y) {
    fdec_set_row(d, d.origin_y + y);
    if (fdec_put_from_stream(d, d.origin_x, width, width) < width) return;
  }
}

// Per row: an ignored packet count, then packets until the row's width is covered:
// a count of 0 or more is a run of one value, a negative count a literal. Packets
// are decoded whole, but nothing right of the frame's width is written. The packets
// that lie wholly in the stream buffer are taken from there, any other through the
// stream reader.
void flic_byte_run_chunk(FlicDecoder& d) {
  FlicStream& s = d.s;
  for (int32_t y = 0; y < d.height && !fs_stopped(s); ++y) {
    fdec_set_row(d, d.origin_y + y);
    fs_byte(s);  // packet count
    const FlicLine line = d.line;
    int64_t left = d.width;
    int64_t x = d.origin_x;
    while (left > 0 && !fs_stopped(s)) {
      FlicReady r = fs_take_ready(s);
      while (left > 0 && byte_run_packet_ready(line, r, x, left)) {
      }
      fs_give_back(s, r);
      if (left > 0) byte_run_packet(d, x, left);
    }
  }
}
