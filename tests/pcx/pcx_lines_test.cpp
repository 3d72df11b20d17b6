// The run-length rule, runs that cross line ends, and data that ends early, in both
// file mode and memory mode.
#include <algorithm>

#include "tests/pcx/pcx_support.h"

namespace {

using Lines = std::vector<std::vector<uint8_t>>;

class RunLength : public PcxTest, public ::testing::WithParamInterface<bool> {
 protected:
  // Decodes an 8-bit one-plane picture, one line = one row of length pixels.
  Lines decode(int length, int rows, const std::vector<uint8_t>& stream) {
    close_buffer();
    open_buffer(length, rows, 0xEE);
    EXPECT_EQ(show(file_of(header_of(length, rows, 8, 1, 4), stream), GFX_FLAG_NO_PAUSE, GetParam()), 0);
    const auto all = pixels();
    Lines out;
    for (int y = 0; y < rows; ++y) {
      const auto* row = all.data() + static_cast<size_t>(y) * static_cast<size_t>(gfx_state().active_width);
      out.emplace_back(row, row + length);
    }
    return out;
  }
};

struct Case {
  const char* name;
  int length;
  std::vector<uint8_t> stream;
  Lines expected;
};

std::vector<uint8_t> repeat(int n, uint8_t v) { return std::vector<uint8_t>(static_cast<size_t>(n), v); }

TEST_P(RunLength, DecodesLines) {
  Lines run63(7, repeat(8, 0x21));
  run63.push_back({0x21, 0x21, 0x21, 0x21, 0x21, 0x21, 0x21, 0x05});
  const Case cases[] = {
      {"C3 07 gives three sevens", 3, {0xC3, 0x07}, {{7, 7, 7}}},
      {"a byte below C0 stands for itself", 2, {0xBF, 0x00}, {{0xBF, 0x00}}},
      {"a run of C0 in value form", 2, {0xC2, 0xC0}, {{0xC0, 0xC0}}},
      {"C0 55 gives nothing but eats its value", 2, {0xC0, 0x55, 0x01, 0x02}, {{1, 2}}},
      {"a run crosses the end of a line", 4, {0x01, 0x02, 0xC5, 0x09, 0x03}, {{1, 2, 9, 9}, {9, 9, 9, 3}}},
      {"a run of 63 fills seven lines and most of the eighth", 8, {0xFF, 0x21, 0x05}, run63},
      {"data ending inside a line: the rest is 0 and the line repeats",
       4,
       {0x01, 0x02},
       {{1, 2, 0, 0}, {1, 2, 0, 0}, {1, 2, 0, 0}}},
      {"data ending between a count and its value", 3, {0x05, 0xC2}, {{5, 0, 0}, {5, 0, 0}}},
      {"no data at all", 2, {}, {{0, 0}, {0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decode(c.length, static_cast<int>(c.expected.size()), c.stream), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, RunLength, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) {
                           return mode.param ? "Memory" : "File";
                         });

// The stream buffer is refilled in 4096-byte pieces; a run whose count byte ends one
// piece takes its value from the next.
class Refill : public PcxTest {};

TEST_F(Refill, RunSplitAcrossStreamRefills) {
  const int literal = GFX_STREAM_BUFFER_SIZE - 1;
  std::vector<uint8_t> stream = repeat(literal, 0x01);
  stream.push_back(0xC3);
  stream.push_back(0x07);
  open_buffer(literal + 3, 1, 0xEE);
  ASSERT_EQ(show(file_of(header_of(literal + 3, 1, 8, 1, 4), stream), GFX_FLAG_NO_PAUSE), 0);
  const auto got = pixels();
  std::vector<uint8_t> expected = repeat(literal + 3, 0x07);
  std::fill(expected.begin(), expected.begin() + literal, 0x01);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + literal + 3), expected);
}

}  // namespace
