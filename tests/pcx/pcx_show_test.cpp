// pcx_show: placement and clipping, the colour step, results and the lock.
#include <climits>
#include <cstring>

#include "tests/pcx/pcx_support.h"

namespace {

using Show = PcxTest;

// Pixel value of a test picture at x, y: never 0, so undrawn pixels stand out.
uint8_t pattern(int x, int y) { return static_cast<uint8_t>((x * 7 + y * 3) % 250 + 1); }

std::vector<uint8_t> pattern_indices(int width, int height) {
  std::vector<uint8_t> v(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      v[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pattern(x, y);
  return v;
}

struct PlaceCase {
  const char* name;
  int buffer_width, buffer_height;
  int width, height;      // of the picture
  uint16_t min_x, min_y;  // header minimum
  bool at_position;
  int32_t draw_x, draw_y;
  int32_t expect_x, expect_y;  // where picture pixel 0, 0 lands
};

TEST_F(Show, PicturesLandWhereAskedAndAreCutAtEveryEdge) {
  const PlaceCase cases[] = {
      {"at the header minimum without flag 2", 64, 32, 10, 6, 16, 8, false, 0, 0, 16, 8},
      {"at the drawing position with flag 2", 64, 32, 10, 6, 16, 8, true, 5, 3, 5, 3},
      {"330 wide into 320 is cut to 320", 320, 4, 330, 4, 0, 0, true, 0, 0, 0, 0},
      {"a buffer allocated 318 wide takes 320 columns", 318, 4, 330, 4, 0, 0, true, 0, 0, 0, 0},
      {"cut at the bottom", 16, 8, 8, 8, 0, 5, false, 0, 0, 0, 5},
      {"a negative position is cut at the left and top", 16, 8, 10, 6, 0, 0, true, -3, -2, -3, -2},
      {"left of the buffer entirely", 16, 8, 10, 6, 0, 0, true, -10, 0, -10, 0},
      {"at the right edge: nothing drawn", 16, 8, 10, 6, 0, 0, true, 16, 0, 16, 0},
      {"at the bottom edge: nothing drawn", 16, 8, 10, 6, 0, 0, true, 0, 8, 0, 8},
      {"a header minimum far beyond the buffer", 16, 8, 10, 6, 65000, 65000, false, 0, 0, 65000, 65000},
      {"extreme positions", 16, 8, 10, 6, 0, 0, true, INT_MIN, INT_MAX, INT_MIN, INT_MAX},
      {"near the largest position", 16, 8, 10, 6, 0, 0, true, INT_MAX, INT_MIN, INT_MAX, INT_MIN},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    close_buffer();
    open_buffer(c.buffer_width, c.buffer_height, 0);
    pcx_set_position(c.draw_x, c.draw_y);
    PcxWriterHeader h = header_of(c.width, c.height, 8, 1);
    h.min_x = c.min_x;
    h.min_y = c.min_y;
    h.max_x = static_cast<uint16_t>(c.min_x + c.width - 1);
    h.max_y = static_cast<uint16_t>(c.min_y + c.height - 1);
    const uint32_t flags = GFX_FLAG_NO_PAUSE | (c.at_position ? GFX_FLAG_AT_POSITION : 0);
    ASSERT_EQ(show(picture_file(h, pattern_indices(c.width, c.height)), flags), 0);
    const auto got = pixels();
    const int w = gfx_state().active_width;
    for (int y = 0; y < gfx_state().active_height; ++y) {
      for (int x = 0; x < w; ++x) {
        const int64_t px = int64_t{x} - c.expect_x, py = int64_t{y} - c.expect_y;
        const bool inside = px >= 0 && px < c.width && py >= 0 && py < c.height;
        const uint8_t want = inside ? pattern(static_cast<int>(px), static_cast<int>(py)) : 0;
        ASSERT_EQ(got[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)], want)
            << "at " << x << ", " << y;
      }
    }
  }
}

TEST_F(Show, EmptyExtentsDrawNothing) {
  struct Case {
    const char* name;
    uint16_t min_x, max_x, min_y, max_y;
  };
  const Case cases[] = {
      {"maximum x below minimum x", 5, 4, 0, 3},
      {"maximum y below minimum y", 0, 3, 5, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    close_buffer();
    open_buffer(8, 8, 0);
    PcxWriterHeader h = header_of(4, 4, 8, 1);
    h.min_x = c.min_x;
    h.max_x = c.max_x;
    h.min_y = c.min_y;
    h.max_y = c.max_y;
    EXPECT_EQ(show(file_of(h, std::vector<uint8_t>(64, 0x33)), GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION), 0);
    EXPECT_EQ(pixels(), std::vector<uint8_t>(64, 0));
  }
}

// Results for files that are not pictures, and what they leave alone.
TEST_F(Show, RefusedFilesDrawNothingAndKeepThePalette) {
  std::vector<uint8_t> good = picture_file(header_of(4, 4, 8, 1), pattern_indices(4, 4));
  std::vector<uint8_t> short_header(good.begin(), good.begin() + 127);
  std::vector<uint8_t> not_pcx = good;
  not_pcx[0] = 11;
  PcxWriterHeader too_long = header_of(4, 4, 8, 5);
  too_long.bytes_per_line = 0xFFFF;  // five planes: longer than any line of four
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t result;
  };
  const Case cases[] = {
      {"127-byte file", short_header, 2},
      {"first byte not 10", not_pcx, 2},
      {"a line longer than four planes of 65,535 bytes", file_of(too_long, {0xFF, 0x01}), 2},
  };
  for (const Case& c : cases) {
    for (bool memory : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (memory ? " in memory" : " in a file"));
      close_buffer();
      open_buffer(8, 4, 0);
      const auto before = logical_colours();
      EXPECT_EQ(show(c.bytes, 0, memory), c.result);
      EXPECT_EQ(pixels(), std::vector<uint8_t>(32, 0));
      EXPECT_EQ(logical_colours(), before);
    }
  }
  EXPECT_EQ(pcx_show((::testing::TempDir() + "pcx_missing.pcx").c_str(), 0), 1);
  EXPECT_EQ(pcx_show(nullptr, 0), 1);
}

TEST_F(Show, TheLongestLineAHeaderCanDescribeIsDecoded) {
  open_buffer(4, 2, 0);
  PcxWriterHeader h = header_of(4, 2, 8, 4);
  h.bytes_per_line = 0xFFFF;
  std::vector<uint8_t> stream;
  // Runs of 63 cross the plane and line ends; the second line begins with a surplus.
  for (int n = 4 * h.bytes_per_line; n > 0; n -= 63) pcx_writer_put_run(stream, 63, 0x42);
  for (int n = 4 * h.bytes_per_line; n > 0; n -= 63) pcx_writer_put_run(stream, 63, 0x43);
  EXPECT_EQ(show(file_of(h, stream), GFX_FLAG_NO_PAUSE), 0);
  EXPECT_EQ(pixels(), std::vector<uint8_t>({0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x43}));
}

TEST_F(Show, NoActiveBufferDoesNothing) {
  const std::string path = write_file(picture_file(header_of(4, 4, 8, 1), pattern_indices(4, 4)));
  const int64_t calls = hl_platform_calls();
  EXPECT_EQ(pcx_show(path.c_str(), 0), 0);
  EXPECT_EQ(pcx_show("no such file", 0), 0);
  EXPECT_EQ(hl_platform_calls(), calls);
}

TEST_F(Show, ASurfaceThatCannotBeLockedIsNotDrawnThrough) {
  open_buffer(4, 4, 0);
  hl_fail_step(ScreenStep::lock, PLAT_ERR_GENERIC);
  EXPECT_EQ(show(picture_file(header_of(4, 4, 8, 1), pattern_indices(4, 4)), 0), 0);
  hl_fail_step(ScreenStep::lock, 0);
  EXPECT_EQ(pixels(), std::vector<uint8_t>(16, 0));
}

TEST_F(Show, InsideAnOuterLockTheCountIsKept) {
  open_buffer(4, 4, 0);
  ASSERT_EQ(vb_lock(), 1);
  EXPECT_EQ(show(picture_file(header_of(4, 4, 8, 1), pattern_indices(4, 4)), GFX_FLAG_NO_PAUSE), 0);
  EXPECT_EQ(show({1, 2, 3}, 0), 2);
  EXPECT_EQ(gfx_state().lock_count, 1);
  EXPECT_EQ(hl_locked_surfaces(), 1);
  vb_unlock();
}

// --- The colour step -------------------------------------------------------------------

class Colours : public PcxTest {
 protected:
  void SetUp() override {
    PcxTest::SetUp();
    open_buffer(16, 16, 0);
    defaults_ = logical_colours();
  }
  std::vector<uint8_t> defaults_;
};

bool same_entries(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int from, int to) {
  return std::equal(a.begin() + 3 * from, a.begin() + 3 * (to + 1), b.begin() + 3 * from);
}

TEST_F(Colours, BlockColoursAsTheyAreWithFlag8) {
  const auto colours = distinct_colours();
  std::vector<uint8_t> indices = pattern_indices(16, 16);
  indices[0] = 3;  // a reserved entry keeps its value
  for (bool memory : {false, true}) {
    SCOPED_TRACE(memory ? "memory" : "file");
    EXPECT_EQ(show(picture_file(header_of(16, 16, 8, 1), indices, colours.data()),
                   GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE, memory),
              0);
    EXPECT_EQ(pixels(), indices);
    const auto now = logical_colours();
    EXPECT_TRUE(same_entries(now, colours, 10, 245));
    EXPECT_TRUE(same_entries(now, defaults_, 0, 9));
    EXPECT_TRUE(same_entries(now, defaults_, 246, 255));
  }
}

TEST_F(Colours, FittedColoursShowEveryPixelInItsFileColour) {
  const auto colours = distinct_colours();
  const std::vector<uint8_t> indices = pattern_indices(16, 16);
  for (bool memory : {false, true}) {
    SCOPED_TRACE(memory ? "memory" : "file");
    const auto file = picture_file(header_of(16, 16, 8, 1), indices, colours.data());
    EXPECT_EQ(show(file, 0, memory), 0);
    const auto got = pixels();
    const auto now = logical_colours();
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_GE(got[i], 10);
      ASSERT_LE(got[i], 245);
      ASSERT_EQ(entry(got[i]),
                std::vector<uint8_t>(colours.begin() + 3 * indices[i], colours.begin() + 3 * indices[i] + 3));
    }
    EXPECT_TRUE(same_entries(now, defaults_, 0, 9));
    EXPECT_TRUE(same_entries(now, defaults_, 246, 255));
    if (memory) {
      EXPECT_EQ(0, std::memcmp(gfx_state().stream_buffer, file.data(), file.size()))
          << "the caller's bytes in the stream buffer stay as they were";
    }
  }
}

TEST_F(Colours, HeaderColoursGoToEntries10To25) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    uint32_t flags;
  };
  const auto colours = distinct_colours();
  PcxWriterHeader v4 = header_of(16, 16, 8, 1, 4);
  PcxWriterHeader v5 = header_of(16, 16, 8, 1, 5);
  std::vector<uint8_t> wrong_marker = picture_file(v5, pattern_indices(16, 16));
  pcx_writer_put_palette_block(wrong_marker, colours.data(), 11);
  std::vector<uint8_t> short_v5;
  pcx_writer_put_header(short_v5, header_of(2, 2, 8, 1, 5));
  short_v5.insert(short_v5.end(), {1, 2, 3, 4});
  const Case cases[] = {
      {"a 16-colour picture", picture_file(header_of(16, 16, 4, 1), std::vector<uint8_t>(256, 5)), 0},
      {"version 4 with 8 bits keeps raw pixels", picture_file(v4, pattern_indices(16, 16), colours.data()),
       0},
      {"version 5 whose block marker is not 12", wrong_marker, 0},
      {"version 6 with a colour block",
       picture_file(header_of(16, 16, 8, 1, 6), pattern_indices(16, 16), colours.data()), 0},
      {"version 5 with no block", picture_file(v5, pattern_indices(16, 16)), GFX_FLAG_NO_REDUCE},
      {"version 5 shorter than a block", short_v5, 0},
  };
  for (const Case& c : cases) {
    for (bool memory : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (memory ? " in memory" : " in a file"));
      hl_reset();
      SetUp();
      EXPECT_EQ(show(c.file, c.flags, memory), 0);
      const auto now = logical_colours();
      EXPECT_EQ(0, std::memcmp(now.data() + 30, c.file.data() + PCX_AT_HEADER_PALETTE, 48));
      EXPECT_TRUE(same_entries(now, defaults_, 0, 9));
      EXPECT_TRUE(same_entries(now, defaults_, 26, 255));
    }
  }
}

// One plane of one bit a pixel is black and white whatever the header holds; every
// other depth shows its header colours.
TEST_F(Colours, OneBitPicturesShowBlackAndWhite) {
  const auto block = distinct_colours();
  const struct {
    const char* name;
    int bits, planes;
    uint8_t version;
    uint8_t colour0[3], colour1[3];
    bool with_block;
    uint8_t shown0[3], shown1[3];
  } cases[] = {
      {"both header colours black", 1, 1, 2, {0, 0, 0}, {0, 0, 0}, false, {0, 0, 0}, {255, 255, 255}},
      {"dark leftovers in the header",
       1,
       1,
       5,
       {15, 15, 15},
       {14, 14, 14},
       false,
       {0, 0, 0},
       {255, 255, 255}},
      {"brown and purple in the header",
       1,
       1,
       2,
       {120, 60, 20},
       {160, 40, 160},
       false,
       {0, 0, 0},
       {255, 255, 255}},
      {"white on black in the header",
       1,
       1,
       2,
       {255, 255, 255},
       {0, 0, 0},
       false,
       {0, 0, 0},
       {255, 255, 255}},
      {"a colour block at the end", 1, 1, 5, {120, 60, 20}, {160, 40, 160}, true, {0, 0, 0}, {255, 255, 255}},
      {"two bits keep the header colours",
       2,
       1,
       5,
       {0, 0, 0},
       {0, 170, 170},
       false,
       {0, 0, 0},
       {0, 170, 170}},
      {"four bits keep the header colours", 4, 1, 5, {9, 9, 9}, {9, 9, 9}, false, {9, 9, 9}, {9, 9, 9}},
      {"four planes keep the header colours",
       1,
       4,
       2,
       {120, 60, 20},
       {160, 40, 160},
       false,
       {120, 60, 20},
       {160, 40, 160}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    hl_reset();
    SetUp();
    PcxWriterHeader h = header_of(16, 16, c.bits, c.planes, c.version);
    std::memcpy(h.header_palette, c.colour0, 3);
    std::memcpy(h.header_palette + 3, c.colour1, 3);
    std::vector<uint8_t> checks(16 * 16);
    for (size_t i = 0; i < checks.size(); ++i) checks[i] = static_cast<uint8_t>((i + i / 16) & 1);
    EXPECT_EQ(show(picture_file(h, checks, c.with_block ? block.data() : nullptr), 0), 0);
    const auto got = pixels();
    for (size_t i = 0; i < checks.size(); ++i) ASSERT_EQ(got[i], checks[i] + 10) << "pixel " << i;
    EXPECT_EQ(entry(10), std::vector<uint8_t>(c.shown0, c.shown0 + 3));
    EXPECT_EQ(entry(11), std::vector<uint8_t>(c.shown1, c.shown1 + 3));
  }
}

TEST_F(Colours, VersionFourPixelsAreRaw) {
  const auto colours = distinct_colours();
  const auto indices = pattern_indices(16, 16);
  EXPECT_EQ(show(picture_file(header_of(16, 16, 8, 1, 4), indices, colours.data()), 0), 0);
  EXPECT_EQ(pixels(), indices);
}

TEST_F(Colours, Flag1LeavesEveryEntryAlone) {
  const auto colours = distinct_colours();
  for (bool memory : {false, true}) {
    EXPECT_EQ(show(picture_file(header_of(16, 16, 8, 1), pattern_indices(16, 16), colours.data()),
                   GFX_FLAG_NO_PAUSE, memory),
              0);
    EXPECT_EQ(pixels(), pattern_indices(16, 16)) << "no fitting either";
    EXPECT_EQ(logical_colours(), defaults_);
    EXPECT_TRUE(hl_animations().empty());
  }
}

// Memory mode takes the data's length from the stream buffer's size word.
TEST_F(Colours, MemoryModeTrustsNoSizeWordBeyondTheBuffer) {
  const auto file = picture_file(header_of(16, 16, 8, 1, 4), pattern_indices(16, 16));
  pcx_load_stream(file.data(), static_cast<uint32_t>(file.size()));
  gfx_state().stream_size = 0xFFFFFFFF;
  EXPECT_EQ(pcx_show(nullptr, GFX_FLAG_MEMORY), 0);
  EXPECT_EQ(pixels(), pattern_indices(16, 16));
  gfx_state().stream_size = 127;
  EXPECT_EQ(pcx_show(nullptr, GFX_FLAG_MEMORY), 2);
}

TEST_F(Colours, LoadStreamKeepsToTheBuffer) {
  std::vector<uint8_t> big(GFX_STREAM_BUFFER_SIZE + 100, 0x5A);
  EXPECT_EQ(pcx_load_stream(big.data(), static_cast<uint32_t>(big.size())), GFX_STREAM_BUFFER_SIZE);
  EXPECT_EQ(gfx_state().stream_size, GFX_STREAM_BUFFER_SIZE);
  EXPECT_EQ(pcx_load_stream(nullptr, 10), 0u);
}

}  // namespace
