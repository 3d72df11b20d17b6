// --palette=screen: frames as the viewer shows them, through the logical palette after
// the colour reduction, next to the lossless --palette=file export.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/export/export_support.h"
#include "tests/export/made_files.h"

namespace {

constexpr int FIRST_FILE_ENTRY = 10;
constexpr int LAST_FILE_ENTRY = 245;

// Exports a file both ways as numbered PNGs and reads the frames back.
void export_both(const Scratch& scratch, const std::string& input, std::vector<PngImage>& screen,
                 std::vector<PngImage>& file) {
  ASSERT_EQ(run_export({"--palette=screen", input, "s%03d.png"}, scratch).status, 0);
  ASSERT_EQ(run_export({"--palette=file", input, "f%03d.png"}, scratch).status, 0);
  for (int n = 1;; n++) {
    char s[16], f[16];
    std::snprintf(s, sizeof s, "s%03d.png", n);
    std::snprintf(f, sizeof f, "f%03d.png", n);
    if (!file_exists(scratch.path(s))) break;
    screen.emplace_back();
    file.emplace_back();
    ASSERT_TRUE(read_png(scratch.path(s), screen.back()));
    ASSERT_TRUE(read_png(scratch.path(f), file.back()));
  }
  ASSERT_FALSE(screen.empty());
}

struct FewColoursCase {
  const char* name;
  uint16_t magic;
  int colours;
};

void PrintTo(const FewColoursCase& c, std::ostream* os) { *os << c.name; }

class FewColours : public ::testing::TestWithParam<FewColoursCase> {};

// A file with at most 236 different colours loses none in the reduction: the screen
// shows every pixel in the file's own colour, and only at entries 10 to 245.
TEST_P(FewColours, TheScreenShowsTheFilesOwnColours) {
  Scratch scratch;
  FlicWriter w = made_animation(GetParam().magic, 40, 30, 4, 70, GetParam().colours);
  ASSERT_TRUE(fw_save(w, scratch.path("few.flc")));
  std::vector<PngImage> screen, file;
  export_both(scratch, scratch.path("few.flc"), screen, file);
  ASSERT_EQ(screen.size(), 4u);
  for (size_t n = 0; n < screen.size(); n++) {
    SCOPED_TRACE("frame " + std::to_string(n + 1));
    EXPECT_TRUE(screen[n].rgb == file[n].rgb);
    for (uint8_t index : screen[n].indices) {
      ASSERT_GE(index, FIRST_FILE_ENTRY);
      ASSERT_LE(index, LAST_FILE_ENTRY);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Screen, FewColours,
                         ::testing::Values(FewColoursCase{"Flc236", FLIC_MAGIC_FLC, 236},
                                           FewColoursCase{"Flc12", FLIC_MAGIC_FLC, 12},
                                           FewColoursCase{"Fli200", FLIC_MAGIC_FLI, 200}),
                         [](const auto& p) { return std::string(p.param.name); });

class FullPalette : public ::testing::TestWithParam<const char*> {};

// With more than 236 different colours, the reduction merges some: every pixel still
// shows one of the file's colours, and never a reserved entry.
TEST_P(FullPalette, TheScreenShowsOnlyTheFilesColours) {
  Scratch scratch;
  std::vector<PngImage> screen, file;
  export_both(scratch, data_file(GetParam()), screen, file);
  auto rgb = [](const uint8_t* c) { return static_cast<uint32_t>(c[0] << 16 | c[1] << 8 | c[2]); };
  for (size_t n = 0; n < screen.size(); n++) {
    SCOPED_TRACE("frame " + std::to_string(n + 1));
    std::set<uint32_t> file_colours;
    for (size_t k = 0; k < file[n].palette.size(); k += 3) file_colours.insert(rgb(&file[n].palette[k]));
    // Every pixel's colour is one of the screen palette's, so checking the entries used suffices.
    std::set<uint8_t> used(screen[n].indices.begin(), screen[n].indices.end());
    size_t foreign = 0, reserved = 0;
    for (uint8_t index : used) {
      foreign += !file_colours.count(rgb(&screen[n].palette[index * 3]));
      reserved += index < FIRST_FILE_ENTRY || index > LAST_FILE_ENTRY;
    }
    EXPECT_EQ(foreign, 0u);
    EXPECT_EQ(reserved, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Screen, FullPalette,
                         ::testing::Values("walk-320x200.fli", "cycle-320x200.fli",
                                           "marbles-141x99-8bit.pcx"),
                         [](const auto& p) {
                           std::string name = p.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

struct PictureCase {
  const char* file;
  int first_entry;  // the entries the screen uses for the picture
  int last_entry;
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.file; }

class Pictures : public ::testing::TestWithParam<PictureCase> {};

// A picture with at most 236 colours (or a 16-colour one) keeps its colours on screen.
TEST_P(Pictures, TheScreenShowsThePicturesOwnColours) {
  Scratch scratch;
  std::vector<PngImage> screen, file;
  export_both(scratch, data_file(GetParam().file), screen, file);
  ASSERT_EQ(screen.size(), 1u);
  std::set<uint8_t> used(file[0].indices.begin(), file[0].indices.end());
  ASSERT_LE(used.size(), 236u);
  EXPECT_TRUE(screen[0].rgb == file[0].rgb);
  for (uint8_t index : screen[0].indices) {
    ASSERT_GE(index, GetParam().first_entry);
    ASSERT_LE(index, GetParam().last_entry);
  }
}

INSTANTIATE_TEST_SUITE_P(Screen, Pictures,
                         ::testing::Values(PictureCase{"testcard-160x120-8bit.pcx", 10, 245},
                                           PictureCase{"tiny-3x3-4plane.pcx", 10, 25}),
                         [](const auto& p) {
                           std::string name = p.param.file;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
