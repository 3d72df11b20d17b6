// Run-length scan lines of a PCX picture: one bounded reader over the stream buffer
// and the line decoder that carries a run's surplus into the following lines.
#pragma once

#include <cstdint>

#include "pcx/pcx.h"

// The bounded reader: the unread bytes of the stream buffer, refilled from the I/O
// handle in file mode; in memory mode the bytes in the buffer are all there is.
struct PcxReader {
  const uint8_t* next;
  uint32_t unread;
  bool from_file;
};

// Decoding state of one picture. The current line is bytes 0 to line_length - 1 of
// line; the carry count bytes behind it belong to the following lines.
struct PcxLineDecoder {
  PcxReader reader;
  uint8_t* line;         // the line scratch
  uint32_t line_length;  // planes x bytes per line
  uint32_t carry;
  bool ended;  // the data ran out; the last line stands for every later one
};

// The longest line a header can describe: four planes of 65,535 bytes.
constexpr uint32_t PCX_MAX_LINE = PCX_MAX_PLANES * 0xFFFF;

// Starts a decoder; false when the line is longer than any PCX line can be.
bool pcx_lines_start(PcxLineDecoder& d, PcxReader reader, uint32_t line_length);
// Decodes the next scan line into d.line. When the data ends inside a line, the rest
// of that line is zero and it stays for all later lines.
void pcx_next_line(PcxLineDecoder& d);
