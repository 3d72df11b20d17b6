// The converter's lossless output (--palette=file) against independent decoders:
// ffmpeg for FLIC animations, Pillow for PCX pictures.
#include "tests/oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/export/export_support.h"
#include "tests/export/made_files.h"
#include "tools/writers/pcx_writer.h"

namespace {

const char* const PILLOW = "/usr/bin/python3";

std::vector<std::string> flic_samples() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(MOXFLIC_TEST_DATA)) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext != ".fli" && ext != ".flc") continue;
    // A file whose header gives no frame has nothing to compare.
    std::vector<uint8_t> header = read_bytes(entry.path().string());
    if (header.size() >= 8 && (header[6] | header[7]) != 0) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string frame_name(const std::string& prefix, int n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04d", n);
  return prefix + digits + ".png";
}

// Pixels where two frames' indices differ, as "x,y: ours/theirs" for the first few.
std::string index_differences(const PngImage& ours, const PngImage& theirs) {
  std::string text;
  int count = 0;
  for (size_t i = 0; i < ours.indices.size(); i++) {
    if (ours.indices[i] == theirs.indices[i]) continue;
    if (++count <= 5)
      text += std::to_string(i % static_cast<size_t>(ours.width)) + "," +
              std::to_string(i / static_cast<size_t>(ours.width)) + ": " + std::to_string(ours.indices[i]) +
              "/" + std::to_string(theirs.indices[i]) + "  ";
  }
  return count == 0 ? "" : std::to_string(count) + " pixels differ; " + text;
}

// Frames where ffmpeg 5.1 is known to decode otherwise, with the expectation made by
// hand from the file's bytes.
struct KnownDifference {
  const char* file;
  int frame;
  const char* why;
  std::vector<uint8_t> (*indices)();
};

std::vector<uint8_t> bullet_first_frame() {
  // The uncompressed chunk's data starts at offset 1260 (frame record at 200, then a
  // 260-byte stamp chunk and a 778-byte colour chunk) and holds 194 bytes; the decoder
  // reads on to 196 bytes, the last two from the end of the frame record.
  std::vector<uint8_t> bytes = read_bytes(data_file("bullet-14x14.flc"));
  return std::vector<uint8_t>(bytes.begin() + 1260, bytes.begin() + 1260 + 14 * 14);
}

const KnownDifference KNOWN_DIFFERENCES[] = {
    {"bullet-14x14.flc", 1,
     "ffmpeg skips an uncompressed chunk whose size is not that of rows padded to 4 bytes, "
     "leaving the frame black",
     bullet_first_frame},
};

const KnownDifference* known_difference(const std::string& file, int frame) {
  for (const KnownDifference& d : KNOWN_DIFFERENCES)
    if (file == d.file && frame == d.frame) return &d;
  return nullptr;
}

// Every frame of the lossless export against ffmpeg's indices (and colours, when the
// file has only 8-bit colour chunks); known names the frames ffmpeg decodes otherwise.
void expect_ffmpeg_indices(const std::string& input, const std::string& known_name, const Scratch& scratch) {
  ToolRun info = run_export({"--info", input}, scratch);
  ASSERT_EQ(info.status, 0) << info.err;
  int frames = std::atoi(value_of(info.out, "frames").c_str());
  // 6-bit colours are widened differently by the two programs: compare colours only
  // for files whose colour chunks all have 8-bit components.
  bool eight_bit_colours = value_of(info.out, "chunks_type_11") == "(absent)";

  // A damaged file is exported as far as it decodes, with exit status 1 as --check gives.
  ToolRun check = run_export({"--check", input}, scratch);
  ToolRun ours = run_export({"--palette=file", input, "ours%04d.png"}, scratch);
  ASSERT_EQ(ours.status, check.status) << ours.err;
  ASSERT_EQ(run_shell("cd '" + scratch.dir + "' && ffmpeg -nostdin -v error -i '" + input +
                      "' -f image2 ff%04d.png"),
            0);
  for (int n = 1; n <= frames; n++) {
    SCOPED_TRACE("frame " + std::to_string(n));
    PngImage a, b;
    ASSERT_TRUE(read_png(scratch.path(frame_name("ours", n)), a));
    ASSERT_TRUE(read_png(scratch.path(frame_name("ff", n)), b));
    ASSERT_TRUE(a.indexed && b.indexed);
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    if (const KnownDifference* known = known_difference(known_name, n)) {
      SCOPED_TRACE(known->why);
      EXPECT_EQ(a.indices, known->indices());
      continue;
    }
    EXPECT_EQ(index_differences(a, b), "");
    if (eight_bit_colours) {
      EXPECT_TRUE(a.rgb == b.rgb);
    }
  }
  EXPECT_FALSE(file_exists(scratch.path(frame_name("ours", frames + 1)))) << "the ring frame is not exported";
}

class AgainstFfmpeg : public ::testing::TestWithParam<std::string> {};

TEST_P(AgainstFfmpeg, EveryFrameHasTheSamePaletteIndices) {
  if (!have_program("ffmpeg -version")) MOXFLIC_ORACLE_MISSING("ffmpeg is not installed");
  Scratch scratch;
  expect_ffmpeg_indices(data_file(GetParam()), GetParam(), scratch);
}

// Colour chunks after a frame's pixels, or first in a later frame, count for the
// whole frame: the export keeps every file index from the first frame on.
TEST(AgainstFfmpegMade, LateColourChunksKeepEveryIndex) {
  if (!have_program("ffmpeg -version")) MOXFLIC_ORACLE_MISSING("ffmpeg is not installed");
  for (const uint16_t magic : {FLIC_MAGIC_FLC, FLIC_MAGIC_FLI}) {
    for (const MadeColours where : {MadeColours::after_pixels, MadeColours::in_frame_2}) {
      SCOPED_TRACE(
          std::string(magic == FLIC_MAGIC_FLI ? "FLI" : "FLC") +
          (where == MadeColours::after_pixels ? ", colours after frame 1's pixels" : ", colours in frame 2"));
      Scratch scratch;
      const std::string input = scratch.path(magic == FLIC_MAGIC_FLI ? "late.fli" : "late.flc");
      write_bytes(input, made_animation(magic, 64, 48, 4, 5, 200, where).bytes);
      expect_ffmpeg_indices(input, "", scratch);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, AgainstFfmpeg, ::testing::ValuesIn(flic_samples()), [](const auto& p) {
  std::string name = p.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

// Pillow's reading of a PCX file, saved as RGB or grey PNG.
bool pillow_png(const std::string& input, const std::string& output, const char* mode) {
  return run_shell(std::string(PILLOW) +
                   " -c 'import sys; from PIL import Image; "
                   "Image.open(sys.argv[1]).convert(sys.argv[3]).save(sys.argv[2])' '" +
                   input + "' '" + output + "' " + mode + " 2>/dev/null") == 0;
}

bool have_pillow() { return have_program(std::string(PILLOW) + " -c 'import PIL'"); }

struct PcxCase {
  const char* file;
};

void PrintTo(const PcxCase& c, std::ostream* os) { *os << c.file; }

class AgainstPillow : public ::testing::TestWithParam<PcxCase> {};

TEST_P(AgainstPillow, EveryPixelMatches) {
  if (!have_pillow()) MOXFLIC_ORACLE_MISSING("Pillow is not installed");
  Scratch scratch;
  std::string input = data_file(GetParam().file);
  ToolRun ours = run_export({"--palette=file", input, "ours.png"}, scratch);
  ASSERT_EQ(ours.status, 0) << ours.err;
  ASSERT_TRUE(pillow_png(input, scratch.path("pillow.png"), "RGB"));
  PngImage a, b;
  ASSERT_TRUE(read_png(scratch.path("ours.png"), a));
  ASSERT_TRUE(read_png(scratch.path("pillow.png"), b));
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  size_t differ = 0;
  for (size_t i = 0; i < a.rgb.size(); i += 3) {
    differ += !std::equal(&a.rgb[i], &a.rgb[i] + 3, &b.rgb[i]);
  }
  EXPECT_EQ(differ, 0u);
}

INSTANTIATE_TEST_SUITE_P(Samples, AgainstPillow,
                         ::testing::Values(PcxCase{"testcard-160x120-8bit.pcx"},
                                           PcxCase{"marbles-141x99-8bit.pcx"},
                                           PcxCase{"testcard-160x120-1bit.pcx"},
                                           PcxCase{"testcard-160x120-24bit.pcx"}),
                         [](const auto& p) {
                           std::string name = p.param.file;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// ffmpeg's reading of a picture, saved as an RGB PNG.
bool ffmpeg_png(const std::string& input, const std::string& output) {
  return run_shell("ffmpeg -nostdin -v error -y -i '" + input + "' -pix_fmt rgb24 '" + output + "'") == 0;
}

// One plane of one bit a pixel is black and white, whatever the header's colours;
// two and four bits keep them. Pillow reads only the one-bit pictures, ffmpeg all.
TEST(AgainstOthers, OneBitPicturesAreBlackAndWhiteDeeperOnesKeepTheirHeaderColours) {
  if (!have_pillow() || !have_program("ffmpeg -version"))
    MOXFLIC_ORACLE_MISSING("Pillow or ffmpeg is missing");
  const struct {
    const char* name;
    int bits;
    uint8_t version;
    uint8_t colour0[3], colour1[3];
  } cases[] = {
      {"one bit, brown and purple in the header", 1, 2, {120, 60, 20}, {160, 40, 160}},
      {"one bit, dark leftovers in the header", 1, 5, {15, 15, 15}, {14, 14, 14}},
      {"one bit, white and black in the header", 1, 5, {255, 255, 255}, {0, 0, 0}},
      {"two bits", 2, 5, {120, 60, 20}, {160, 40, 160}},
      {"four bits", 4, 5, {15, 15, 15}, {14, 14, 14}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    PcxWriterHeader h = pcx_writer_header(19, 7, c.bits, 1);
    h.version = c.version;
    for (int i = 0; i < PCX_HEADER_PALETTE_SIZE; i++) h.header_palette[i] = uint8_t(i * 37);
    std::memcpy(h.header_palette, c.colour0, 3);
    std::memcpy(h.header_palette + 3, c.colour1, 3);
    std::vector<uint8_t> file, indices(19 * 7);
    for (size_t i = 0; i < indices.size(); i++) indices[i] = uint8_t((i * 7 + i / 19) % (1u << c.bits));
    pcx_writer_put_header(file, h);
    pcx_writer_put_image(file, h, indices.data());
    const std::string input = scratch.path("in.pcx");
    write_bytes(input, file);
    PngImage theirs, ours, screen;
    ASSERT_TRUE(ffmpeg_png(input, scratch.path("ffmpeg.png")));
    ASSERT_TRUE(read_png(scratch.path("ffmpeg.png"), theirs));
    if (c.bits == 1) {
      PngImage pillow;
      ASSERT_TRUE(pillow_png(input, scratch.path("pillow.png"), "RGB"));
      ASSERT_TRUE(read_png(scratch.path("pillow.png"), pillow));
      ASSERT_TRUE(pillow.rgb == theirs.rgb) << "Pillow and ffmpeg differ";
    }
    ASSERT_EQ(run_export({input, "ours.png"}, scratch).status, 0);
    ASSERT_EQ(run_export({"--palette=screen", input, "screen.png"}, scratch).status, 0);
    ASSERT_TRUE(read_png(scratch.path("ours.png"), ours));
    ASSERT_TRUE(read_png(scratch.path("screen.png"), screen));
    EXPECT_TRUE(ours.rgb == theirs.rgb);
    EXPECT_TRUE(screen.rgb == theirs.rgb) << "the screen shows the same colours";
  }
}

// Pictures whose lines are longer than 10,240 bytes, and pictures of three and four
// 8-bit planes (true colour, with alpha), pixel for pixel as other decoders read them:
// the RGBA picture against ImageMagick, which reads four planes, the others against
// Pillow.
TEST(AgainstOthers, WideAndTrueColourPicturesMatch) {
  if (!have_pillow() || !have_program("convert -version"))
    MOXFLIC_ORACLE_MISSING("Pillow or ImageMagick is missing");
  Scratch scratch;
  // An RGB sheet 3,500 pixels wide (3 x 3,500 bytes a line), written by Pillow.
  ASSERT_EQ(run_shell(std::string(PILLOW) +
                      " -c 'from PIL import Image; im = Image.new(\"RGB\", (3500, 5)); "
                      "im.putdata([(i % 251, i // 7 % 256, i // 3500 * 40) for i in range(17500)]); "
                      "im.save(\"" +
                      scratch.path("rgb.pcx") + "\")'"),
            0);
  // An 8-bit sheet 10,305 pixels wide with a colour block, and a 4-plane picture.
  PcxWriterHeader wide = pcx_writer_header(10305, 3, 8, 1);
  std::vector<uint8_t> file, indices(10305 * 3), colours(768);
  for (size_t i = 0; i < indices.size(); i++) indices[i] = uint8_t(i / 5);
  for (size_t i = 0; i < colours.size(); i++) colours[i] = uint8_t(i * 7);
  pcx_writer_put_header(file, wide);
  pcx_writer_put_image(file, wide, indices.data());
  pcx_writer_put_palette_block(file, colours.data());
  write_bytes(scratch.path("wide.pcx"), file);
  PcxWriterHeader rgba = pcx_writer_header(37, 11, 8, 4);
  file.clear();
  pcx_writer_put_header(file, rgba);
  std::vector<uint8_t> line(4 * rgba.bytes_per_line);
  for (int y = 0; y < 11; y++) {
    for (size_t i = 0; i < line.size(); i++) line[i] = uint8_t(i * 13 + static_cast<size_t>(y) * 29);
    pcx_writer_put_line(file, line);
  }
  write_bytes(scratch.path("rgba.pcx"), file);

  for (const char* name : {"rgb", "wide", "rgba"}) {
    SCOPED_TRACE(name);
    const std::string input = scratch.path(std::string(name) + ".pcx");
    ASSERT_EQ(run_export({"--palette=file", input, "ours.png"}, scratch).status, 0);
    const bool four_planes = std::string(name) == "rgba";
    if (!four_planes) {
      ASSERT_TRUE(pillow_png(input, scratch.path("theirs.png"), "RGB"));
    }
    const std::string raw = " -depth 8 rgba:";
    ASSERT_EQ(run_shell("cd '" + scratch.dir + "' && convert ours.png" + raw + "ours.raw && convert " +
                        (four_planes ? "'" + input + "'" : std::string("theirs.png")) + raw + "theirs.raw"),
              0);
    EXPECT_TRUE(read_bytes(scratch.path("ours.raw")) == read_bytes(scratch.path("theirs.raw")));
  }
}

// A thumbnail averages the pixels each of its pixels covers, as ffmpeg's area scaler
// does: compared with ffmpeg scaling the full-size export. One-pixel lines, every third
// column and every fourth row, would come out as whole lines or none if a thumbnail
// took the pixel under each cell's centre.
TEST(AgainstOthers, ThumbnailsAreAreaAveragesAsFfmpegScalesThem) {
  if (!have_program("ffmpeg -version")) MOXFLIC_ORACLE_MISSING("ffmpeg is not installed");
  Scratch scratch;
  PcxWriterHeader h = pcx_writer_header(301, 203, 8, 1);
  std::vector<uint8_t> file, indices(301 * 203), colours(768, 0);
  const uint8_t used[] = {255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 0, 255};
  std::memcpy(colours.data(), used, sizeof used);
  for (size_t i = 0; i < indices.size(); i++) {
    const size_t x = i % 301, y = i / 301;
    indices[i] = x % 3 == 0 ? 1 : y % 4 == 1 ? 2 : (x + y) % 7 == 0 ? 3 : 0;
  }
  pcx_writer_put_header(file, h);
  pcx_writer_put_image(file, h, indices.data());
  pcx_writer_put_palette_block(file, colours.data());
  write_bytes(scratch.path("lines.pcx"), file);

  const struct {
    std::string input;
    const char* size;
  } cases[] = {{scratch.path("lines.pcx"), "128"},
               {data_file("dance-640x480.flc"), "128"},
               {data_file("text-321x74.flc"), "64"},
               {data_file("marbles-141x99-8bit.pcx"), "100"},
               {data_file("testcard-160x120-24bit.pcx"), "100"},
               {data_file("cga-320x200-2bit.pcx"), "77"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input + " at " + c.size);
    ASSERT_EQ(run_export({c.input, "full.png"}, scratch).status, 0);
    ASSERT_EQ(run_export({"--size", c.size, c.input, "ours.png"}, scratch).status, 0);
    PngImage ours, theirs;
    ASSERT_TRUE(read_png(scratch.path("ours.png"), ours));
    ASSERT_EQ(run_shell("cd '" + scratch.dir + "' && ffmpeg -nostdin -v error -y -i full.png -vf scale=" +
                        std::to_string(ours.width) + ":" + std::to_string(ours.height) +
                        ":flags=area -pix_fmt rgb24 theirs.png"),
              0);
    ASSERT_TRUE(read_png(scratch.path("theirs.png"), theirs));
    ASSERT_EQ(ours.rgb.size(), theirs.rgb.size());
    int64_t sum = 0, most = 0;
    for (size_t i = 0; i < ours.rgb.size(); i++) {
      const int64_t d = std::abs(ours.rgb[i] - theirs.rgb[i]);
      sum += d;
      most = std::max(most, d);
    }
    EXPECT_LT(static_cast<double>(sum) / static_cast<double>(ours.rgb.size()), 0.5);
    EXPECT_LE(most, 2);
  }
}

}  // namespace
