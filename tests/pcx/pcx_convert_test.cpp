// Pixel conversions: 8-bit, 4-, 2- and 1-bit packed, four planes; pixels whose bits
// the decoded line does not hold read as 0.
#include <cstring>
#include <numeric>

#include "tests/pcx/pcx_support.h"

namespace {

using Convert = PcxTest;

struct LineCase {
  const char* name;
  int bits, planes, bytes_per_line, width;
  std::vector<uint8_t> line;  // decoded bytes, all planes
  std::vector<uint8_t> expected;
};

TEST_F(Convert, OneLineOfEachKind) {
  const LineCase cases[] = {
      {"4-bit 3A gives 13 and 20", 4, 1, 1, 2, {0x3A}, {13, 20}},
      {"2-bit E4 gives 13 12 11 10", 2, 1, 1, 4, {0xE4}, {13, 12, 11, 10}},
      {"1-bit A0 gives 11 10 11 10 10 10 10 10", 1, 1, 1, 8, {0xA0}, {11, 10, 11, 10, 10, 10, 10, 10}},
      {"four planes with bits 1 0 1 1 give 23", 1, 4, 1, 2, {0x80, 0x00, 0x80, 0xC0}, {23, 18}},
      {"true colour shows only the first plane", 8, 3, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3}},
      {"8-bit pixels beyond the line are 0", 8, 1, 2, 4, {5, 6}, {5, 6, 0, 0}},
      {"4-bit pixels beyond the line are 10", 4, 1, 1, 4, {0x3A}, {13, 20, 10, 10}},
      {"planar pixels beyond a plane's bytes are 10",
       1,
       4,
       1,
       10,
       {0xFF, 0xFF, 0xFF, 0xFF},
       {25, 25, 25, 25, 25, 25, 25, 25, 10, 10}},
      {"two planes: the missing planes read as 0", 1, 2, 1, 2, {0x80, 0xC0}, {13, 12}},
      {"three planes: the fourth reads as 0", 1, 3, 1, 1, {0x80, 0x80, 0x80}, {17}},
      {"an unknown depth in one plane takes the 1-bit conversion", 3, 1, 1, 3, {0x40}, {10, 11, 10}},
      {"no planes: every pixel blank", 8, 0, 4, 3, {}, {0, 0, 0}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    close_buffer();
    open_buffer(c.width, 1, 0xEE);
    // Leftovers of earlier work in the scan-line buffer must not show through.
    std::memset(gfx_state().scan_line_buffer, 0xFF, GFX_SCAN_LINE_SIZE);
    PcxWriterHeader h = header_of(c.width, 1, c.bits, c.planes);
    h.bytes_per_line = static_cast<uint16_t>(c.bytes_per_line);
    std::vector<uint8_t> stream;
    pcx_writer_put_line(stream, c.line);
    ASSERT_EQ(show(file_of(h, stream), GFX_FLAG_NO_PAUSE), 0);
    const auto got = pixels();
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + c.width), c.expected);
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + c.width, got.end()),
              std::vector<uint8_t>(got.size() - static_cast<size_t>(c.width), 0xEE))
        << "pixels right of the picture keep their values";
  }
}

// Whole pictures written by the PCX writer come back as their indices.
TEST_F(Convert, WrittenPicturesRoundTrip) {
  struct Case {
    const char* name;
    int bits, planes, width, height;
  };
  const Case cases[] = {
      {"8-bit", 8, 1, 37, 9}, {"4-bit packed", 4, 1, 37, 9}, {"2-bit packed", 2, 1, 37, 9},
      {"1-bit", 1, 1, 37, 9}, {"four planes", 1, 4, 37, 9},  {"true colour", 8, 3, 21, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    close_buffer();
    open_buffer(c.width, c.height, 0xEE);
    const int values = c.bits == 8 ? 256 : 1 << (c.bits * c.planes);
    std::vector<uint8_t> indices(static_cast<size_t>(c.width) * static_cast<size_t>(c.height));
    for (size_t i = 0; i < indices.size(); ++i)
      indices[i] = static_cast<uint8_t>((i * 13 + i / 7) % static_cast<size_t>(values));
    const PcxWriterHeader h = header_of(c.width, c.height, c.bits, c.planes);
    ASSERT_EQ(show(picture_file(h, indices), GFX_FLAG_NO_PAUSE), 0);
    const auto got = pixels();
    const uint8_t offset = c.bits == 8 ? 0 : 10;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        ASSERT_EQ(
            got[static_cast<size_t>(y) * static_cast<size_t>(gfx_state().active_width) +
                static_cast<size_t>(x)],
            indices[static_cast<size_t>(y) * static_cast<size_t>(c.width) + static_cast<size_t>(x)] + offset)
            << "at " << x << ", " << y;
      }
    }
  }
}

}  // namespace
