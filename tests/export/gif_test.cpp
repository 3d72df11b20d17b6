// Animated GIF output: one image per frame, the frames' pictures as the PNG export shows
// them, delays from the file's speed whose running total stays within half a hundredth
// of a second of the true time, and looping forever.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/export/export_support.h"
#include "tests/export/made_files.h"
#include "tests/oracle.h"
#include "tools/writers/pcx_writer.h"

namespace {

struct GifCase {
  const char* file;
  const char* palette;
};

void PrintTo(const GifCase& c, std::ostream* os) { *os << c.file << " " << c.palette; }

class GifExport : public ::testing::TestWithParam<GifCase> {};

TEST_P(GifExport, ShowsEveryFrameAtTheFilesSpeedAndLoops) {
  Scratch scratch;
  std::string input = data_file(GetParam().file);
  std::string palette = std::string("--palette=") + GetParam().palette;
  ToolRun info = run_export({"--info", input}, scratch);
  ASSERT_EQ(info.status, 0) << info.err;
  int frames = std::atoi(value_of(info.out, "frames").c_str());
  double frame_ms = std::atof(value_of(info.out, "delay_ms").c_str());

  ASSERT_EQ(run_export({palette, input, "anim.gif"}, scratch).status, 0);
  ASSERT_EQ(run_export({palette, input, "f%03d.png"}, scratch).status, 0);
  GifAnimation gif;
  ASSERT_TRUE(read_gif(scratch.path("anim.gif"), gif));
  EXPECT_TRUE(gif.loops_forever);
  ASSERT_EQ(static_cast<int>(gif.frames.size()), frames);

  int total_cs = 0;
  for (int n = 1; n <= frames; n++) {
    SCOPED_TRACE("frame " + std::to_string(n));
    const GifFrame& frame = gif.frames[static_cast<size_t>(n - 1)];
    total_cs += frame.delay_cs;
    EXPECT_LE(std::fabs(total_cs * 10.0 - n * frame_ms), 5.0 + 1e-6);
    char name[32];
    std::snprintf(name, sizeof name, "f%03d.png", n);
    PngImage png;
    ASSERT_TRUE(read_png(scratch.path(name), png));
    ASSERT_EQ(png.width, gif.width);
    ASSERT_EQ(png.height, gif.height);
    EXPECT_TRUE(frame.rgb == png.rgb);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, GifExport,
    ::testing::Values(GifCase{"sun-146x140.flc", "screen"},   // 5 ms a frame
                      GifCase{"walk-320x200.fli", "screen"},  // 1/14 s a frame
                      GifCase{"walk-320x200.fli", "file"},
                      GifCase{"cycle-320x200.fli", "screen"},  // colours change each frame
                      GifCase{"text-321x74.flc", "file"}),
    [](const auto& param_info) {
      return case_name(std::string(param_info.param.file) + "_" + param_info.param.palette);
    });

// Frames whose colours change carry their own maps and only the pixels whose colour on
// screen changes: the canvas after every frame is the frame the PNG export shows.
TEST(GifExport, ColourChangesAreCarriedByLocalColourMaps) {
  Scratch scratch;
  ASSERT_EQ(run_export({data_file("cycle-320x200.fli"), "cycle.gif"}, scratch).status, 0);
  ASSERT_EQ(run_export({data_file("cycle-320x200.fli"), "f%03d.png"}, scratch).status, 0);
  GifAnimation gif;
  ASSERT_TRUE(read_gif(scratch.path("cycle.gif"), gif));
  int local = 0, partial = 0;
  for (size_t n = 0; n < gif.frames.size(); n++) {
    const GifFrame& f = gif.frames[n];
    local += f.local_map;
    partial += f.local_map && f.width * f.height < gif.width * gif.height;
    char name[32];
    std::snprintf(name, sizeof name, "f%03zu.png", n + 1);
    PngImage png;
    ASSERT_TRUE(read_png(scratch.path(name), png));
    ASSERT_TRUE(f.rgb == png.rgb) << "frame " << n + 1;
  }
  EXPECT_GT(local, 0);
  EXPECT_GT(partial, 0) << "no frame with new colours was cut to what changed";
}

// Pillow, an independent decoder, sees every frame of the GIF as the PNG export shows
// it: the unchanged pixels that a frame sends as transparent show the frame before.
TEST(GifExport, PillowDecodesEveryFrameAsThePngsShowIt) {
  const char* const python = "/usr/bin/python3";
  if (!have_program(std::string(python) + " -c 'import PIL'"))
    MOXFLIC_ORACLE_MISSING("Pillow is not installed");
  for (const char* file : {"dance-640x480.flc", "walk-320x200.fli", "sun-146x140.flc", "cycle-320x200.fli"}) {
    SCOPED_TRACE(file);
    Scratch scratch;
    ASSERT_EQ(run_export({data_file(file), "anim.gif"}, scratch).status, 0);
    ASSERT_EQ(run_export({data_file(file), "f%03d.png"}, scratch).status, 0);
    ASSERT_EQ(run_shell(std::string(python) +
                        " -c 'import sys; from PIL import Image, ImageSequence\n"
                        "for n, f in enumerate(ImageSequence.Iterator(Image.open(sys.argv[1]))):\n"
                        "    f.convert(\"RGB\").save(sys.argv[2] % (n + 1))' '" +
                        scratch.path("anim.gif") + "' '" + scratch.path("p%03d.png") + "'"),
              0);
    for (int n = 1;; n++) {
      char ours[32], theirs[32];
      std::snprintf(ours, sizeof ours, "f%03d.png", n);
      std::snprintf(theirs, sizeof theirs, "p%03d.png", n);
      PngImage a, b;
      const bool have_ours = read_png(scratch.path(ours), a), have_theirs = read_png(scratch.path(theirs), b);
      ASSERT_EQ(have_ours, have_theirs) << "frame " << n;
      if (!have_ours) {
        EXPECT_GT(n, 1);
        break;
      }
      ASSERT_TRUE(a.rgb == b.rgb) << "frame " << n;
    }
  }
}

// A large frame whose new colours leave some pixels as they were is sent in whichever
// way looks smaller, judged by some of its rows: with the unchanged pixels in one block
// (sent as transparent) or scattered among the changed ones (every pixel sent), each
// frame still shows what the PNG export shows, in both colour modes.
TEST(GifExport, LargeFramesWithNewColoursShowWhatThePngsShow) {
  constexpr int width = 640, height = 480, frames = 4;
  struct Kept {
    const char* name;
    bool (*kept)(int index);  // whether colour `index` stays the same from frame to frame
    uint8_t (*pixel)(int x, int y);
  };
  const Kept cases[] = {
      {"block", [](int index) { return index < 128; },
       [](int x, int y) { return static_cast<uint8_t>((x < width / 2 ? 0 : 128) + (x / 5 + y / 3) % 128); }},
      {"scattered", [](int index) { return index % 7 == 0; },
       [](int x, int y) { return static_cast<uint8_t>((x * 13 + y * 7 + x / 9) % 256); }},
  };
  for (const Kept& c : cases) {
    FlicWriter w;
    fw_begin(w, FLIC_MAGIC_FLC, width, height, 40);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++)
        pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)] = c.pixel(x, y);
    for (int k = 0; k <= frames; k++) {  // the last is the ring frame
      std::vector<uint8_t> rgb(768);
      for (int i = 0; i < 768; i++)
        rgb[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7 + (c.kept(i / 3) ? 0 : 40 * (k % frames)));
      fw_begin_frame(w);
      fw_palette(w, FLIC_CHUNK_COLOUR_256, rgb.data());
      if (k == 0) fw_byte_run(w, pixels.data());
      fw_end_frame(w);
    }
    fw_finish(w, frames);
    for (const char* palette : {"--palette=screen", "--palette=file"}) {
      SCOPED_TRACE(std::string(c.name) + " " + palette);
      Scratch scratch;
      write_bytes(scratch.path("large.flc"), w.bytes);
      ASSERT_EQ(run_export({palette, "large.flc", "large.gif"}, scratch).status, 0);
      ASSERT_EQ(run_export({palette, "large.flc", "f%d.png"}, scratch).status, 0);
      GifAnimation gif;
      ASSERT_TRUE(read_gif(scratch.path("large.gif"), gif));
      ASSERT_EQ(static_cast<int>(gif.frames.size()), frames);
      for (int n = 1; n <= frames; n++) {
        PngImage png;
        ASSERT_TRUE(read_png(scratch.path("f" + std::to_string(n) + ".png"), png));
        EXPECT_TRUE(gif.frames[static_cast<size_t>(n - 1)].rgb == png.rgb) << "frame " << n;
      }
    }
  }
}

// A file whose header gives no speed plays at 5/70 s a frame, not with delays of 0.
TEST(GifExport, AFileWithoutASpeedGetsFramesOfFiveSeventiethsOfASecond) {
  for (const uint16_t magic : {FLIC_MAGIC_FLI, FLIC_MAGIC_FLC}) {
    SCOPED_TRACE(magic);
    Scratch scratch;
    write_bytes(scratch.path("still.flc"), made_animation(magic, 16, 8, 6, 0, 8).bytes);
    ASSERT_EQ(run_export({"still.flc", "still.gif"}, scratch).status, 0);
    GifAnimation gif;
    ASSERT_TRUE(read_gif(scratch.path("still.gif"), gif));
    ASSERT_EQ(gif.frames.size(), 6u);
    int total_cs = 0;
    for (int n = 1; n <= 6; n++) {
      total_cs += gif.frames[static_cast<size_t>(n - 1)].delay_cs;
      EXPECT_LE(std::fabs(total_cs - n * 500.0 / 70), 0.5 + 1e-6) << "frame " << n;
    }
  }
}

TEST(GifExport, APictureBecomesASingleFrame) {
  Scratch scratch;
  ASSERT_EQ(run_export({data_file("testcard-160x120-8bit.pcx"), "card.gif"}, scratch).status, 0);
  ASSERT_EQ(run_export({data_file("testcard-160x120-8bit.pcx"), "card.png"}, scratch).status, 0);
  GifAnimation gif;
  ASSERT_TRUE(read_gif(scratch.path("card.gif"), gif));
  PngImage png;
  ASSERT_TRUE(read_png(scratch.path("card.png"), png));
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_TRUE(gif.frames[0].rgb == png.rgb);
}

// A true-colour PCX picture of 8-bit planes (red, green, blue, and alpha when four),
// each plane's value at x, y given by plane().
std::vector<uint8_t> true_colour_pcx(int width, int height, int planes, int (*plane)(int p, int x, int y)) {
  const PcxWriterHeader h = pcx_writer_header(width, height, 8, planes);
  std::vector<uint8_t> file, line(static_cast<size_t>(planes) * h.bytes_per_line);
  pcx_writer_put_header(file, h);
  for (int y = 0; y < height; y++) {
    for (int p = 0; p < planes; p++)
      for (int x = 0; x < width; x++)
        line[static_cast<size_t>(p * h.bytes_per_line + x)] = static_cast<uint8_t>(plane(p, x, y));
    pcx_writer_put_line(file, line);
  }
  return file;
}

// A GIF holds 256 colours: a true-colour picture with no more keeps them exactly, one
// with more gets 256 close to its own. Only --palette=file, asked for a lossless export,
// is told of the loss; --palette=screen writes what the screen would show.
TEST(GifExport, TrueColourPicturesKeepTheirColoursAsFarAsAGifCan) {
  Scratch scratch;
  write_bytes(scratch.path("ramps.pcx"), true_colour_pcx(64, 48, 3, [](int p, int x, int y) {
                return p == 0 ? x * 4 : p == 1 ? y * 5 : 128;
              }));
  write_bytes(scratch.path("alpha.pcx"), true_colour_pcx(21, 9, 4, [](int p, int x, int y) {
                return p == 3 ? x * 12 : (x / 3 + y + p) * 15;
              }));
  const struct {
    const char* name;
    std::string input;
    const char* palette;  // nullptr: none given
    bool exact;
    bool told;
  } cases[] = {
      {"166 colours", data_file("testcard-160x120-24bit.pcx"), nullptr, true, false},
      {"four planes, the alpha left out", scratch.path("alpha.pcx"), nullptr, true, false},
      {"3,072 colours", scratch.path("ramps.pcx"), nullptr, false, false},
      {"3,072 colours asked for losslessly", scratch.path("ramps.pcx"), "--palette=file", false, true},
      {"as the screen shows it", data_file("testcard-160x120-24bit.pcx"), "--palette=screen", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> gif_args = {c.input, "out.gif"}, png_args = {c.input, "out.png"};
    if (c.palette) {
      gif_args.insert(gif_args.begin(), c.palette);
      png_args.insert(png_args.begin(), c.palette);
    }
    const ToolRun run = run_export(gif_args, scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("reduced this picture's 3072 colours to 256") != std::string::npos, c.told)
        << run.err;
    ASSERT_EQ(run_export(png_args, scratch).status, 0);
    GifAnimation gif;
    PngImage png;
    ASSERT_TRUE(read_gif(scratch.path("out.gif"), gif));
    ASSERT_TRUE(read_png(scratch.path("out.png"), png));
    ASSERT_EQ(gif.frames.size(), 1u);
    const std::vector<uint8_t>& got = gif.frames[0].rgb;
    ASSERT_EQ(got.size(), png.rgb.size());
    if (c.exact) {
      EXPECT_TRUE(got == png.rgb);
      continue;
    }
    int worst = 0;
    double total = 0;
    for (size_t i = 0; i < got.size(); i++) {
      const int d = std::abs(got[i] - png.rgb[i]);
      worst = std::max(worst, d);
      total += d;
    }
    EXPECT_LE(total / static_cast<double>(got.size()), 3.0);
    EXPECT_LE(worst, 8);
  }
}

}  // namespace
