// The PCX run-length rule: a byte below 0xC0 stands for itself; a byte with both top
// bits set gives a count (its low six bits) of copies of the byte after it. A run may
// end beyond the end of the line, and its surplus opens the next line.
#include "pcx/pcx_lines.h"

#include <cstring>
#include <new>

#include "gfx/gfx.h"
#include "pcx/pcx_io.h"

namespace {

// The line being decoded and a run's surplus behind it, one a context. Sized for the
// longest line a header can describe, so that wide sprite sheets decode as other
// programs show them; pages never touched cost no memory. Null when there is no memory.
uint8_t* line_scratch() {
  GfxContext& c = gfx_context();
  if (c.pcx_line_scratch == nullptr)
    c.pcx_line_scratch = new (std::nothrow) uint8_t[PCX_MAX_LINE + PCX_MAX_RUN];
  return c.pcx_line_scratch;
}

bool refill(PcxReader& r) {
  if (!r.from_file) return false;
  r.unread = pcx_io_read(gfx_state().stream_buffer, GFX_STREAM_BUFFER_SIZE);
  r.next = gfx_state().stream_buffer;
  return r.unread > 0;
}

// The next byte of the stream, or -1 when the data has ended.
inline int next_byte(PcxReader& r) {
  if (r.unread == 0 && !refill(r)) return -1;
  --r.unread;
  return *r.next++;
}

}  // namespace

bool pcx_lines_start(PcxLineDecoder& d, PcxReader reader, uint32_t line_length) {
  if (line_length > PCX_MAX_LINE) return false;
  d.reader = reader;
  d.line = line_scratch();
  if (d.line == nullptr) return false;
  d.line_length = line_length;
  d.carry = 0;
  d.ended = false;
  return true;
}

void pcx_next_line(PcxLineDecoder& d) {
  if (d.ended) return;
  uint8_t* line = d.line;
  const uint32_t length = d.line_length;
  // The previous line's surplus moves to the front and begins this line.
  if (d.carry > 0) std::memmove(line, line + length, d.carry);
  if (d.carry >= length) {
    d.carry -= length;
    return;
  }
  uint8_t* out = line + d.carry;
  uint8_t* const end = line + length;
  while (out < end) {
    const int b = next_byte(d.reader);
    if (b < 0) break;
    if (b < PCX_RUN_FLAG) {
      *out++ = static_cast<uint8_t>(b);
      continue;
    }
    const int value = next_byte(d.reader);
    if (value < 0) break;
    const uint32_t count = static_cast<uint32_t>(b) & PCX_RUN_COUNT_MASK;
    std::memset(out, value, count);
    out += count;
  }
  if (out < end) {
    std::memset(out, 0, static_cast<size_t>(end - out));
    d.carry = 0;
    d.ended = true;
    return;
  }
  d.carry = static_cast<uint32_t>(out - end);
}
