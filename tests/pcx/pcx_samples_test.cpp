// Real PCX files written by other programs, decoded here and by independent decoders:
// Pillow for colours, ffmpeg for the palette indices of 1-, 2- and 4-plane pictures.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/oracle.h"
#include "tests/pcx/pcx_support.h"

namespace {

std::string sample(const char* name) { return std::string(MOXFLIC_TEST_DATA) + "/" + name; }

std::vector<uint8_t> read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool have_pillow() { return std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0; }

bool have_ffmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

// Pillow's RGB decoding of a sample.
std::vector<uint8_t> pillow_rgb(const std::string& path, const std::string& out) {
  const std::string cmd = "/usr/bin/python3 '" MOXFLIC_PCX_ORACLE "' '" + path + "' '" + out + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return read_all(out);
}

// ffmpeg's palette indices of a sample (its raw 8-bit output ends with the palette).
std::vector<uint8_t> ffmpeg_indices(const std::string& path, const std::string& out, size_t count) {
  const std::string cmd = "ffmpeg -v error -y -i '" + path + "' -f rawvideo -pix_fmt pal8 '" + out + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::vector<uint8_t> all = read_all(out);
  if (all.size() > count) all.resize(count);
  return all;
}

class Samples : public PcxTest {
 protected:
  // Decodes a sample at 0, 0 with its colours as stored; the picture's pixels.
  std::vector<uint8_t> decode(const std::string& path, int* width, int* height) {
    uint8_t header[PCX_HEADER_SIZE];
    EXPECT_EQ(pcx_check_header(path.c_str(), header), 0);
    int32_t min_x, max_x, min_y, max_y;
    pcx_extents(header, &min_x, &max_x, &min_y, &max_y);
    *width = max_x - min_x + 1;
    *height = max_y - min_y + 1;
    close_buffer();
    open_buffer(*width, *height, 0xEE);
    pcx_set_position(0, 0);
    EXPECT_EQ(pcx_show(path.c_str(), GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE), 0);
    const auto all = pixels();
    std::vector<uint8_t> out;
    for (int y = 0; y < *height; ++y) {
      const auto* row = all.data() + static_cast<size_t>(y) * static_cast<size_t>(gfx_state().active_width);
      out.insert(out.end(), row, row + *width);
    }
    return out;
  }
  std::string scratch(const char* suffix) {
    // Tests run as separate processes side by side: the name is the test's own.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "pcx_samples_" + info->name() + "_" + std::to_string(scratch_++) + suffix;
  }
  int scratch_ = 0;
};

// 8-bit pictures with a colour block: each pixel, looked up in the file's colours as
// pcx_read_palette gives them, has Pillow's colour.
TEST_F(Samples, EightBitPicturesMatchPillowsColours) {
  if (!have_pillow()) MOXFLIC_ORACLE_MISSING("Pillow for /usr/bin/python3 is not installed");
  for (const char* name : {"testcard-160x120-8bit.pcx", "marbles-141x99-8bit.pcx"}) {
    SCOPED_TRACE(name);
    const std::string path = sample(name);
    int width = 0, height = 0;
    const auto indices = decode(path, &width, &height);
    uint8_t colours[768];
    ASSERT_EQ(pcx_read_palette(path.c_str(), colours), 256);
    const auto expected = pillow_rgb(path, scratch(".rgb"));
    ASSERT_EQ(expected.size(), indices.size() * 3);
    for (size_t i = 0; i < indices.size(); ++i) {
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(colours[3 * indices[i] + c], expected[static_cast<size_t>(3 * i + static_cast<size_t>(c))])
            << "pixel " << i;
      }
    }
  }
}

// A true-colour picture: its first plane (red) becomes the pixels.
TEST_F(Samples, TrueColourShowsTheRedPlane) {
  if (!have_pillow()) MOXFLIC_ORACLE_MISSING("Pillow for /usr/bin/python3 is not installed");
  const std::string path = sample("testcard-160x120-24bit.pcx");
  int width = 0, height = 0;
  const auto indices = decode(path, &width, &height);
  const auto expected = pillow_rgb(path, scratch(".rgb"));
  ASSERT_EQ(expected.size(), indices.size() * 3);
  for (size_t i = 0; i < indices.size(); ++i) ASSERT_EQ(indices[i], expected[3 * i]) << "pixel " << i;
}

// 1-bit, 2-bit and four-plane pictures: the stored value is ffmpeg's index plus 10.
TEST_F(Samples, SixteenColourPicturesMatchFfmpegsIndices) {
  if (!have_ffmpeg()) MOXFLIC_ORACLE_MISSING("ffmpeg is not installed");
  for (const char* name : {"testcard-160x120-1bit.pcx", "cga-320x200-2bit.pcx", "tiny-3x3-4plane.pcx"}) {
    SCOPED_TRACE(name);
    const std::string path = sample(name);
    int width = 0, height = 0;
    const auto indices = decode(path, &width, &height);
    const auto expected = ffmpeg_indices(path, scratch(".raw"), indices.size());
    ASSERT_EQ(expected.size(), indices.size());
    for (size_t i = 0; i < indices.size(); ++i) ASSERT_EQ(indices[i], expected[i] + 10) << "pixel " << i;
  }
}

// The 16 header colours go to entries 10 to 25 as stored.
TEST_F(Samples, HeaderColoursOfASixteenColourPicture) {
  const std::string path = sample("tiny-3x3-4plane.pcx");
  int width = 0, height = 0;
  decode(path, &width, &height);
  uint8_t colours[768];
  ASSERT_EQ(pcx_read_palette(path.c_str(), colours), 16);
  for (int k = 0; k < 16; ++k) {
    EXPECT_EQ(entry(10 + k), std::vector<uint8_t>(colours + 3 * k, colours + 3 * k + 3)) << k;
  }
}

}  // namespace
