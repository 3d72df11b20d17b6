// The viewer as a player: the window answering during Play, pause, the title.
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "platform/common/window_input.h"
#include "platform/headless/controls.h"
#include "platform/headless/window_controls.h"
#include "platform/input.h"
#include "resources/commands.h"
#include "tests/app/app_fixture.h"

namespace {

// What a test does after frame k of Play is shown (the key poll after each frame), and
// when Play waits with nothing queued (idle n).
std::function<void(int32_t)> after_frame;
std::function<void(int32_t)> when_idle;
void call_after_frame(int32_t poll) {
  if (after_frame) after_frame(poll);
}
void call_when_idle(int32_t idle) {
  if (when_idle) when_idle(idle);
}

class Player : public App {
 protected:
  void SetUp() override {
    App::SetUp();
    hl_set_key_poll_hook(call_after_frame);
    hlw_set_idle_hook(call_when_idle);
  }
  void TearDown() override {
    after_frame = nullptr;
    when_idle = nullptr;
    hlw_set_idle_hook(nullptr);
    App::TearDown();
  }
  // Plays, giving the user's input after frame `at`; returns the frames Play showed.
  // The message loop then runs what is left queued.
  size_t play_with(int32_t at, const std::function<void()>& input) {
    after_frame = [at, input](int32_t poll) {
      if (poll == at) input();
    };
    const size_t before = hl_blits().size();
    command(CMD_PLAY);
    const size_t shown = hl_blits().size() - before;
    after_frame = nullptr;
    app_run();
    return shown;
  }
};

const TestFlic six{64, 40, 6, 50, true};

TEST_F(Player, DuringPlayEveryOtherCommandEndsPlayAfterTheFrameOnShowAndThenRuns) {
  struct Case {
    const char* input;
    std::function<void()> give;
    std::function<bool()> then;  // what the user sees once the input has run
    bool fullscreen = false;     // Play runs in full screen
  };
  const Case cases[] = {
      {"Ctrl+Q", [] { hlw_press_key('Q', WIN_MOD_CTRL); }, [] { return !hlw_window_alive(); }},
      {"the close box", [] { hlw_request_close(); }, [] { return !hlw_window_alive(); }},
      {"Info from the menu", [] { win_post_message(app_state.window, WIN_MSG_COMMAND, CMD_INFO, 0); },
       [] { return hlw_message_boxes().size() == 1; }},
      {"Right (after Play: the first frame)", [] { hlw_press_key(PLAT_VK_RIGHT); },
       [this] { return shows_frame(six, 0) && app_state.frame_shown == 1; }},
      {"Left", [] { hlw_press_key(PLAT_VK_LEFT); },
       [this] { return shows_frame(six, 1) && app_state.frame_shown == 2; }},
      {"F11", [] { hlw_press_key(PLAT_VK_F11); }, [] { return win_is_fullscreen(app_state.window); }},
      {"a double click", [] { hlw_double_click(); }, [] { return win_is_fullscreen(app_state.window); }},
      {"Escape in full screen ends Play only", [] { hlw_press_key(PLAT_VK_ESCAPE); },
       [this] { return shows_frame(six, 2) && win_is_fullscreen(app_state.window); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    TearDown();
    SetUp();
    start(write_flic("six.flc", six));
    if (c.fullscreen) {
      win_set_fullscreen(app_state.window, true);
      app_run();  // the paint of the new size
    }
    EXPECT_EQ(play_with(3, c.give), 3u);
    EXPECT_FALSE(app_state.playing);
    EXPECT_TRUE(c.then());
  }
}

TEST_F(Player, KeysThatStandForNoCommandLeavePlayRunning) {
  start(write_flic("six.flc", six));
  EXPECT_EQ(play_with(2,
                      [] {
                        hlw_press_key('X');
                        hlw_press_key(PLAT_VK_SPACE, WIN_MOD_CTRL);
                      }),
            7u);
}

TEST_F(Player, SpacePausesPlayOnTheFrameOnShowAndGoesOnFromItWithTheClockStartedAgain) {
  start(write_flic("six.flc", six));
  struct Seen {
    bool frame_stayed = false;
    int64_t resumed_at = 0;
  } seen;
  bool paused = false;
  after_frame = [&](int32_t poll) {
    if (poll != 2) return;
    hlw_press_key(PLAT_VK_SPACE);
    paused = true;
  };
  when_idle = [&](int32_t) {
    if (!paused || seen.resumed_at != 0) return;
    seen.frame_stayed = shows_frame(six, 1);
    hl_set_clock_us(hl_clock_us() + 10000000);  // a long pause
    seen.resumed_at = hl_clock_us();
    hlw_press_key(PLAT_VK_SPACE);
  };
  const size_t before = hl_blits().size();
  command(CMD_PLAY);
  EXPECT_TRUE(seen.frame_stayed);
  ASSERT_NE(seen.resumed_at, 0);
  EXPECT_EQ(hl_blits().size() - before, 7u) << "every frame and the ring frame, once";
  // After the pause the frames come at the file's speed again, not all at once.
  EXPECT_EQ(hl_clock_us() - seen.resumed_at, 6 * 50000);
}

TEST_F(Player, TitleNamesTheFileAndTheFrameOnShowWhileAFlicIsShown) {
  write_pcx("moxflic.res", 64, 32);
  const std::string tail = " \u2014 MOX Flic-Fli File Viewer v0.4";
  std::vector<std::string> during_play;
  after_frame = [&](int32_t) { during_play.push_back(hlw_title()); };
  struct Step {
    const char* name;
    std::function<void()> run;
    std::string title;
  };
  const std::string file = write_flic("six.flc", six);
  const Step steps[] = {
      {"no file yet", [] {}, "MOX Flic-Fli File Viewer v0.4"},
      {"Open", [&] { open(file); }, "six.flc \u2014 1 / 6" + tail},
      {"Right", [&] { command(CMD_FRAME); }, "six.flc \u2014 2 / 6" + tail},
      {"End", [&] { command(CMD_LAST); }, "six.flc \u2014 6 / 6" + tail},
      {"Play (its ring frame shows frame 1 again)", [&] { command(CMD_PLAY); },
       "six.flc \u2014 1 / 6" + tail},
      {"the about picture", [&] { command(CMD_ABOUT); }, "MOX Flic-Fli File Viewer v0.4"},
  };
  start();
  for (const Step& step : steps) {
    step.run();
    EXPECT_EQ(hlw_title(), step.title) << step.name;
  }
  std::vector<std::string> want;
  for (int k : {1, 2, 3, 4, 5, 6, 1}) want.push_back("six.flc \u2014 " + std::to_string(k) + " / 6" + tail);
  EXPECT_EQ(during_play, want);
}

}  // namespace

namespace {

// Left, End and the wheel go back and forth at once; Right and Home wait the file's delay.
TEST_F(Player, StepsGoBackToTheFrameBeforeAndToTheLastFrameAtOnce) {
  struct Step {
    const char* key;
    std::function<void()> give;
    int frame;  // shown afterwards, from 1
    bool waits;
  };
  const auto key = [](int32_t vk) { return [vk] { hlw_press_key(vk); }; };
  const Step steps[] = {
      {"Left from the first frame: the last", key(PLAT_VK_LEFT), 6, false},
      {"Left", key(PLAT_VK_LEFT), 5, false},
      {"End", key(PLAT_VK_END), 6, false},
      {"Right from the last: the first, not the ring frame", key(PLAT_VK_RIGHT), 1, true},
      {"Right", key(PLAT_VK_RIGHT), 2, true},
      {"Left", key(PLAT_VK_LEFT), 1, false},
      {"End", key(PLAT_VK_END), 6, false},
      {"Home", key(PLAT_VK_HOME), 1, true},
      {"the wheel away from the user", [] { hlw_turn_wheel(1); }, 6, false},
      {"the wheel towards the user", [] { hlw_turn_wheel(-1); }, 1, true},
  };
  for (bool ring : {true, false}) {
    SCOPED_TRACE(ring ? "with a ring frame" : "without a ring frame");
    TearDown();
    SetUp();
    const TestFlic flic{64, 40, 6, 50, ring};
    start(write_flic("six.flc", flic));
    for (const Step& step : steps) {
      const int32_t waits = hl_waits();
      step.give();
      app_run();
      EXPECT_TRUE(shows_frame(flic, step.frame - 1)) << step.key;
      EXPECT_EQ(app_state.frame_shown, step.frame) << step.key;
      EXPECT_EQ(hl_waits() > waits, step.waits) << step.key;
    }
  }
}

}  // namespace

namespace {

// The bare name of the FLIC on show.
std::string on_show() {
  const std::string loaded = app_state.loaded_name;
  return loaded.substr(loaded.rfind('/') + 1);
}

TEST_F(Player, PageDownAndPageUpGoThroughTheFilesGivenOrTheFlicsInTheFolder) {
  struct Case {
    const char* given;
    std::vector<std::string> start;                     // files named on the command line
    bool drop;                                          // dropped on the window instead
    std::vector<std::pair<int32_t, std::string>> keys;  // Page Down or Up, and the FLIC on show then
  };
  const TestFlic flic{32, 16, 2, 10, false};
  const Case cases[] = {
      {"three files, one not a FLIC",
       {"c.FLC", "notes.txt", "a.fli"},
       false,
       {{PLAT_VK_NEXT, "c.FLC"}, {PLAT_VK_NEXT, "a.fli"}, {PLAT_VK_NEXT, "c.FLC"}, {PLAT_VK_PRIOR, "a.fli"}}},
      {"one file: its folder in name order, whatever the case",
       {"a.fli"},
       false,
       {{PLAT_VK_NEXT, "B.flc"}, {PLAT_VK_NEXT, "c.FLC"}, {PLAT_VK_NEXT, "a.fli"}, {PLAT_VK_PRIOR, "c.FLC"}}},
      {"two files dropped", {"B.flc", "a.fli"}, true, {{PLAT_VK_NEXT, "a.fli"}, {PLAT_VK_PRIOR, "B.flc"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    TearDown();
    SetUp();
    for (const char* name : {"a.fli", "B.flc", "c.FLC"}) write_flic(name, flic);
    write_text("notes.txt");
    ASSERT_EQ(mkdir(path("d.flc").c_str(), 0700), 0);  // a folder is no FLIC to go to
    std::vector<std::string> files;
    for (const std::string& name : c.start) files.push_back(path(name));
    if (c.drop) {
      start();
      win_post_message(app_state.window, WIN_MSG_DROP_FILES,
                       reinterpret_cast<uintptr_t>(window_drop_create(files)), 0);
      app_run();
    } else {
      start(files);
    }
    EXPECT_EQ(on_show(), c.start[0]);
    for (const auto& [key, shown] : c.keys) {
      hlw_press_key(key);
      app_run();
      EXPECT_EQ(on_show(), shown);
    }
  }
}

}  // namespace

namespace {

TEST_F(Player, FullScreenComesAndGoesWithF11FOrADoubleClickAndEscapeLeavesIt) {
  struct Step {
    const char* input;
    std::function<void()> give;
    bool full;
  };
  const auto key = [](int32_t vk) { return [vk] { hlw_press_key(vk); }; };
  const Step steps[] = {
      {"F11", key(PLAT_VK_F11), true},
      {"F11 again", key(PLAT_VK_F11), false},
      {"F", key('F'), true},
      {"Escape", key(PLAT_VK_ESCAPE), false},
      {"Escape, not in full screen", key(PLAT_VK_ESCAPE), false},
      {"a double click", [] { hlw_double_click(); }, true},
      {"a double click again", [] { hlw_double_click(); }, false},
  };
  const TestFlic flic{64, 40, 3, 10, false};
  start(write_flic("a.flc", flic));
  for (const Step& step : steps) {
    step.give();
    app_run();
    EXPECT_EQ(win_is_fullscreen(app_state.window), step.full) << step.input;
    EXPECT_EQ(hlw_menu_check(CMD_FULLSCREEN), step.full ? WIN_MF_CHECKED : WIN_MF_UNCHECKED) << step.input;
    EXPECT_EQ(hl_client_width(), step.full ? 1920 : 640) << step.input;
    EXPECT_TRUE(shows_frame(flic, 0)) << step.input;
  }
}

bool same_rect(const plat_rect& a, const plat_rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The picture (64 x 40) in a 640 x 480 client area: where it goes, the black around it,
// the item checked, and the choice kept for the next run.
TEST_F(Player, PictureSizeChoicesPlaceThePictureWithBlackAroundItAndAreRemembered) {
  struct Case {
    const char* choice;
    int32_t key;
    plat_rect picture;
    int32_t checked;  // 0: none of the size items
    const char* setting;
  };
  const Case cases[] = {
      {"Keep aspect", 'A', {0, 40, 640, 440}, CMD_ASPECT, "aspect"},
      {"1:1", '1', {288, 220, 352, 260}, CMD_ACTUAL, "1"},
      {"2:1", '2', {256, 200, 384, 280}, CMD_DOUBLE, "2"},
      {"3:1", '3', {224, 180, 416, 300}, CMD_TRIPLE, "3"},
      {"zoom out from 3:1", PLAT_VK_OEM_MINUS, {256, 200, 384, 280}, CMD_DOUBLE, "2"},
      {"zoom in from 2:1", PLAT_VK_OEM_PLUS, {224, 180, 416, 300}, CMD_TRIPLE, "3"},
      {"zoom in from 3:1", PLAT_VK_OEM_PLUS, {192, 160, 448, 320}, 0, "4"},
      {"Stretch", 'S', {0, 0, 640, 480}, CMD_STRETCH, "stretch"},
  };
  const int32_t items[] = {CMD_STRETCH, CMD_ASPECT, CMD_ACTUAL, CMD_DOUBLE, CMD_TRIPLE};
  const TestFlic flic{64, 40, 3, 10, false};
  const std::string file = write_flic("a.flc", flic);
  start(file);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choice);
    hlw_press_key(c.key);
    app_run();
    EXPECT_TRUE(same_rect(hl_blits().back().dest, c.picture));
    const Rgb black{0, 0, 0};
    EXPECT_EQ(shown(0, 0) == black, c.picture.top > 0);
    EXPECT_EQ(shown(639, 479) == black, c.picture.bottom < 480);
    for (int32_t id : items)
      EXPECT_EQ(hlw_menu_check(id), id == c.checked ? WIN_MF_CHECKED : WIN_MF_UNCHECKED);
    char setting[16] = "";
    win_get_setting(APP_SETTING_VIEW, setting, sizeof setting);
    EXPECT_STREQ(setting, c.setting);
    // A new run shows the picture the same way.
    quit();
    app_reset();
    start(file);
    EXPECT_TRUE(same_rect(hl_blits().back().dest, c.picture));
  }
}

TEST_F(Player, FitWindowGivesTheClientAreaTheLargestWholeSizeOfThePictureTheScreenHolds) {
  struct Case {
    int32_t room_width, room_height;
    int32_t width, height;
  };
  const Case cases[] = {{1000, 700, 960, 600}, {1000, 300, 448, 280}, {50, 30, 64, 40}};
  start(write_flic("a.flc", {64, 40, 3, 10, false}));
  for (const Case& c : cases) {
    hlw_set_screen(1920, 1080, c.room_width, c.room_height);
    hlw_press_key('W');
    app_run();
    EXPECT_EQ(hl_client_width(), std::min(c.width, c.room_width)) << c.room_width;
    EXPECT_EQ(hl_client_height(), std::min(c.height, c.room_height)) << c.room_height;
  }
}

}  // namespace

namespace {

TEST_F(Player, LoopedPlayRunsOnPastTheRingFrameUntilEscape) {
  for (bool ring : {true, false}) {
    SCOPED_TRACE(ring ? "with a ring frame" : "without a ring frame");
    TearDown();
    SetUp();
    const TestFlic flic{64, 40, 4, 10, ring};
    start(write_flic("four.flc", flic));
    hlw_press_key('L');
    app_run();
    EXPECT_EQ(hlw_menu_check(CMD_LOOP), WIN_MF_CHECKED);
    std::vector<int> frames;
    after_frame = [&](int32_t poll) {
      EXPECT_TRUE(shows_frame(flic, app_state.frame_shown - 1)) << "poll " << poll;
      frames.push_back(app_state.frame_shown);
      if (poll == 11) hlw_press_key(PLAT_VK_ESCAPE);
    };
    command(CMD_PLAY);
    // The ring frame shows frame 1 again; without one, frame 1 itself comes round.
    EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3}));
    hlw_press_key('L');
    app_run();
    EXPECT_EQ(hlw_menu_check(CMD_LOOP), WIN_MF_UNCHECKED);
  }
}

}  // namespace

namespace {

TEST_F(Player, RecentFilesAreTheLastEightShownMostRecentFirstAndKeptWithTheLastFolder) {
  ASSERT_EQ(mkdir(path("films").c_str(), 0700), 0);
  std::vector<std::string> files;
  for (int i = 0; i < 10; ++i)
    files.push_back(write_flic("films/f" + std::to_string(i) + ".flc", {32, 16, 2, 10, false}));
  start();
  for (const std::string& file : files) open(file);
  open(files[5]);                // again: to the top, not twice
  open(path("films/gone.flc"));  // not shown: not remembered
  const auto menu = [] {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < CMD_RECENT_COUNT; ++i)
      if (!hlw_menu_hidden(CMD_RECENT_FIRST + i)) texts.push_back(hlw_menu_text(CMD_RECENT_FIRST + i));
    return texts;
  };
  const std::vector<std::string> want = {"&1 f5.flc", "&2 f9.flc", "&3 f8.flc", "&4 f7.flc",
                                         "&5 f6.flc", "&6 f4.flc", "&7 f3.flc", "&8 f2.flc"};
  EXPECT_EQ(menu(), want);
  command(CMD_RECENT_FIRST + 2);
  EXPECT_EQ(std::string(app_state.loaded_name), files[8]);
  // A new run: the same list, and the open-file dialog starts in the last file's folder.
  quit();
  app_reset();
  start();
  EXPECT_EQ(menu()[0], "&1 f8.flc");
  EXPECT_EQ(menu().size(), 8u);
  hlw_cancel_dialog();
  command(CMD_OPEN);
  EXPECT_EQ(hlw_dialogs().back().initial_dir, path("films"));
}

}  // namespace
