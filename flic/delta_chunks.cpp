// Chunks that change parts of the previous frame: the byte-oriented line delta (12)
// and the word-oriented line delta (7).
#include "flic/decoder.h"
#include "gfx/gfx.h"

namespace {

constexpr uint32_t FLIC_WORD_KIND_MASK = 0xC000;
constexpr uint32_t FLIC_WORD_SKIP_ROWS = 0xC000;  // the rows to move down, negated
constexpr uint32_t FLIC_WORD_LAST_BYTE = 0x8000;  // the low byte goes into the last column
constexpr int64_t FLIC_WORD_RANGE = 0x10000;
constexpr uint32_t FLIC_LOW_BYTE = 0xFF;

// One packet of the byte delta: a literal for a count of 0 or more, else a run.
void byte_delta_packet(FlicDecoder& d, int64_t& x) {
  FlicStream& s = d.s;
  x += fs_byte(s);
  const int32_t count = static_cast<int8_t>(fs_byte(s));
  if (count >= 0) {
    const uint32_t got = fs_read(s, gfx_state.scan_line_buffer, static_cast<uint32_t>(count));
    fd_put(d, x, gfx_state.scan_line_buffer, got);
    x += count;
  } else {
    const uint8_t value = static_cast<uint8_t>(fs_byte(s));
    if (!fs_stopped(s)) fd_fill(d, x, value, -count);
    x += -count;
  }
}

// One packet of the word delta: count literal words, or one word repeated -count times.
void word_delta_packet(FlicDecoder& d, int64_t& x) {
  FlicStream& s = d.s;
  uint8_t* line = gfx_state.scan_line_buffer;
  x += fs_byte(s);
  const int32_t count = static_cast<int8_t>(fs_byte(s));
  if (count >= 0) {
    const uint32_t got = fs_read(s, line, 2 * static_cast<uint32_t>(count));
    fd_put(d, x, line, got);
    x += 2 * count;
  } else {
    const uint8_t low = static_cast<uint8_t>(fs_byte(s));
    const uint8_t high = static_cast<uint8_t>(fs_byte(s));
    if (fs_stopped(s)) return;
    for (int32_t i = 0; i < -count; ++i) {
      line[2 * i] = low;
      line[2 * i + 1] = high;
    }
    fd_put(d, x, line, 2 * -count);
    x += 2 * -count;
  }
}

}  // namespace

// First line to change, the number of lines, then per line a packet count and packets.
void flic_byte_delta_chunk(FlicDecoder& d) {
  FlicStream& s = d.s;
  d.row = d.origin_y + fs_word(s);
  const uint32_t lines = fs_word(s);
  for (uint32_t line = 0; line < lines && !fs_stopped(s); ++line, ++d.row) {
    const uint32_t packets = fs_byte(s);
    int64_t x = d.origin_x;
    for (uint32_t p = 0; p < packets && !fs_stopped(s); ++p) byte_delta_packet(d, x);
  }
}

// The number of lines with packets, then per line: skip-rows and last-byte words as
// they come, a packet count, and the packets.
void flic_word_delta_chunk(FlicDecoder& d) {
  FlicStream& s = d.s;
  d.row = d.origin_y;
  const uint32_t lines = fs_word(s);
  uint32_t done = 0;
  while (done < lines && !fs_stopped(s)) {
    const uint32_t word = fs_word(s);
    if (fs_stopped(s)) return;
    if ((word & FLIC_WORD_KIND_MASK) == FLIC_WORD_SKIP_ROWS) {
      d.row += FLIC_WORD_RANGE - word;
      continue;
    }
    if ((word & FLIC_WORD_KIND_MASK) == FLIC_WORD_LAST_BYTE) {
      fd_fill(d, d.origin_x + d.width - 1, static_cast<uint8_t>(word & FLIC_LOW_BYTE), 1);
      continue;
    }
    int64_t x = d.origin_x;
    for (uint32_t p = 0; p < word && !fs_stopped(s); ++p) word_delta_packet(d, x);
    ++d.row;
    ++done;
  }
}
