// Making FLIC files: animations exported losslessly to PNG frames and made into FLIC
// files again come back frame for frame, as this program, ffmpeg and Pillow read them,
// and no larger than the sample files they came from; what cannot be made is refused
// with nothing written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "flic/flic_writer.h"
#include "tests/export/export_support.h"
#include "tests/oracle.h"

namespace {

const char* const PILLOW = "/usr/bin/python3";

std::string numbered(const std::string& prefix, int n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04d", n);
  return prefix + digits + ".png";
}

// Every frame of a FLIC file as ffmpeg and as Pillow read it, into ff%04d.png and
// pil%04d.png: palette PNGs of the file's indices.
bool oracle_frames(const std::string& input, const Scratch& scratch) {
  return run_shell("cd '" + scratch.dir + "' && ffmpeg -nostdin -v error -i '" + input +
                   "' -f image2 ff%04d.png") == 0 &&
         run_shell(std::string(PILLOW) +
                   " -c 'import sys; from PIL import Image\n"
                   "im = Image.open(sys.argv[1])\n"
                   "for i in range(im.n_frames):\n"
                   "    im.seek(i); im.save(sys.argv[2] % (i + 1))' '" +
                   input + "' '" + scratch.path("pil%04d.png") + "'") == 0;
}

// Makes out from the frames src0001.png... and checks it: sound for --check with no
// note (none when it has a ring frame), each frame's indices and colours as the source
// when exported again, each frame's indices as ffmpeg and Pillow read them.
void expect_round_trip(const Scratch& scratch, int frames, const std::string& out,
                       const std::vector<std::string>& options = {}) {
  std::vector<std::string> args = options;
  args.push_back(scratch.path("src%04d.png"));
  args.push_back(scratch.path(out));
  ToolRun made = run_export(args, scratch);
  ASSERT_EQ(made.status, 0) << made.err;
  ToolRun check = run_export({"--check", scratch.path(out)}, scratch);
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(value_of(check.out, "frames"), std::to_string(frames));
  EXPECT_EQ(check.out.find("note:"), std::string::npos) << check.out;
  ASSERT_EQ(run_export({"--palette=file", scratch.path(out), scratch.path("back%04d.png")}, scratch).status,
            0);
  ASSERT_TRUE(oracle_frames(scratch.path(out), scratch));
  for (int n = 1; n <= frames; n++) {
    SCOPED_TRACE("frame " + std::to_string(n));
    PngImage source, back, ffmpeg, pillow;
    ASSERT_TRUE(read_png(scratch.path(numbered("src", n)), source));
    ASSERT_TRUE(read_png(scratch.path(numbered("back", n)), back));
    ASSERT_TRUE(read_png(scratch.path(numbered("ff", n)), ffmpeg));
    ASSERT_TRUE(read_png(scratch.path(numbered("pil", n)), pillow));
    EXPECT_TRUE(back.indices == source.indices);
    EXPECT_TRUE(back.palette == source.palette);
    EXPECT_TRUE(ffmpeg.indices == source.indices) << "ffmpeg";
    EXPECT_TRUE(pillow.indices == source.indices) << "Pillow";
  }
}

bool have_oracles() {
  return have_program("ffmpeg -version") && have_program(std::string(PILLOW) + " -c 'import PIL'");
}

// --- The sample files ----------------------------------------------------------------

std::vector<std::string> samples() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(MOXFLIC_TEST_DATA)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".fli" && ext != ".flc") continue;
    const std::vector<uint8_t> header = read_bytes(entry.path().string());
    if (header.size() >= 8 && (header[6] | header[7]) != 0) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class SampleRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(SampleRoundTrip, ComesBackFrameForFrameAndNoLarger) {
  if (!have_oracles()) MOXFLIC_ORACLE_MISSING("ffmpeg or Pillow is not installed");
  Scratch scratch;
  const std::string input = data_file(GetParam());
  ToolRun info = run_export({"--info", input}, scratch);
  const int frames = std::atoi(value_of(info.out, "frames").c_str());
  ASSERT_EQ(run_export({"--palette=file", input, scratch.path("src%04d.png")}, scratch).status, 0);
  const std::string out = "out" + std::filesystem::path(input).extension().string();
  expect_round_trip(scratch, frames, out);
  EXPECT_LE(read_bytes(scratch.path(out)).size(), read_bytes(input).size());
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleRoundTrip, ::testing::ValuesIn(samples()),
                         [](const auto& p) { return case_name(p.param); });

// --- Made animations ---------------------------------------------------------------------

struct MadeCase {
  const char* name;
  uint16_t magic;
  int width, height, frames;
  std::function<uint8_t(int k, int x, int y)> pixel;  // frame k from 0
  std::function<void(int k, uint8_t* rgb)> colours;   // 768 bytes, as stored in an FLI file when FLI
};

void PrintTo(const MadeCase& c, std::ostream* os) { *os << c.name; }

void steady_colours(int, uint8_t* rgb) {
  for (int i = 0; i < 768; i++) rgb[i] = static_cast<uint8_t>(i * 7 % 64 * 4);
}

// Entries 10 to 29 move round each frame (a colour cycle), the rest stay.
void cycling_colours(int k, uint8_t* rgb) {
  steady_colours(k, rgb);
  for (int i = 10; i < 30; i++)
    for (int c = 0; c < 3; c++) rgb[3 * i + c] = static_cast<uint8_t>(((i + k) % 20 * 12 + c * 40) % 64 * 4);
}

const MadeCase MADE_CASES[] = {
    {"ColoursCycleEveryFrame", FLIC_MAGIC_FLC, 64, 40, 6,
     [](int k, int x, int y) { return static_cast<uint8_t>(10 + (x / 4 + y / 4 + (x > 30 ? k : 0)) % 20); },
     cycling_colours},
    {"FliColoursCycleEveryFrame", FLIC_MAGIC_FLI, 64, 40, 6,
     [](int k, int x, int y) { return static_cast<uint8_t>(10 + (x / 4 + y / 4 + (y > 20 ? k : 0)) % 20); },
     cycling_colours},
    {"UnchangedFramesAndColoursAlone", FLIC_MAGIC_FLC, 40, 30, 5,
     [](int k, int x, int y) {
       return static_cast<uint8_t>(k >= 3 && x == 5 && y == 7 ? 200 : (x * y) % 50);
     },
     [](int k, uint8_t* rgb) {
       steady_colours(k, rgb);
       if (k >= 2) rgb[3 * 49] = 255;
     }},
    {"OddWidthEveryPixelChanges", FLIC_MAGIC_FLC, 37, 9, 5,
     [](int k, int x, int y) { return static_cast<uint8_t>(k % 2 == 0 ? x + y + k : (x == 36 ? k : x)); },
     steady_colours},
    {"OnePixel", FLIC_MAGIC_FLC, 1, 1, 4, [](int k, int, int) { return static_cast<uint8_t>(k / 2 * 9); },
     steady_colours},
    {"FliOnePixel", FLIC_MAGIC_FLI, 1, 1, 4, [](int k, int, int) { return static_cast<uint8_t>(k * 3); },
     steady_colours},
    // Rows too wide for the 255 packets of a byte delta row, and skips longer than 255.
    {"VeryWide", FLIC_MAGIC_FLC, 3001, 3, 3,
     [](int k, int x, int y) {
       return static_cast<uint8_t>(k > 0 && (x % 3 == 0 || x > 2700) ? x + k + y : 1);
     },
     steady_colours},
    {"FliVeryWide", FLIC_MAGIC_FLI, 3001, 3, 3,
     [](int k, int x, int y) { return static_cast<uint8_t>(k > 0 && x % 3 == 0 ? x + k + y : 1); },
     steady_colours},
};

class MadeRoundTrip : public ::testing::TestWithParam<MadeCase> {};

TEST_P(MadeRoundTrip, ComesBackFrameForFrame) {
  if (!have_oracles()) MOXFLIC_ORACLE_MISSING("ffmpeg or Pillow is not installed");
  const MadeCase& c = GetParam();
  Scratch scratch;
  // The frames, written as a file of whole frames and exported losslessly.
  FlicWriter w;
  fw_begin(w, c.magic, static_cast<uint16_t>(c.width), static_cast<uint16_t>(c.height), 5);
  std::vector<uint8_t> pixels(static_cast<size_t>(c.width) * static_cast<size_t>(c.height));
  for (int k = 0; k < c.frames; k++) {
    uint8_t rgb[768];
    c.colours(k, rgb);
    for (int y = 0; y < c.height; y++)
      for (int x = 0; x < c.width; x++)
        pixels[static_cast<size_t>(y) * static_cast<size_t>(c.width) + static_cast<size_t>(x)] =
            c.pixel(k, x, y);
    fw_begin_frame(w);
    fw_palette(w, c.magic == FLIC_MAGIC_FLI ? FLIC_CHUNK_COLOUR_64 : FLIC_CHUNK_COLOUR_256, rgb);
    fw_byte_run(w, pixels.data());
    fw_end_frame(w);
  }
  fw_finish(w);
  const std::string whole = scratch.path(c.magic == FLIC_MAGIC_FLI ? "whole.fli" : "whole.flc");
  write_bytes(whole, w.bytes);
  ASSERT_EQ(run_export({"--palette=file", whole, scratch.path("src%04d.png")}, scratch).status, 0);
  expect_round_trip(scratch, c.frames, c.magic == FLIC_MAGIC_FLI ? "out.fli" : "out.flc");
}

INSTANTIATE_TEST_SUITE_P(Made, MadeRoundTrip, ::testing::ValuesIn(MADE_CASES),
                         [](const auto& p) { return std::string(p.param.name); });

// --- Other inputs ------------------------------------------------------------------------

// An animated GIF of a sample (exported by this program) becomes an FLC file whose
// frames show the GIF's colours.
TEST(MakeFlic, AnimatedGifKeepsItsColours) {
  if (!have_oracles()) MOXFLIC_ORACLE_MISSING("ffmpeg or Pillow is not installed");
  Scratch scratch;
  ASSERT_EQ(run_export({data_file("walk-320x200.fli"), scratch.path("walk.gif")}, scratch).status, 0);
  ToolRun made = run_export({scratch.path("walk.gif"), scratch.path("walk.flc")}, scratch);
  ASSERT_EQ(made.status, 0) << made.err;
  GifAnimation gif;
  ASSERT_TRUE(read_gif(scratch.path("walk.gif"), gif));
  ASSERT_EQ(
      run_export({"--palette=file", scratch.path("walk.flc"), scratch.path("back%04d.png")}, scratch).status,
      0);
  ASSERT_EQ(
      run_shell("cd '" + scratch.dir + "' && ffmpeg -nostdin -v error -i walk.flc -f image2 ff%04d.png"), 0);
  for (size_t n = 1; n <= gif.frames.size(); n++) {
    SCOPED_TRACE("frame " + std::to_string(n));
    PngImage back, ffmpeg;
    ASSERT_TRUE(read_png(scratch.path(numbered("back", static_cast<int>(n))), back));
    ASSERT_TRUE(read_png(scratch.path(numbered("ff", static_cast<int>(n))), ffmpeg));
    EXPECT_TRUE(back.rgb == gif.frames[n - 1].rgb);
    EXPECT_TRUE(ffmpeg.indices == back.indices);
  }
  // 5/70 s a frame in the GIF's hundredths: 7 and 8 in turn, their mean as the speed.
  ToolRun info = run_export({"--info", scratch.path("walk.flc")}, scratch);
  EXPECT_EQ(value_of(info.out, "header_frames"), std::to_string(gif.frames.size()));
  int total_cs = 0;
  for (const GifFrame& f : gif.frames) total_cs += f.delay_cs;
  const size_t n = gif.frames.size();
  EXPECT_EQ(value_of(info.out, "speed"), std::to_string((10 * static_cast<size_t>(total_cs) + n / 2) / n));
}

// A GIF whose images are interlaced, cover part of the picture and are disposed of in
// each of the three ways, drawn frame for frame as Pillow draws it. (One colour map:
// Pillow restores a disposed image to the background entry of the image's own map,
// where the background is an entry of the global one.)
TEST(MakeFlic, GifImagesDrawnAsPillowDrawsThem) {
  if (!have_oracles()) MOXFLIC_ORACLE_MISSING("ffmpeg or Pillow is not installed");
  Scratch scratch;
  ASSERT_EQ(
      run_shell(
          std::string(PILLOW) +
          " -c 'import sys; from PIL import Image, ImageDraw\n"
          "frames = []\n"
          "palette = [20, 40, 60] + [c for k in range(5) for c in (200, 50 + k * 30, 10)] + [10, 200, 90]\n"
          "for k in range(5):\n"
          "    im = Image.new(\"P\", (61, 37), 0)\n"
          "    im.putpalette(palette)\n"
          "    d = ImageDraw.Draw(im)\n"
          "    d.rectangle((k * 9, 5, k * 9 + 15, 25), fill=1 + k)\n"
          "    d.ellipse((30, k * 5, 50, k * 5 + 12), fill=6)\n"
          "    frames.append(im)\n"
          "frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=100,\n"
          "               loop=0, disposal=[1, 2, 3, 2, 1], interlace=True, optimize=False)\n"
          "im = Image.open(sys.argv[1])\n"
          "for i in range(im.n_frames):\n"
          "    im.seek(i); im.convert(\"RGB\").save(sys.argv[2] % (i + 1))' '" +
          scratch.path("anim.gif") + "' '" + scratch.path("pil%04d.png") + "'"),
      0);
  ASSERT_EQ(run_export({scratch.path("anim.gif"), scratch.path("anim.flc")}, scratch).status, 0);
  ASSERT_EQ(
      run_export({"--palette=file", scratch.path("anim.flc"), scratch.path("back%04d.png")}, scratch).status,
      0);
  for (int n = 1; n <= 5; n++) {
    SCOPED_TRACE("frame " + std::to_string(n));
    PngImage back, pillow;
    ASSERT_TRUE(read_png(scratch.path(numbered("back", n)), back));
    ASSERT_TRUE(read_png(scratch.path(numbered("pil", n)), pillow));
    EXPECT_TRUE(back.rgb == pillow.rgb);
  }
}

// True-colour frames: at most 256 colours in all are kept exactly, more are reduced to
// 256 shared by every frame, and ffmpeg reads the file either way.
TEST(MakeFlic, TrueColourFramesShareOnePalette) {
  if (!have_oracles()) MOXFLIC_ORACLE_MISSING("ffmpeg or Pillow is not installed");
  for (const int shades : {200, 4000}) {
    SCOPED_TRACE(std::to_string(shades) + " colours");
    Scratch scratch;
    ASSERT_EQ(run_shell(std::string(PILLOW) +
                        " -c 'import sys; from PIL import Image\n"
                        "n = int(sys.argv[2])\n"
                        "for k in range(4):\n"
                        "    im = Image.new(\"RGB\", (75, 41))\n"
                        "    im.putdata([((i * 7 + k * 13) % n % 256, (i * 7 + k * 13) % n // 256 * 16, 99)"
                        " for i in range(75 * 41)])\n"
                        "    im.save(sys.argv[1] % (k + 1))' '" +
                        scratch.path("rgb%02d.png") + "' " + std::to_string(shades)),
              0);
    ToolRun made = run_export({scratch.path("rgb%02d.png"), scratch.path("out.flc")}, scratch);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err.find("reduced to 256") != std::string::npos, shades > 256) << made.err;
    ASSERT_EQ(
        run_export({"--palette=file", scratch.path("out.flc"), scratch.path("back%04d.png")}, scratch).status,
        0);
    ASSERT_EQ(
        run_shell("cd '" + scratch.dir + "' && ffmpeg -nostdin -v error -i out.flc -f image2 ff%04d.png"), 0);
    PngImage first;
    for (int n = 1; n <= 4; n++) {
      PngImage source, back, ffmpeg;
      char name[16];
      std::snprintf(name, sizeof name, "rgb%02d.png", n);
      ASSERT_TRUE(read_png(scratch.path(name), source));
      ASSERT_TRUE(read_png(scratch.path(numbered("back", n)), back));
      ASSERT_TRUE(read_png(scratch.path(numbered("ff", n)), ffmpeg));
      EXPECT_TRUE(ffmpeg.indices == back.indices);
      if (shades <= 256) {
        EXPECT_TRUE(back.rgb == source.rgb);
      }
      if (n == 1) first = back;
      EXPECT_TRUE(back.palette == first.palette) << "one palette for every frame";
    }
  }
}

// --- Refused, with nothing written -------------------------------------------------------

struct RefusedCase {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the scratch folder
  int status;
  const char* message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class Refused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, ExitsWithTheReasonAndWritesNothing) {
  Scratch scratch;
  // a0001.png and a0002.png of 8 x 6, b.png of 9 x 6, junk.png that is no PNG.
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 8, 6, 5);
  for (int k = 0; k < 2; k++) {
    std::vector<uint8_t> p(48, static_cast<uint8_t>(k));
    fw_begin_frame(w);
    fw_byte_run(w, p.data());
    fw_end_frame(w);
  }
  fw_finish(w);
  write_bytes(scratch.path("a.flc"), w.bytes);
  ASSERT_EQ(run_export({"--palette=file", scratch.path("a.flc"), scratch.path("a%04d.png")}, scratch).status,
            0);
  fw_begin(w, FLIC_MAGIC_FLC, 9, 6, 5);
  fw_begin_frame(w);
  fw_byte_run(w, std::vector<uint8_t>(54, 3).data());
  fw_finish(w);
  write_bytes(scratch.path("b.flc"), w.bytes);
  ASSERT_EQ(run_export({"--palette=file", scratch.path("b.flc"), scratch.path("b.png")}, scratch).status, 0);
  write_bytes(scratch.path("junk.png"), {1, 2, 3});
  write_bytes(scratch.path("cut.flc"), std::vector<uint8_t>(w.bytes.begin(), w.bytes.begin() + 150));
  ASSERT_EQ(run_export({scratch.path("a.flc"), scratch.path("x.gif")}, scratch).status, 0);
  const std::vector<std::string> before = scratch.files();

  std::vector<std::string> args;
  for (std::string a : GetParam().args) {
    if (a.find('@') != std::string::npos) a.replace(a.find('@'), 1, scratch.dir);
    args.push_back(a);
  }
  ToolRun run = run_export(args, scratch);
  EXPECT_EQ(run.status, GetParam().status) << run.err;
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(scratch.files(), before);
}

INSTANTIATE_TEST_SUITE_P(
    MakeFlic, Refused,
    ::testing::Values(
        RefusedCase{"PatternMatchingNothing", {"@/c%04d.png", "@/out.flc"}, 1, "no file matches"},
        RefusedCase{"FrameOfAnotherSize", {"@/a0001.png", "@/b.png", "@/out.flc"}, 1, "size of the first"},
        RefusedCase{
            "NotAPicture", {"@/a0001.png", "@/junk.png", "@/out.flc"}, 1, "not a PNG, GIF or FLIC file"},
        RefusedCase{"MissingFile", {"@/a0001.png", "@/none.png", "@/out.fli"}, 1, "none.png"},
        RefusedCase{"DamagedFlic", {"@/cut.flc", "@/out.flc"}, 1, "damaged"},
        RefusedCase{
            "FlicAmongPngs", {"@/a.flc", "@/a0001.png", "@/out.flc"}, 2, "FLIC file makes a FLIC file alone"},
        RefusedCase{
            "GifAmongPngs", {"@/x.gif", "@/a0001.png", "@/out.flc"}, 2, "GIF file makes a FLIC file alone"},
        RefusedCase{"SpeedZero", {"--speed", "0", "@/a%04d.png", "@/out.flc"}, 2, "--speed takes"},
        RefusedCase{"SpeedForAPng", {"--speed=50", "@/a.flc", "@/out.png"}, 2, "apply to making a FLIC file"},
        RefusedCase{"PaletteForAFlic", {"--palette=file", "@/a%04d.png", "@/out.flc"}, 2, "--palette cannot"},
        RefusedCase{"NoInput", {"--no-ring", "@/out.flc"}, 2, "no input file"}),
    [](const auto& p) { return std::string(p.param.name); });

// A FLIC file made again, FLI to FLC and FLC to FLC: the same frames at the same speed,
// no larger.
TEST(MakeFlic, AFlicFileIsMadeAgain) {
  for (const char* sample : {"walk-320x200.fli", "sun-146x140.flc"}) {
    SCOPED_TRACE(sample);
    Scratch scratch;
    ASSERT_EQ(run_export({data_file(sample), scratch.path("again.flc")}, scratch).status, 0);
    ASSERT_EQ(run_export({"--palette=file", data_file(sample), scratch.path("a%04d.png")}, scratch).status,
              0);
    ASSERT_EQ(
        run_export({"--palette=file", scratch.path("again.flc"), scratch.path("b%04d.png")}, scratch).status,
        0);
    const ToolRun before = run_export({"--info", data_file(sample)}, scratch);
    const ToolRun after = run_export({"--info", scratch.path("again.flc")}, scratch);
    const int frames = std::atoi(value_of(before.out, "frames").c_str());
    EXPECT_EQ(value_of(after.out, "frames"), value_of(before.out, "frames"));
    EXPECT_EQ(value_of(after.out, "delay_ms").substr(0, 2), value_of(before.out, "delay_ms").substr(0, 2));
    for (int n = 1; n <= frames; n++)
      EXPECT_TRUE(read_bytes(scratch.path(numbered("a", n))) == read_bytes(scratch.path(numbered("b", n))))
          << n;
    EXPECT_LE(read_bytes(scratch.path("again.flc")).size(), read_bytes(data_file(sample)).size());
  }
}

// The output is never one of the inputs, whatever its name.
TEST(MakeFlic, AnInputNamedAsTheOutputIsNotReplaced) {
  Scratch scratch;
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 4, 4, 5);
  fw_begin_frame(w);
  fw_byte_run(w, std::vector<uint8_t>(16, 2).data());
  fw_finish(w);
  write_bytes(scratch.path("a.flc"), w.bytes);
  ASSERT_EQ(run_export({"--palette=file", scratch.path("a.flc"), scratch.path("pic.png")}, scratch).status,
            0);
  ASSERT_EQ(std::rename(scratch.path("pic.png").c_str(), scratch.path("pic.flc").c_str()), 0);
  const std::vector<uint8_t> png = read_bytes(scratch.path("pic.flc"));
  ToolRun run = run_export({scratch.path("pic.flc"), scratch.path("pic.flc")}, scratch);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("is an input file"), std::string::npos) << run.err;
  EXPECT_TRUE(read_bytes(scratch.path("pic.flc")) == png);
}

// --no-ring leaves the ring frame out (a note says so), --speed sets the header's.
TEST(MakeFlic, SpeedAndRingFrameAsAsked) {
  Scratch scratch;
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 4, 4, 5);
  for (int k = 0; k < 3; k++) {
    fw_begin_frame(w);
    fw_byte_run(w, std::vector<uint8_t>(16, static_cast<uint8_t>(k)).data());
    fw_end_frame(w);
  }
  fw_finish(w);
  write_bytes(scratch.path("a.flc"), w.bytes);
  ASSERT_EQ(run_export({"--palette=file", scratch.path("a.flc"), scratch.path("f%d.png")}, scratch).status,
            0);
  for (const bool fli : {false, true}) {
    const std::string out = scratch.path(fli ? "out.fli" : "out.flc");
    ASSERT_EQ(run_export({"--no-ring", "--speed", "100", scratch.path("f%d.png"), out}, scratch).status, 0);
    ToolRun check = run_export({"--info", out}, scratch);
    EXPECT_EQ(value_of(check.out, "speed"), fli ? "7" : "100");
    EXPECT_EQ(value_of(check.out, "ring frame"), "none");
    EXPECT_EQ(value_of(check.out, "note"), "no ring frame after the last frame");
    EXPECT_EQ(value_of(check.out, "frames"), "3");
  }
}

}  // namespace
