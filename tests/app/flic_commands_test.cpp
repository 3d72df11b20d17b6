// Open, Frame, Reset, Play and Info on the headless window system.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "gfx/gfx.h"
#include "platform/headless/controls.h"
#include "platform/headless/window_controls.h"
#include "platform/input.h"
#include "resources/commands.h"
#include "tests/app/app_fixture.h"

namespace {

const TestFlic four{64, 40, 4, 20, false};

TEST_F(App, OpenShowsTheFirstFrameStretchedOverTheClientArea) {
  std::string file = write_flic("four.flc", four);
  start();
  open(file);
  EXPECT_TRUE(shows_frame(four, 0));
  ASSERT_EQ(hlw_dialogs().size(), 1u);
  EXPECT_EQ(hlw_dialogs()[0].description, "flic files (*.FLI,*.FLC)");
  EXPECT_EQ(hlw_dialogs()[0].patterns, "*.FLI;*.FLC");
  EXPECT_EQ(hlw_dialogs()[0].default_ext, "FLI;*.FLC");
  EXPECT_GE(hlw_dialogs()[0].file_size, static_cast<size_t>(PATH_MAX));
  EXPECT_GE(hlw_dialogs()[0].file_title_size, static_cast<size_t>(NAME_MAX + 1));
}

TEST_F(App, CancelledDialogChangesNothing) {
  std::string file = write_flic("four.flc", four);
  start(file);
  std::vector<uint8_t> before = client();
  hlw_cancel_dialog();
  command(CMD_OPEN);
  EXPECT_EQ(client(), before);
  EXPECT_TRUE(hlw_message_boxes().empty());
  command(CMD_INFO);
  ASSERT_EQ(hlw_message_boxes().size(), 1u);
  EXPECT_EQ(hlw_message_boxes()[0].text, "four.flc\n64x40 pixels\n4 frames");
}

TEST_F(App, FrameStepsThroughEveryFrameAndWrapsFromTheLastToTheFirst) {
  std::string file = write_flic("four.flc", four);
  start();
  open(file);
  for (int step = 1; step <= 2 * four.frames; ++step) {
    command(CMD_FRAME);
    EXPECT_TRUE(shows_frame(four, step % four.frames)) << "after " << step << " steps";
  }
}

TEST_F(App, FrameWaitsTheFileDelayBeforeTheNewFrameIsShown) {
  std::string file = write_flic("four.flc", {64, 40, 4, 200, false});
  start();
  open(file);
  int64_t before = hl_clock_us();
  command(CMD_FRAME);
  EXPECT_GE(hl_clock_us() - before, 150000);
}

TEST_F(App, ResetShowsTheFirstFrameWhateverFrameIsShown) {
  std::string file = write_flic("four.flc", four);
  start();
  open(file);
  for (int steps = 0; steps < four.frames; ++steps) {
    for (int i = 0; i < steps; ++i) command(CMD_FRAME);
    command(CMD_RESET);
    EXPECT_TRUE(shows_frame(four, 0)) << "reset after " << steps << " steps";
  }
}

TEST_F(App, PlayShowsEveryFrameAtTheFileSpeedAndFrameThenStartsAtTheFirst) {
  TestFlic ringed{64, 40, 5, 100, true};
  std::string file = write_flic("ring.flc", ringed);
  start();
  open(file);
  size_t blits = hl_blits().size();
  int64_t before = hl_clock_us();
  command(CMD_PLAY);
  // Every frame and the ring frame reach the window, each after its delay.
  EXPECT_EQ(hl_blits().size() - blits, static_cast<size_t>(ringed.frames + 1));
  EXPECT_GE(hl_clock_us() - before, (ringed.frames) * 100000);
  command(CMD_FRAME);
  EXPECT_TRUE(shows_frame(ringed, 0));
  command(CMD_FRAME);
  EXPECT_TRUE(shows_frame(ringed, 1));
}

int escape_at_poll = 0;
void press_escape(int32_t poll) {
  hl_set_key_state(PLAT_VK_ESCAPE, poll >= escape_at_poll ? PLAT_KEY_DOWN : 0);
}

TEST_F(App, EscapeEndsPlayAfterTheFrameBeingShown) {
  TestFlic longer{64, 40, 8, 50, true};
  std::string file = write_flic("long.flc", longer);
  start();
  open(file);
  escape_at_poll = 3;
  hl_set_key_poll_hook(press_escape);
  size_t blits = hl_blits().size();
  command(CMD_PLAY);
  hl_set_key_poll_hook(nullptr);
  hl_set_key_state(PLAT_VK_ESCAPE, 0);
  EXPECT_EQ(hl_blits().size() - blits, 3u);
  EXPECT_TRUE(shows_frame(longer, 2));
  // The viewer goes on: the next step starts from the first frame.
  command(CMD_FRAME);
  EXPECT_TRUE(shows_frame(longer, 0));
}

TEST_F(App, FileThatIsNotAFlicGivesAMessageAndChangesNothing) {
  std::string flic = write_flic("four.flc", four);
  std::string text = write_text("notes.txt");
  start();
  open(flic);
  command(CMD_FRAME);
  std::vector<uint8_t> before = client();
  int32_t width = gfx_state().active_width;
  open(text);
  ASSERT_EQ(hlw_message_boxes().size(), 1u);
  EXPECT_EQ(hlw_message_boxes()[0].text, "notes.txt is not an FLI or FLC file.");
  EXPECT_EQ(hlw_message_boxes()[0].caption, "flic");
  EXPECT_EQ(hlw_message_boxes()[0].owner, hl_window());
  EXPECT_EQ(client(), before);
  EXPECT_EQ(gfx_state().active_width, width);
  EXPECT_EQ(hlw_menu_state(CMD_PLAY), WIN_MF_ENABLED);
  // The file in use is still the FLIC: the next frame follows the one shown, and Info names it.
  command(CMD_FRAME);
  EXPECT_TRUE(shows_frame(four, 2));
  command(CMD_INFO);
  EXPECT_EQ(hlw_message_boxes().back().text, "four.flc\n64x40 pixels\n4 frames");
}

// Only a file that is read and found not to be a FLIC is called one that is not.
TEST_F(App, MessageSaysWhyAFileCannotBeShown) {
  struct Case {
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {"gone.flc", "gone.flc does not exist."},
      {"notes.txt/a.flc", "a.flc does not exist."},
      {"films", "films is a folder, not a file."},
      {"loop.flc", "loop.flc cannot be read: too many levels of symbolic links."},
      {"empty.flc", "empty.flc is not an FLI or FLC file."},
      {"notes.txt", "notes.txt is not an FLI or FLC file."},
  };
  write_text("notes.txt");
  ASSERT_EQ(mkdir(path("films").c_str(), 0700), 0);
  ASSERT_EQ(symlink("loop.flc", path("loop.flc").c_str()), 0);
  std::ofstream(path("empty.flc")).close();
  start();
  for (const Case& c : cases) {
    const size_t before = hlw_message_boxes().size();
    open(path(c.name));
    ASSERT_EQ(hlw_message_boxes().size(), before + 1) << c.name;
    EXPECT_EQ(hlw_message_boxes().back().text, c.text);
    EXPECT_EQ(hlw_menu_state(CMD_PLAY), WIN_MF_GRAYED) << c.name;
  }
}

TEST_F(App, FlicWithNoPictureIsRefusedAndTheOldPictureStays) {
  std::string flic = write_flic("four.flc", four);
  std::string empty = write_flic("empty.flc", {0, 0, 0, 10, false});
  start();
  open(flic);
  std::vector<uint8_t> before = client();
  open(empty);
  ASSERT_EQ(hlw_message_boxes().size(), 1u);
  EXPECT_EQ(hlw_message_boxes()[0].text, "empty.flc cannot be shown: its picture is 0x0 pixels.");
  EXPECT_EQ(client(), before);
  EXPECT_EQ(gfx_state().active_width, 64);
  command(CMD_FRAME);
  EXPECT_TRUE(shows_frame(four, 1));
}

TEST_F(App, InfoNamesTheFileItsSizeAndFrameCount) {
  struct Case {
    bool from_command_line;
    const char* name;
    TestFlic flic;
    const char* text;
    int header_claims = 0;  // frames the header gives beyond those the file holds
  };
  const Case cases[] = {
      {false, "four.flc", four, "four.flc\n64x40 pixels\n4 frames"},
      {true, "cli.flc", {48, 16, 7, 10, false}, "cli.flc\n48x16 pixels\n7 frames"},
      {false, "cut.flc", {48, 16, 7, 10, false}, "cut.flc\n48x16 pixels\n7 frames", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    std::string file = write_flic(c.name, c.flic);
    if (c.header_claims > 0) {
      std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
      const char count[2] = {static_cast<char>(c.flic.frames + c.header_claims), 0};
      f.seekp(FLIC_FRAMES_OFFSET);
      f.write(count, 2);
    }
    if (c.from_command_line) {
      start(file);
    } else {
      start();
      open(file);
    }
    command(CMD_INFO);
    ASSERT_EQ(hlw_message_boxes().size(), 1u);
    EXPECT_EQ(hlw_message_boxes()[0].text, c.text);
    EXPECT_EQ(hlw_message_boxes()[0].caption, "FLI/FLC");
    EXPECT_EQ(hlw_message_boxes()[0].type & WIN_MB_ICONINFORMATION, WIN_MB_ICONINFORMATION);
  }
}

TEST_F(App, SecondFileReplacesPictureBufferContextAndFrameCount) {
  std::string first = write_flic("first.flc", four);
  TestFlic other{96, 24, 2, 10, false};
  std::string second = write_flic("second.flc", other);
  start();
  open(first);
  command(CMD_FRAME);
  open(second);
  EXPECT_EQ(gfx_state().active_width, 96);
  EXPECT_EQ(gfx_state().active_height, 24);
  EXPECT_TRUE(shows_frame(other, 0));
  command(CMD_FRAME);
  EXPECT_TRUE(shows_frame(other, 1));
  command(CMD_FRAME);
  EXPECT_TRUE(shows_frame(other, 0));
  command(CMD_INFO);
  EXPECT_EQ(hlw_message_boxes().back().text, "second.flc\n96x24 pixels\n2 frames");
}

// A picture whose width is not a multiple of 4 lies in a wider buffer: every command and
// every paint shows the picture alone, so the window's last column is the picture's.
TEST_F(App, NarrowPictureIsShownAtItsOwnWidthByEveryCommandAndEveryPaint) {
  TestFlic narrow{62, 40, 2, 10, true};
  write_pcx("moxflic.res", 62, 32);
  const auto paint = [] {
    win_invalidate(app_state.window, true);
    win_update(app_state.window);
  };
  struct Step {
    const char* name;
    std::function<void()> run;
    int width, height;
    Rgb corner;  // the colour of the window's bottom-right pixel
  };
  const std::string file = write_flic("narrow.flc", narrow);
  start();
  const Step steps[] = {
      {"Open", [&] { open(file); }, 62, 40, test_background()},
      {"paint", paint, 62, 40, test_background()},
      {"Frame", [&] { command(CMD_FRAME); }, 62, 40, test_background()},
      {"Play", [&] { command(CMD_PLAY); }, 62, 40, test_background()},
      {"paint after Play", paint, 62, 40, test_background()},
      {"Reset", [&] { command(CMD_RESET); }, 62, 40, test_background()},
      {"about picture", [&] { command(CMD_ABOUT); }, 62, 32, test_quadrant_colour(3)},
      {"paint after the about picture", paint, 62, 32, test_quadrant_colour(3)},
  };
  for (const Step& step : steps) {
    const size_t before = hl_blits().size();
    step.run();
    ASSERT_GT(hl_blits().size(), before) << step.name;
    for (size_t i = before; i < hl_blits().size(); ++i) {
      EXPECT_EQ(hl_blits()[i].src.right, step.width) << step.name;
      EXPECT_EQ(hl_blits()[i].src.bottom, step.height) << step.name;
    }
    EXPECT_EQ(gfx_state().active_width, 64) << step.name;
    EXPECT_TRUE(shown(hl_client_width() - 1, hl_client_height() - 1) == step.corner) << step.name;
  }
}

TEST_F(App, FlicCommandsDoNothingBeforeAFlicIsLoaded) {
  start();
  std::vector<uint8_t> before = client();
  for (int32_t id : {CMD_PLAY, CMD_FRAME, CMD_RESET, CMD_INFO}) command(id);
  EXPECT_EQ(client(), before);
  EXPECT_TRUE(hlw_message_boxes().empty());
}

}  // namespace
