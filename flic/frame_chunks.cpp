// Chunks that paint the whole frame: black (13), uncompressed (16) and byte
// run-length (15).
#include <algorithm>

#include "flic/decoder.h"
#include "gfx/gfx.h"

// Every pixel gets colour map entry 0; no data is read, so rows outside the buffer
// are not visited.
void flic_black_chunk(FlicDecoder& d) {
  const int64_t first = std::max<int64_t>(0, -d.origin_y);
  const int64_t end = std::min<int64_t>(d.height, gfx_state.active_height - d.origin_y);
  for (int64_t y = first; y < end; ++y) {
    d.row = d.origin_y + y;
    fd_fill(d, d.origin_x, 0, d.width);
  }
}

// Rows of width bytes; a row longer than the scan-line buffer is taken in pieces.
void flic_uncompressed_chunk(FlicDecoder& d) {
  uint8_t* line = gfx_state.scan_line_buffer;
  for (int32_t y = 0; y < d.height && !fs_stopped(d.s); ++y) {
    d.row = d.origin_y + y;
    for (int64_t x = 0; x < d.width;) {
      const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(d.width - x, GFX_SCAN_LINE_SIZE));
      const uint32_t got = fs_read(d.s, line, want);
      fd_put(d, d.origin_x + x, line, got);
      if (got < want) return;
      x += got;
    }
  }
}

// Per row: an ignored packet count, then packets until the row's width is covered:
// a count of 0 or more is a run of one value, a negative count a literal. Packets
// are decoded whole, but nothing right of the frame's width is written.
void flic_byte_run_chunk(FlicDecoder& d) {
  FlicStream& s = d.s;
  uint8_t* line = gfx_state.scan_line_buffer;
  for (int32_t y = 0; y < d.height && !fs_stopped(s); ++y) {
    d.row = d.origin_y + y;
    fs_byte(s);  // packet count
    int64_t left = d.width;
    int64_t x = d.origin_x;
    while (left > 0 && !fs_stopped(s)) {
      const int32_t count = static_cast<int8_t>(fs_byte(s));
      if (count >= 0) {
        const uint8_t value = static_cast<uint8_t>(fs_byte(s));
        if (fs_stopped(s)) return;
        fd_fill(d, x, value, std::min<int64_t>(count, left));
        x += count;
        left -= count;
      } else {
        const uint32_t got = fs_read(s, line, static_cast<uint32_t>(-count));
        fd_put(d, x, line, std::min<int64_t>(got, left));
        x += -count;
        left -= -count;
      }
    }
  }
}
