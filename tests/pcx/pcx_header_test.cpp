// Header check, extents, drawing position and palette read.
#include <cstring>

#include "tests/pcx/pcx_support.h"

namespace {

using Header = PcxTest;

std::vector<uint8_t> header_bytes(uint8_t version) {
  std::vector<uint8_t> file;
  pcx_writer_put_header(file, header_of(320, 200, 8, 1, version));
  return file;
}

std::vector<uint8_t> with_block(std::vector<uint8_t> file, uint8_t marker) {
  const auto colours = distinct_colours();
  file.insert(file.end(), 40, 0x11);  // some picture data
  pcx_writer_put_palette_block(file, colours.data(), marker);
  return file;
}

struct FileCase {
  const char* name;
  std::vector<uint8_t> bytes;
  int32_t check_result;
  int32_t palette_result;  // 256: the block's colours; 16: the header's
};

TEST_F(Header, CheckAndPaletteReadTellFilesApart) {
  std::vector<uint8_t> short_file = header_bytes(5);
  short_file.pop_back();
  std::vector<uint8_t> not_pcx = header_bytes(5);
  not_pcx[0] = 11;
  std::vector<uint8_t> tiny_v5 = header_bytes(5);
  tiny_v5.push_back(PCX_PALETTE_MARKER);  // far less than a whole block
  const FileCase cases[] = {
      {"127 bytes starting with 10", short_file, -2, -2},
      {"first byte 11", not_pcx, -2, -2},
      {"version 5 with a colour block", with_block(header_bytes(5), 12), 0, 256},
      {"version 5 whose last 769 bytes begin with 11", with_block(header_bytes(5), 11), 0, 16},
      {"version 6 with a colour block", with_block(header_bytes(6), 12), 0, 256},
      {"version 133 is negative as a signed byte", with_block(header_bytes(133), 12), 0, 16},
      {"version 4 never looks for a block", with_block(header_bytes(4), 12), 0, 16},
      {"version 5 shorter than a block", tiny_v5, 0, 16},
  };
  const auto colours = distinct_colours();
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = write_file(c.bytes);
    uint8_t header[PCX_HEADER_SIZE] = {};
    EXPECT_EQ(pcx_check_header(path.c_str(), header), c.check_result);
    const size_t kept = std::min<size_t>(c.bytes.size(), PCX_HEADER_SIZE);
    EXPECT_EQ(0, std::memcmp(header, c.bytes.data(), kept)) << "the bytes read stay in the caller's array";

    std::vector<uint8_t> palette(768, 0xEE);
    EXPECT_EQ(pcx_read_palette(path.c_str(), palette.data()), c.palette_result);
    if (c.palette_result == 256) {
      EXPECT_EQ(palette, colours);
    } else if (c.palette_result == 16) {
      EXPECT_EQ(0, std::memcmp(palette.data(), c.bytes.data() + PCX_AT_HEADER_PALETTE, 48));
      EXPECT_EQ(std::vector<uint8_t>(palette.begin() + 48, palette.end()), std::vector<uint8_t>(720, 0xEE))
          << "only the 48 header bytes are stored";
    }
  }
}

TEST_F(Header, MissingFileCannotBeOpened) {
  const std::string path = ::testing::TempDir() + "pcx_no_such_file.pcx";
  uint8_t header[PCX_HEADER_SIZE];
  uint8_t palette[768];
  EXPECT_EQ(pcx_check_header(path.c_str(), header), -1);
  EXPECT_EQ(pcx_read_palette(path.c_str(), palette), -1);
  EXPECT_EQ(pcx_check_header(nullptr, header), -1);
}

TEST_F(Header, ExtentsComeInTheOrderMinXMaxXMinYMaxY) {
  struct Case {
    const char* name;
    uint16_t min_x, min_y, max_x, max_y;
  };
  const Case cases[] = {
      {"a 320 x 200 picture", 0, 0, 319, 199},
      {"limits are unsigned", 3, 4, 65535, 65534},
      {"every field its own", 16, 8, 100, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PcxWriterHeader h = header_of(1, 1, 8, 1);
    h.min_x = c.min_x;
    h.min_y = c.min_y;
    h.max_x = c.max_x;
    h.max_y = c.max_y;
    std::vector<uint8_t> bytes;
    pcx_writer_put_header(bytes, h);
    int32_t out[4] = {7, 7, 7, 7};
    EXPECT_EQ(pcx_extents(bytes.data(), &out[0], &out[1], &out[2], &out[3]), 0);
    EXPECT_EQ(out[0], c.min_x);
    EXPECT_EQ(out[1], c.max_x);
    EXPECT_EQ(out[2], c.min_y);
    EXPECT_EQ(out[3], c.max_y);
  }
}

TEST_F(Header, ExtentsOfANonPcxHeaderAreAllMinusOne) {
  std::vector<uint8_t> bytes = header_bytes(5);
  bytes[0] = 11;
  int32_t out[4] = {7, 7, 7, 7};
  EXPECT_EQ(pcx_extents(bytes.data(), &out[0], &out[1], &out[2], &out[3]), 0);
  for (int32_t v : out) EXPECT_EQ(v, -1);
}

TEST_F(Header, PositionIsStoredUnclamped) {
  EXPECT_EQ(pcx_set_position(-5, 7), 0);
  EXPECT_EQ(gfx_state().draw_x, -5);
  EXPECT_EQ(gfx_state().draw_y, 7);
}

}  // namespace
