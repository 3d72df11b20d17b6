// What the user does besides the menu: keys, closing the window during Play, the
// command-line options, and the folder the open-file dialog starts in.
#include "platform/input.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "platform/headless/controls.h"
#include "platform/headless/window_controls.h"
#include "resources/commands.h"
#include "resources/resources.h"
#include "tests/app/app_fixture.h"

namespace {

// The commands the window procedure received from message `from` on.
std::vector<uintptr_t> commands_since(size_t from) {
  std::vector<uintptr_t> out;
  const std::vector<HlwMessage>& all = hlw_messages();
  for (size_t i = from; i < all.size(); ++i) {
    if (all[i].message == WIN_MSG_COMMAND) out.push_back(all[i].wparam);
  }
  return out;
}

TEST_F(App, KeysStandForTheirMenuItemsAndNoOtherKeyDoesAnything) {
  struct Case {
    const char* key;  // as the menu shows it
    uint32_t modifiers;
    int32_t virtual_key;
    int32_t command;  // 0: none
  };
  const Case cases[] = {
      {"Ctrl+O", WIN_MOD_CTRL, 'O', CMD_OPEN},
      {"Space", 0, PLAT_VK_SPACE, CMD_PLAY},
      {"Right", 0, PLAT_VK_RIGHT, CMD_FRAME},
      {"Home", 0, PLAT_VK_HOME, CMD_RESET},
      {"I", 0, 'I', CMD_INFO},
      {"F1", 0, PLAT_VK_F1, CMD_ABOUT},
      {"Left", 0, PLAT_VK_LEFT, CMD_BACK},
      {"End", 0, PLAT_VK_END, CMD_LAST},
      {"L", 0, 'L', CMD_LOOP},
      {"PgDown", 0, PLAT_VK_NEXT, CMD_NEXT_FILE},
      {"PgUp", 0, PLAT_VK_PRIOR, CMD_PREVIOUS_FILE},
      {"Ctrl+C", WIN_MOD_CTRL, 'C', CMD_COPY},
      {"Ctrl+S", WIN_MOD_CTRL, 'S', CMD_SAVE},
      {"F11", 0, PLAT_VK_F11, CMD_FULLSCREEN},
      {"F", 0, 'F', CMD_FULLSCREEN},
      {"S", 0, 'S', CMD_STRETCH},
      {"A", 0, 'A', CMD_ASPECT},
      {"1", 0, '1', CMD_ACTUAL},
      {"2", 0, '2', CMD_DOUBLE},
      {"3", 0, '3', CMD_TRIPLE},
      {"+", 0, PLAT_VK_OEM_PLUS, CMD_ZOOM_IN},
      {"Shift++", WIN_MOD_SHIFT, PLAT_VK_OEM_PLUS, CMD_ZOOM_IN},
      {"-", 0, PLAT_VK_OEM_MINUS, CMD_ZOOM_OUT},
      {"W", 0, 'W', CMD_FIT_WINDOW},
      {"O", 0, 'O', 0},
      {"Shift+I", WIN_MOD_SHIFT, 'I', 0},
      {"Ctrl+Space", WIN_MOD_CTRL, PLAT_VK_SPACE, 0},
      {"Esc", 0, PLAT_VK_ESCAPE, 0},
      {"Ctrl+Alt+Q", WIN_MOD_CTRL | WIN_MOD_ALT, 'Q', 0},
      {"Ctrl+Q", WIN_MOD_CTRL, 'Q', CMD_QUIT},
  };
  start(write_flic("a.flc", {64, 40, 3, 10, false}));
  for (const Case& c : cases) {
    char name[32];
    win_key_name(c.modifiers, c.virtual_key, name, sizeof name);
    EXPECT_STREQ(name, c.key);
    const size_t seen = hlw_messages().size();
    hlw_press_key(c.virtual_key, c.modifiers);
    EXPECT_EQ(app_run(), c.command == CMD_QUIT ? 0 : -1) << c.key;
    std::vector<uintptr_t> got = commands_since(seen);
    EXPECT_EQ(got, c.command != 0 ? std::vector<uintptr_t>{static_cast<uintptr_t>(c.command)}
                                  : std::vector<uintptr_t>{})
        << c.key;
  }
  EXPECT_FALSE(hlw_window_alive());
  // Every accelerator is one of the cases above.
  const win_accel_table* table = res_find_accelerators(RES_ACCEL_NAME);
  ASSERT_NE(table, nullptr);
  for (int32_t i = 0; i < table->count; ++i) {
    const win_accel& a = table->items[i];
    bool listed = false;
    for (const Case& c : cases)
      listed =
          listed || (c.modifiers == a.modifiers && c.virtual_key == a.virtual_key && c.command == a.command);
    EXPECT_TRUE(listed) << "key " << a.virtual_key << " of command " << a.command;
  }
}

TEST_F(App, CloseRequestDuringPlayEndsPlayAfterTheFrameShownThenClosesTheWindow) {
  const TestFlic flic{64, 40, 6, 10, true};
  start(write_flic("a.flc", flic));
  const size_t blits = hl_blits().size();
  hl_set_key_poll_hook([](int32_t poll) {
    if (poll == 2) hlw_request_close();
  });
  win_post_message(app_state.window, WIN_MSG_COMMAND, CMD_PLAY, 0);
  EXPECT_EQ(app_run(), 0);
  EXPECT_EQ(hl_blits().size() - blits, 2u) << "Play ends after the frame being shown";
  EXPECT_FALSE(hlw_window_alive());
  EXPECT_EQ(hl_live_objects(), 0);
  // The close came after Play, through the close message and the window's destruction.
  std::vector<uint32_t> after_play;
  bool played = false;
  for (const HlwMessage& m : hlw_messages()) {
    if (m.message == WIN_MSG_COMMAND && m.wparam == CMD_PLAY)
      played = true;
    else if (played)
      after_play.push_back(m.message);
  }
  EXPECT_EQ(after_play, (std::vector<uint32_t>{WIN_MSG_CLOSE, WIN_MSG_DESTROY}));
}

TEST_F(App, HelpAndVersionAreAnsweredAndEveryOtherCommandLineNamesAFile) {
  struct Case {
    std::vector<const char*> args;
    int32_t answer;
    const char* starts;
  };
  const Case cases[] = {
      {{"moxflic", "--help"}, 1, "Usage: moxflic [FILE]...\n"},
      {{"moxflic", "--version"}, 1, "moxflic 0."},
      {{"moxflic"}, 0, ""},
      {{"moxflic", "--help", "film.flc"}, 0, ""},
      {{"moxflic", "--helpful.flc"}, 0, ""},
      {{"moxflic", "-h"}, 0, ""},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv;
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(app_option(static_cast<int>(argv.size()), argv.data(), out), c.answer) << c.args.back();
    std::fclose(out);
    std::string printed(text, size);
    std::free(text);
    EXPECT_EQ(printed.rfind(c.starts, 0), 0u) << printed;
    if (c.answer == 0) {
      EXPECT_TRUE(printed.empty());
    }
    if (std::strcmp(c.args.back(), "--help") != 0) continue;
    // Every key is named at the start of its command's line (the Shift form of a key
    // bound without it too is not).
    const win_accel_table* keys = res_find_accelerators(RES_ACCEL_NAME);
    for (int32_t i = 0; i < keys->count; ++i) {
      if (keys->items[i].modifiers == WIN_MOD_SHIFT) continue;
      char name[32];
      win_key_name(keys->items[i].modifiers, keys->items[i].virtual_key, name, sizeof name);
      const bool alone = printed.find("\n  " + std::string(name) + " ") != std::string::npos;
      const bool first = printed.find("\n  " + std::string(name) + ", ") != std::string::npos;
      const bool later = printed.find(", " + std::string(name) + " ") != std::string::npos;
      EXPECT_TRUE(alone || first || later) << name;
    }
  }
}

TEST_F(App, OpenDialogStartsInTheFolderOfTheFileShownLast) {
  ASSERT_EQ(mkdir(path("films").c_str(), 0700), 0);
  std::string file = write_flic("films/a.flc", {64, 40, 2, 10, false});
  start();
  hlw_cancel_dialog();
  command(CMD_OPEN);
  open(file);
  open(write_text("films/notes.txt"));  // not a FLIC: the folder stays that of a.flc
  hlw_cancel_dialog();
  command(CMD_OPEN);
  ASSERT_EQ(hlw_dialogs().size(), 4u);
  EXPECT_EQ(hlw_dialogs()[0].initial_dir, "") << "the current folder";
  EXPECT_EQ(hlw_dialogs()[1].initial_dir, "");
  EXPECT_EQ(hlw_dialogs()[2].initial_dir, path("films"));
  EXPECT_EQ(hlw_dialogs()[3].initial_dir, path("films"));
}

}  // namespace
