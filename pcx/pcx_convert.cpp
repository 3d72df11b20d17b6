// The five PCX pixel conversions. Pixels come from the most significant bits of a
// byte first; 16-colour values are stored from palette entry 10 on.
#include "pcx/pcx_convert.h"

#include <algorithm>
#include <cstring>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"

namespace {

constexpr uint8_t FIRST_FILE_ENTRY = static_cast<uint8_t>(PAL_FILE_FIRST);
constexpr int PLANAR_PLANES = 4;

// 8 bits per pixel: the bytes themselves (true-colour files: the first plane).
void convert_8bit(const uint8_t* line, const PcxRowFormat& f, uint8_t* dest) {
  std::memcpy(dest, line + f.first, static_cast<size_t>(f.from_line));
}

// 4 bits per pixel, two to a byte, high nibble first.
void convert_4bit(const uint8_t* line, const PcxRowFormat& f, uint8_t* dest) {
  for (int32_t i = f.first, end = f.first + f.from_line; i < end; ++i) {
    const uint8_t b = line[i >> 1];
    *dest++ = static_cast<uint8_t>(((i & 1) ? (b & 0x0F) : (b >> 4)) + FIRST_FILE_ENTRY);
  }
}

// 2 bits per pixel, four to a byte, bits 7-6 first.
void convert_2bit(const uint8_t* line, const PcxRowFormat& f, uint8_t* dest) {
  for (int32_t i = f.first, end = f.first + f.from_line; i < end; ++i) {
    const int shift = 6 - 2 * (i & 3);
    *dest++ = static_cast<uint8_t>(((line[i >> 2] >> shift) & 3) + FIRST_FILE_ENTRY);
  }
}

// 1 bit per pixel in one plane, eight to a byte, bit 7 first.
void convert_1bit(const uint8_t* line, const PcxRowFormat& f, uint8_t* dest) {
  for (int32_t i = f.first, end = f.first + f.from_line; i < end; ++i) {
    *dest++ = static_cast<uint8_t>(((line[i >> 3] >> (7 - (i & 7))) & 1) + FIRST_FILE_ENTRY);
  }
}

// 1 bit per pixel in each of four planes, plane k giving bit k of the value; planes
// the line does not hold give 0.
void convert_planar(const uint8_t* line, const PcxRowFormat& f, uint8_t* dest) {
  for (int32_t i = f.first, end = f.first + f.from_line; i < end; ++i) {
    const uint8_t* byte = line + (i >> 3);
    const int shift = 7 - (i & 7);
    int value = 0;
    for (int k = 0; k < f.planes_present; ++k) {
      value |= ((byte[k * f.bytes_per_line] >> shift) & 1) << k;
    }
    *dest++ = static_cast<uint8_t>(value + FIRST_FILE_ENTRY);
  }
}

}  // namespace

PcxRowFormat pcx_row_format(const uint8_t* header, int32_t first, int32_t columns) {
  const int bits = header[PCX_AT_BITS_PER_PIXEL];
  const int planes = header[PCX_AT_PLANES];
  const int32_t bytes_per_line = gfx_le16(header + PCX_AT_BYTES_PER_LINE);

  PcxRowFormat f{};
  f.bytes_per_line = bytes_per_line;
  f.first = first;
  f.columns = columns;
  f.blank = FIRST_FILE_ENTRY;
  int32_t pixels_per_byte = 8;
  if (bits == 8) {
    f.convert = convert_8bit;
    f.blank = 0;
    pixels_per_byte = 1;
  } else if (bits == 4) {
    f.convert = convert_4bit;
    pixels_per_byte = 2;
  } else if (bits == 2) {
    f.convert = convert_2bit;
    pixels_per_byte = 4;
  } else if (planes == 1) {
    f.convert = convert_1bit;
  } else {
    f.convert = convert_planar;
    f.planes_present = std::min(planes, PLANAR_PLANES);
  }
  // A row's pixels come from the first plane's bytes (each plane's own bytes for the
  // planar conversion); a line without planes holds none.
  const int64_t supplied = planes > 0 ? int64_t{bytes_per_line} * pixels_per_byte : 0;
  f.from_line = static_cast<int32_t>(std::clamp<int64_t>(supplied - first, 0, columns));
  return f;
}

void pcx_convert_row(const uint8_t* line, const PcxRowFormat& f, uint8_t* dest) {
  if (f.from_line > 0) f.convert(line, f, dest);
  if (f.from_line < f.columns) {
    std::memset(dest + f.from_line, f.blank, static_cast<size_t>(f.columns - f.from_line));
  }
}
