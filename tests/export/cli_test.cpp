// The converter's command line: exit codes, error lines that name the file, output
// names, and that a failure leaves no file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/export/export_support.h"
#include "tools/writers/pcx_writer.h"

namespace {

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  const char* message;  // part of the error line
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, ExitTwoWithAMessageAndWriteNothing) {
  Scratch scratch;
  ToolRun run = run_export(GetParam().args, scratch);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_TRUE(scratch.files().empty());
}

const std::string SUN = data_file("sun-146x140.flc");

INSTANTIATE_TEST_SUITE_P(
    Cli, UsageErrors,
    ::testing::Values(
        UsageCase{"NoArguments", {}, "no input file"}, UsageCase{"OnlyInput", {SUN}, "one output name"},
        UsageCase{"ThreeNames", {SUN, "a.png", "b.png"}, "one output name"},
        UsageCase{"UnknownOption", {"--fast", SUN, "a.png"}, "unknown option \"--fast\""},
        UsageCase{"UnknownPalette", {"--palette=rgb", SUN, "a.png"}, "--palette takes"},
        UsageCase{"UnknownExtension", {SUN, "a.bmp"}, "must end in .png or .gif"},
        UsageCase{"ConversionOtherThanNumber", {SUN, "a%s.png"}, "only %d"},
        UsageCase{"TwoFrameNumbers", {SUN, "a%d-%d.png"}, "more than one frame number"},
        UsageCase{"InfoWithoutFile", {"--info"}, "exactly one input"},
        UsageCase{"CheckWithOutputFolder", {"--check", "--output-dir", "d", SUN}, "--output-dir applies"},
        UsageCase{"NoJobs", {"--check", "--jobs", "0", SUN}, "--jobs takes"},
        UsageCase{"UnknownOutputKind", {SUN, "--output-dir", "d", "--as", ".bmp"}, "--as takes"},
        UsageCase{"JsonForOneExport", {"--json", SUN, "a.png"}, "need --check"},
        UsageCase{"InfoAndCheck", {"--info", "--check", SUN}, "cannot be combined"},
        UsageCase{"PaletteWithCheck", {"--check", "--palette=file", SUN}, "--palette applies"},
        UsageCase{"SizeZero", {"--size=0", SUN, "a.png"}, "--size takes a number"},
        UsageCase{"SizeWithoutNumber", {SUN, "a.png", "--size"}, "--size takes a number"},
        UsageCase{"SizeWithInfo", {"--info", "--size", "64", SUN}, "--size applies"}),
    [](const auto& p) { return std::string(p.param.name); });

struct InputCase {
  const char* name;
  std::vector<uint8_t> bytes;  // written as "input.bin"; empty name means a missing file
  bool create;
  const char* reason;
};

void PrintTo(const InputCase& c, std::ostream* os) { *os << c.name; }

class BadInputs : public ::testing::TestWithParam<InputCase> {};

TEST_P(BadInputs, ExitOneWithTheFileNamedAndWriteNothing) {
  Scratch scratch;
  std::string input = scratch.path("input.bin");
  if (GetParam().create) write_bytes(input, GetParam().bytes);
  for (const char* output : {"out.png", "out%03d.png", "out.gif"}) {
    ToolRun run = run_export({input, output}, scratch);
    EXPECT_EQ(run.status, 1) << output;
    EXPECT_NE(run.err.find("moxflic-export: " + input + ": "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(GetParam().reason), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  std::vector<std::string> left = scratch.files();
  EXPECT_EQ(left, GetParam().create ? std::vector<std::string>{"input.bin"} : std::vector<std::string>{});
}

std::vector<uint8_t> short_flic_header() {
  std::vector<uint8_t> bytes(127, 0);
  bytes[4] = 0x12;
  bytes[5] = 0xAF;
  return bytes;
}

std::vector<uint8_t> pcx_header_with_bits(uint8_t bits) {
  std::vector<uint8_t> bytes = read_bytes(data_file("testcard-160x120-8bit.pcx"));
  bytes[3] = bits;
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, BadInputs,
    ::testing::Values(InputCase{"Missing", {}, false, "No such file"}, InputCase{"Empty", {}, true, "empty"},
                      InputCase{"Text",
                                {'h', 'e', 'l', 'l', 'o', '\n', 'w', 'o', 'r', 'l', 'd'},
                                true,
                                "not a FLIC or PCX file"},
                      InputCase{"FlicHeaderCutShort", short_flic_header(), true, "FLIC header is cut short"},
                      InputCase{"PcxWithThreeBitPixels", pcx_header_with_bits(3), true, "3 bits per pixel"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Cli, ADirectoryAsInputIsRefused) {
  Scratch scratch;
  ToolRun run = run_export({scratch.dir, "out.png"}, scratch);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(scratch.dir + ": is a directory"), std::string::npos) << run.err;
}

// A named pipe nobody writes to is refused like any file that is not a regular one,
// at once: the program must not sit in open waiting for a writer.
TEST(Cli, ANamedPipeAsInputIsRefusedAtOnce) {
  Scratch scratch;
  const std::string pipe = scratch.path("pipe.flc");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const char* command : {"", "--info ", "--check "}) {
    const int status = run_shell("cd '" + scratch.dir + "' && timeout 3 '" MOXFLIC_EXPORT_PROGRAM "' " +
                                 command + "pipe.flc " + (command[0] ? "" : "out.png ") + "2>.run-err");
    EXPECT_EQ(status, 1) << "\"" << command << "\" (124: still waiting after 3 s)";
  }
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"pipe.flc"});
}

TEST(Cli, HelpAndVersionGoToStdout) {
  Scratch scratch;
  ToolRun help = run_export({"--help"}, scratch);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: moxflic-export"), std::string::npos);
  ToolRun version = run_export({"--version"}, scratch);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("moxflic-export " MOXFLIC_VERSION "\nvector code: ", 0), 0u) << version.out;
}

// The vector code in use is on the second line of --version, with a note when
// MOXFLIC_SIMD asks for a level.
TEST(Cli, VersionNamesTheVectorCodeTheEnvironmentAsksFor) {
  Scratch scratch;
  const char* was = std::getenv("MOXFLIC_SIMD");
  const std::string saved = was != nullptr ? was : "";
  const struct {
    const char* asked;  // null: unset
    const char* expected;
  } cases[] = {{nullptr, "vector code: "},
               {"native", "vector code: "},
               {"portable", "vector code: portable (MOXFLIC_SIMD=portable; this processor has "},
               {"sse9", "(MOXFLIC_SIMD=sse9 is not a level: portable, avx2 or native)\n"}};
  for (const auto& c : cases) {
    if (c.asked == nullptr)
      unsetenv("MOXFLIC_SIMD");
    else
      setenv("MOXFLIC_SIMD", c.asked, 1);
    const ToolRun version = run_export({"--version"}, scratch);
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find(c.expected), std::string::npos) << version.out;
    if (c.asked == nullptr || std::string(c.asked) == "native") {
      EXPECT_EQ(version.out.find('('), std::string::npos) << version.out;
    }
  }
  if (was != nullptr)
    setenv("MOXFLIC_SIMD", saved.c_str(), 1);
  else
    unsetenv("MOXFLIC_SIMD");
}

struct NamingCase {
  const char* pattern;
  std::vector<std::string> expected;  // every file the export leaves
};

void PrintTo(const NamingCase& c, std::ostream* os) { *os << c.pattern; }

class OutputNames : public ::testing::TestWithParam<NamingCase> {};

TEST_P(OutputNames, FramesAreNumberedFromOneWithoutTheRingFrame) {
  Scratch scratch;
  ToolRun run = run_export({SUN, GetParam().pattern}, scratch);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(scratch.files(), GetParam().expected);
}

std::vector<std::string> numbered(const std::string& before, int width, const std::string& after) {
  std::vector<std::string> names;
  for (int n = 1; n <= 10; n++) {
    std::string digits = std::to_string(n);
    if (static_cast<int>(digits.size()) < width)
      digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    names.push_back(before + digits + after);
  }
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Cli, OutputNames,
                         ::testing::Values(NamingCase{"one.png", {"one.png"}},
                                           NamingCase{"upper.PNG", {"upper.PNG"}},
                                           NamingCase{"f%03d.png", numbered("f", 3, ".png")},
                                           NamingCase{"f%d.png", numbered("f", 0, ".png")},
                                           NamingCase{"%%%02d-x.png", numbered("%", 2, "-x.png")}),
                         [](const auto& param_info) { return case_name(param_info.param.pattern); });

TEST(Cli, AFailedWriteLeavesNoFileAndNoTemporary) {
  // A file size limit of 8 KiB makes every output of the 640 x 480 sample fail; the
  // thumbnail (written in place, at its full size) also when a thumbnail service made
  // the file beforehand.
  const struct {
    std::vector<std::string> options;
    const char* output;
    const char* named;
    bool made_before;
  } cases[] = {{{}, "dance.gif", "dance.gif", false},
               {{}, "d%03d.png", "d001.png", false},
               {{}, "d.png", "d.png", false},
               {{"--size", "640"}, "t.png", "t.png", false},
               {{"--size", "640"}, "t.png", "t.png", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    Scratch scratch;
    if (c.made_before) write_bytes(scratch.path(c.output), {});
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {data_file("dance-640x480.flc"), c.output});
    ToolRun run = run_export(args, scratch, 16);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(std::string("moxflic-export: ") + c.named + ": cannot write: File too large"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(scratch.files().empty());
  }
}

// A thumbnail service may make the output file itself, hold it open and read the
// picture back through its own descriptor once the thumbnailer has ended: the PNG is
// written into that file, not into a new one renamed over it.
TEST(Cli, AThumbnailIsWrittenIntoTheFileTheServiceHoldsOpen) {
  Scratch scratch;
  const std::string out = scratch.path("held.png");
  write_bytes(out, {});
  const int held = open(out.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ToolRun run = run_export({"--size", "64", "--", SUN, out}, scratch);
  std::vector<uint8_t> seen;
  uint8_t block[4096];
  for (ssize_t n; (n = read(held, block, sizeof block)) > 0;) seen.insert(seen.end(), block, block + n);
  close(held);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"held.png"});
  ASSERT_GT(seen.size(), 8u);
  EXPECT_TRUE(seen == read_bytes(out));
  PngImage thumb;
  ASSERT_TRUE(read_png(out, thumb));
  EXPECT_EQ(thumb.width, 64);
}

// An output name that is the input through any path or link is refused before
// anything is written, and the input stays as it was.
TEST(Cli, AnOutputThatIsTheInputIsRefused) {
  struct Case {
    const char* name;
    const char* link;  // made to point at the input
    bool hard;
    const char* output;
  };
  const Case cases[] = {
      {"a symbolic link as the output", "out.png", false, "out.png"},
      {"a hard link among the numbered frames", "f0003.png", true, "f%04d.png"},
      {"a GIF through a symbolic link", "film.gif", false, "film.gif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    const std::vector<uint8_t> original = read_bytes(SUN);
    write_bytes(scratch.path("in.flc"), original);
    const std::string target = scratch.path("in.flc"), link = scratch.path(c.link);
    ASSERT_EQ(c.hard ? ::link(target.c_str(), link.c_str()) : ::symlink(target.c_str(), link.c_str()), 0);
    ToolRun run = run_export({"in.flc", c.output}, scratch);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("is the input file"), std::string::npos) << run.err;
    EXPECT_TRUE(read_bytes(target) == original);
    EXPECT_EQ(scratch.files().size(), 2u);
  }
}

TEST(Cli, ControlCharactersInNamesAreShownEscaped) {
  Scratch scratch;
  ToolRun run = run_export({"a\x1b[2Jb.flc", "x.png"}, scratch);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("a\\x1B[2Jb.flc: "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
}

TEST(Cli, AnExistingOutputIsReplacedWhole) {
  Scratch scratch;
  write_bytes(scratch.path("one.png"), std::vector<uint8_t>(100000, 'x'));
  ASSERT_EQ(run_export({SUN, "one.png"}, scratch).status, 0);
  PngImage image;
  ASSERT_TRUE(read_png(scratch.path("one.png"), image));
  EXPECT_EQ(image.width, 146);
  EXPECT_EQ(image.height, 140);
}

// Without --palette a PCX picture is written in its own colours (the viewer shows no
// PCX file), an animation as the viewer shows it.
TEST(Cli, ByDefaultAPictureKeepsItsOwnColoursAndAnAnimationIsAsOnScreen) {
  const struct {
    const char* file;
    const char* same_as;
  } cases[] = {
      {"testcard-160x120-8bit.pcx", "--palette=file"},
      {"tiny-3x3-4plane.pcx", "--palette=file"},
      {"testcard-160x120-24bit.pcx", "--palette=file"},
      {"sun-146x140.flc", "--palette=screen"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Scratch scratch;
    ASSERT_EQ(run_export({data_file(c.file), "default.png"}, scratch).status, 0);
    ASSERT_EQ(run_export({c.same_as, data_file(c.file), "asked.png"}, scratch).status, 0);
    EXPECT_TRUE(read_bytes(scratch.path("default.png")) == read_bytes(scratch.path("asked.png")));
  }
}

struct FitCase {
  const char* file;
  const char* size;
  int width, height;  // of the thumbnail
};

// A thumbnail is scaled down to fit, its shape kept, never enlarged: a picture that
// already fits is the full export itself. (What its pixels hold is compared with
// ffmpeg's area scaler in oracle_test.cpp.)
TEST(Cli, SizeScalesTheFirstPictureDownToFitKeepingItsShape) {
  const FitCase cases[] = {{"walk-320x200.fli", "128", 128, 80},        {"text-321x74.flc", "64", 64, 15},
                           {"marbles-141x99-8bit.pcx", "100", 100, 70}, {"cycle-320x200.fli", "1", 1, 1},
                           {"sun-146x140.flc", "256", 146, 140},        {"sun-146x140.flc", "146", 146, 140}};
  for (const FitCase& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " at " + c.size);
    Scratch scratch;
    ASSERT_EQ(run_export({data_file(c.file), "full.png"}, scratch).status, 0);
    ToolRun run = run_export({"--size", c.size, data_file(c.file), "thumb.png"}, scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    PngImage thumb;
    ASSERT_TRUE(read_png(scratch.path("thumb.png"), thumb));
    EXPECT_EQ(thumb.width, c.width);
    EXPECT_EQ(thumb.height, c.height);
    if (std::atoi(c.size) >= 146) {
      EXPECT_TRUE(read_bytes(scratch.path("thumb.png")) == read_bytes(scratch.path("full.png")));
    }
  }
}

// Columns of opaque red between transparent black ones, halved: each pixel of the
// thumbnail is red at half opacity, not a dark red that takes colour from pixels that
// show none.
TEST(Cli, SizeAveragesColoursByTheirOpacity) {
  Scratch scratch;
  PcxWriterHeader h = pcx_writer_header(4, 2, 8, 4);
  std::vector<uint8_t> file, line(4 * h.bytes_per_line, 0);
  for (int x = 0; x < 4; x += 2) {
    line[static_cast<size_t>(x)] = 255;                         // red
    line[static_cast<size_t>(3 * h.bytes_per_line + x)] = 255;  // alpha
  }
  pcx_writer_put_header(file, h);
  for (int y = 0; y < 2; y++) pcx_writer_put_line(file, line);
  write_bytes(scratch.path("in.pcx"), file);
  ASSERT_EQ(run_export({"--size", "2", scratch.path("in.pcx"), "thumb.png"}, scratch).status, 0);
  PngImage thumb;
  ASSERT_TRUE(read_png(scratch.path("thumb.png"), thumb));
  ASSERT_EQ(thumb.width, 2);
  ASSERT_EQ(thumb.height, 1);
  EXPECT_EQ(thumb.rgb, (std::vector<uint8_t>{255, 0, 0, 255, 0, 0}));
  EXPECT_EQ(thumb.alpha, (std::vector<uint8_t>{128, 128}));
}

// A thumbnail request for any file, sound, damaged or hostile, ends well within the
// time a thumbnail service gives it, with exit 0 and a PNG that fits (or, for an
// animation without frames, nothing), or exit 1 and no file: never a partial one.
TEST(Cli, EveryThumbnailIsQuickAndWholeOrNone) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(MOXFLIC_TEST_DATA))
    inputs.emplace_back(entry.path().filename().string(), read_bytes(entry.path().string()));
  const std::vector<uint8_t> sun = read_bytes(SUN);
  std::vector<uint8_t> huge(sun.begin(), sun.begin() + 128);  // 65535 frames of 65535 x 65535
  for (size_t at : {6u, 8u, 10u}) huge[at] = huge[at + 1] = 0xFF;
  std::vector<uint8_t> garbage(sun.begin(), sun.begin() + 128);
  garbage.resize(20000, 0xFF);
  PcxWriterHeader pcx = pcx_writer_header(1000, 1000, 8, 1);
  std::vector<uint8_t> no_lines, too_large;
  pcx_writer_put_header(no_lines, pcx);
  pcx.max_x = pcx.max_y = 65535;
  pcx.bytes_per_line = 65534;
  pcx_writer_put_header(too_large, pcx);
  too_large.resize(too_large.size() + 100, 0xC1);
  inputs.insert(inputs.end(), {{"a header asking for 4 gigapixels", huge},
                               {"a FLIC cut in its first frame", {sun.begin(), sun.begin() + 1000}},
                               {"a FLIC header before bytes of 0xFF", garbage},
                               {"a PCX header without lines", no_lines},
                               {"a PCX of 65536 x 65536", too_large}});
  for (const auto& [name, bytes] : inputs) {
    SCOPED_TRACE(name);
    Scratch scratch;
    write_bytes(scratch.path("in"), bytes);
    const auto start = std::chrono::steady_clock::now();
    ToolRun run = run_export({"--size", "128", "--", "in", "t.png"}, scratch);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    ASSERT_TRUE(run.status == 0 || run.status == 1) << run.err;
    PngImage thumb;
    if (run.status == 1 || !file_exists(scratch.path("t.png"))) {
      EXPECT_EQ(scratch.files(), std::vector<std::string>{"in"});
    } else {
      ASSERT_TRUE(read_png(scratch.path("t.png"), thumb));
      EXPECT_LE(std::max(thumb.width, thumb.height), 128);
    }
  }
}

}  // namespace
