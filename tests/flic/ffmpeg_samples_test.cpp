// Every FLIC sample, frame by frame, against an independent decoder: the indices that
// flic_play leaves in the buffer with the identity colour map (flag 8) must equal
// ffmpeg's pal8 decode of the same file.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tests/flic/flic_fixture.h"
#include "tests/oracle.h"

namespace {

constexpr size_t PAL8_PALETTE_BYTES = 1024;  // ffmpeg's raw pal8 frames end with the palette

bool have_ffmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// ffmpeg's frames of a file, each width * height indices.
std::vector<std::vector<uint8_t>> ffmpeg_frames(const std::string& path, const std::string& dir, int width,
                                                int height) {
  const std::string out = dir + "/ffmpeg.raw";
  const std::string command =
      "ffmpeg -v quiet -y -i '" + path + "' -fps_mode passthrough -f rawvideo -pix_fmt pal8 '" + out + "'";
  std::vector<std::vector<uint8_t>> frames;
  if (std::system(command.c_str()) != 0) return frames;
  std::ifstream in(out, std::ios::binary);
  const std::vector<uint8_t> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t picture = size_t(width) * static_cast<size_t>(height);
  for (size_t at = 0; at + picture + PAL8_PALETTE_BYTES <= raw.size(); at += picture + PAL8_PALETTE_BYTES)
    frames.emplace_back(raw.begin() + long(at), raw.begin() + long(at + picture));
  return frames;
}

class FfmpegSamples : public Flic {
 protected:
  // The frame's width * height pixels out of the (wider) buffer.
  std::vector<uint8_t> picture() {
    const std::vector<uint8_t> all = pixels();
    std::vector<uint8_t> out;
    for (int y = 0; y < context_.height; ++y) {
      const auto row = all.begin() + long(y) * gfx_state().row_pitch;
      out.insert(out.end(), row, row + context_.width);
    }
    return out;
  }
  void open_sample(const std::string& name) {
    uint8_t header[FLIC_HEADER_SIZE];
    ASSERT_EQ(flic_check_header(data_file(name).c_str(), header), 0);
    int32_t width, height;
    flic_size(header, &width, &height);
    start(std::max(width, 1), std::max(height, 1));
    open(data_file(name));
    identity_map();
  }
};

constexpr uint32_t RAW_INDICES = GFX_FLAG_NO_REDUCE | GFX_FLAG_NO_PAUSE;

}  // namespace

class FfmpegSampleFrames : public FfmpegSamples, public ::testing::WithParamInterface<const char*> {};

TEST_P(FfmpegSampleFrames, EveryFrameHasFfmpegsIndices) {
  if (!have_ffmpeg()) MOXFLIC_ORACLE_MISSING("ffmpeg is not installed");
  const std::string name = GetParam();
  open_sample(name);
  const auto expected = ffmpeg_frames(data_file(name), dir_, context_.width, context_.height);
  ASSERT_GT(expected.size(), 1u);
  // ffmpeg also outputs the ring frame, which flic_play decodes as the last record.
  for (size_t f = 0; f < expected.size(); ++f) {
    ASSERT_EQ(flic_play(&context_, 1, RAW_INDICES), 1) << "frame " << f;
    ASSERT_EQ(picture(), expected[f]) << name << ": frame " << f;
  }
  EXPECT_EQ(flic_play(&context_, 1, RAW_INDICES), 0) << "no record left";
}

INSTANTIATE_TEST_SUITE_P(Samples, FfmpegSampleFrames,
                         ::testing::Values("walk-320x200.fli", "cycle-320x200.fli", "sun-146x140.flc",
                                           "text-321x74.flc", "dance-640x480.flc"),
                         [](const auto& sample) {
                           std::string n = sample.param;
                           return n.substr(0, n.find('-'));
                         });

// ffmpeg wants uncompressed rows padded to a multiple of 4 and skips this file's
// chunk (194 bytes of unpadded 14-pixel rows) altogether. The chunk's size is also 2
// bytes short of 14 x 14, but the frame record holds the last two pixels: the decoder
// reads on to draw the whole picture, counts the frame and notes the quirk.
TEST_F(FfmpegSamples, BulletUncompressedChunkShortByTwoBytesDrawsTheWholePicture) {
  open_sample("bullet-14x14.flc");
  std::ifstream in(data_file("bullet-14x14.flc"), std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  constexpr size_t chunk_data = 200 + 16 + 260 + 778 + 6;  // frame, stamp and colour chunks before it
  const std::vector<uint8_t> expected(file.begin() + chunk_data, file.begin() + chunk_data + 14 * 14);
  fill_buffer(0xEE);
  EXPECT_EQ(flic_play(&context_, 1, RAW_INDICES), 1);
  EXPECT_EQ(picture(), expected);
  EXPECT_EQ(context_.report.quirks, FLIC_QUIRK_SHORT_CHUNK);
  EXPECT_EQ(context_.report.short_chunk.amount, 2u);
  EXPECT_EQ(context_.report.damage, FlicDamage::none);
  // The colour chunk before it still set the file palette and reached entries 10-245.
  EXPECT_EQ(gfx_state().logical_palette.entries[10].red, gfx_state().flic_file_palette[30]);
}

TEST_F(FfmpegSamples, EmptyFileHasNoFrame) {
  open_sample("empty-0x0.flc");
  EXPECT_EQ(context_.frame_count, 0);
  EXPECT_EQ(flic_play(&context_, 1, RAW_INDICES), 0);
  EXPECT_EQ(flic_play(&context_, -1, RAW_INDICES), 0);
}
