// The converter's command line: exit codes, error lines that name the file, output
// names, and that a failure leaves no file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/export/export_support.h"

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
  // A file size limit of 8 KiB makes every output of the 640 x 480 sample fail.
  for (auto [output, named] :
       {std::pair{"dance.gif", "dance.gif"}, {"d%03d.png", "d001.png"}, {"d.png", "d.png"}}) {
    Scratch scratch;
    ToolRun run = run_export({data_file("dance-640x480.flc"), output}, scratch, 16);
    EXPECT_EQ(run.status, 1) << output;
    EXPECT_NE(run.err.find(std::string("moxflic-export: ") + named + ": cannot write: File too large"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(scratch.files().empty()) << output;
  }
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

struct FitCase {
  const char* file;
  const char* size;
  int width, height;  // of the thumbnail
};

// A thumbnail is the full-size picture sampled at the centre of each of its pixels:
// scaled down to fit, its shape kept, never enlarged, in the colours the viewer shows.
TEST(Cli, SizeScalesTheFirstPictureDownToFitKeepingItsShape) {
  const FitCase cases[] = {{"walk-320x200.fli", "128", 128, 80},
                           {"text-321x74.flc", "64", 64, 15},
                           {"marbles-141x99-8bit.pcx", "100", 100, 70},
                           {"cycle-320x200.fli", "1", 1, 1},
                           {"sun-146x140.flc", "256", 146, 140}};
  for (const FitCase& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " at " + c.size);
    Scratch scratch;
    ASSERT_EQ(run_export({data_file(c.file), "full.png"}, scratch).status, 0);
    ToolRun run = run_export({"--size", c.size, data_file(c.file), "thumb.png"}, scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    PngImage full, thumb;
    ASSERT_TRUE(read_png(scratch.path("full.png"), full));
    ASSERT_TRUE(read_png(scratch.path("thumb.png"), thumb));
    ASSERT_EQ(thumb.width, c.width);
    ASSERT_EQ(thumb.height, c.height);
    int wrong = 0;
    for (int y = 0; y < thumb.height; y++) {
      for (int x = 0; x < thumb.width; x++) {
        size_t sx = static_cast<size_t>((2 * x + 1) * full.width / (2 * thumb.width));
        size_t sy = static_cast<size_t>((2 * y + 1) * full.height / (2 * thumb.height));
        wrong += std::memcmp(&thumb.rgb[static_cast<size_t>((y * thumb.width + x) * 3)],
                             &full.rgb[(sy * static_cast<size_t>(full.width) + sx) * 3], 3) != 0;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

}  // namespace
