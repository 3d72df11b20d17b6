// Pixel conversion of decoded PCX scan lines into 8-bit palette indices. The
// conversion is chosen once per picture from its bits per pixel and planes.
#pragma once

#include <cstdint>

struct PcxRowFormat;
// Converts pixels first to first + from_line - 1 of a line into dest[0 .. from_line).
using PcxConvert = void (*)(const uint8_t* line, const PcxRowFormat& f, uint8_t* dest);

struct PcxRowFormat {
  PcxConvert convert;
  int32_t bytes_per_line;  // of one plane; the planar conversion's plane stride
  int32_t planes_present;  // planar conversion: planes the line holds (at most four)
  int32_t first;           // first pixel of the line that is drawn (left clipping)
  int32_t columns;         // pixels written per row
  int32_t from_line;       // of them, the pixels whose bits lie in the decoded line
  uint8_t blank;           // stored value of the others: their bits read as 0
};

// Picks the conversion for a header's depth, drawing columns pixels of each row from
// pixel first on.
PcxRowFormat pcx_row_format(const uint8_t* header, int32_t first, int32_t columns);
// Converts one decoded scan line into one destination row.
void pcx_convert_row(const uint8_t* line, const PcxRowFormat& f, uint8_t* dest);
