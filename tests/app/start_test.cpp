// Start, menu, command line and quitting.
#include <cstring>
#include <string>

#include "gfx/gfx.h"
#include "platform/headless/controls.h"
#include "platform/headless/window_controls.h"
#include "resources/commands.h"
#include "tests/app/app_fixture.h"

namespace {

struct ItemState {
  int32_t id;
  const char* text;
  int32_t before_any_file;
  int32_t after_flic;
  int32_t after_about;
};

constexpr int32_t ON = WIN_MF_ENABLED;
constexpr int32_t GREY = WIN_MF_GRAYED;

constexpr ItemState menu_table[] = {
    {CMD_OPEN, "&Open", ON, ON, ON},
    {CMD_PLAY, "&Play", GREY, ON, GREY},
    {CMD_FRAME, "&Frame", GREY, ON, GREY},
    {CMD_RESET, "&Reset", GREY, ON, GREY},
    {CMD_INFO, "&Info", GREY, ON, GREY},
    {CMD_ABOUT, "&ABOUT", ON, ON, ON},
    {CMD_ABOUT_TITLE, "Mox-FLIFLIC Player v0.4", ON, ON, ON},
    {CMD_QUIT, "&Quit", ON, ON, ON},
};

TEST_F(App, MenuItemsAreEnabledAndGreyedAsTheViewerGoesFromNoFileToAFlicToTheAboutPicture) {
  write_pcx("moxflic.res", 64, 32);
  std::string flic = write_flic("a.flc", {64, 40, 3, 10, false});
  start();
  for (const ItemState& item : menu_table) {
    EXPECT_STREQ(hlw_menu_text(item.id), item.text);
    EXPECT_EQ(hlw_menu_state(item.id), item.before_any_file) << item.text << " before any file";
  }
  open(flic);
  for (const ItemState& item : menu_table) {
    EXPECT_EQ(hlw_menu_state(item.id), item.after_flic) << item.text << " after a FLIC";
  }
  command(CMD_ABOUT);
  for (const ItemState& item : menu_table) {
    EXPECT_EQ(hlw_menu_state(item.id), item.after_about) << item.text << " after the about picture";
  }
  open(flic);
  for (const ItemState& item : menu_table) {
    EXPECT_EQ(hlw_menu_state(item.id), item.after_flic) << item.text << " after a FLIC again";
  }
}

// An item's enabled, checked and hidden states are set apart: each call answers the
// previous value of its own state only and leaves the others as they were.
TEST_F(App, MenuItemStatesAreSetApart) {
  start();
  plat_menu menu = win_get_menu(app_state.window);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(win_check_menu_item(menu, CMD_LOOP, WIN_MF_CHECKED), WIN_MF_UNCHECKED);
  EXPECT_EQ(win_enable_menu_item(menu, CMD_LOOP, WIN_MF_GRAYED), WIN_MF_ENABLED);
  EXPECT_EQ(hlw_menu_check(CMD_LOOP), WIN_MF_CHECKED);
  EXPECT_EQ(win_enable_menu_item(menu, CMD_LOOP, WIN_MF_ENABLED), WIN_MF_GRAYED);
  EXPECT_EQ(win_check_menu_item(menu, CMD_LOOP, WIN_MF_UNCHECKED), WIN_MF_CHECKED);
  EXPECT_EQ(hlw_menu_state(CMD_LOOP), WIN_MF_ENABLED);
  EXPECT_EQ(win_enable_menu_item(menu, CMD_RECENT_FIRST, WIN_MF_ENABLED), WIN_MF_ENABLED);
  EXPECT_TRUE(hlw_menu_hidden(CMD_RECENT_FIRST));
  EXPECT_EQ(win_enable_menu_item(menu, -1, WIN_MF_ENABLED), -1);
}

// The items the viewer always had keep their texts and places; the new ones follow them.
TEST_F(App, MenuHasTheFlicDropDownThenQuitAndTheProgramNameThenTheViewDropDown) {
  start();
  std::vector<std::string> top;
  std::vector<int32_t> first_items;
  int depth = 0;
  for (const win_menu_item& row : hlw_menu_rows()) {
    if (row.kind == WinMenuKind::popup_begin && depth++ == 0) top.push_back(row.text);
    if (row.kind == WinMenuKind::popup_end) --depth;
    if (row.kind == WinMenuKind::item && depth == 0) top.push_back(row.text);
    if (row.kind == WinMenuKind::item && depth == 1 && top.size() == 1) first_items.push_back(row.id);
  }
  EXPECT_EQ(top, (std::vector<std::string>{"&FLI/FLC", "&Quit", "Mox-FLIFLIC Player v0.4", "&View"}));
  ASSERT_GE(first_items.size(), 6u);
  EXPECT_EQ(std::vector<int32_t>(first_items.begin(), first_items.begin() + 6),
            (std::vector<int32_t>{CMD_OPEN, CMD_PLAY, CMD_FRAME, CMD_RESET, CMD_INFO, CMD_ABOUT}));
  EXPECT_STREQ(hlw_title(), "MOX Flic-Fli File Viewer v0.4");
}

TEST_F(App, EmptyCommandLinePaintsTheFirstBufferOverTheWholeClientAreaAndOpensNothing) {
  hl_set_client_size(320, 240);
  start();
  EXPECT_TRUE(hlw_message_boxes().empty());
  EXPECT_EQ(gfx_state().active_width, 640);
  EXPECT_EQ(gfx_state().active_height, 480);
  ASSERT_FALSE(hl_blits().empty());
  const HlBlit& paint = hl_blits().back();
  EXPECT_EQ(paint.src.right, 640);
  EXPECT_EQ(paint.src.bottom, 480);
  EXPECT_EQ(paint.dest.right - paint.dest.left, 320);
  EXPECT_EQ(paint.dest.bottom - paint.dest.top, 240);
  EXPECT_FALSE(hlw_paint_pending());
}

TEST_F(App, FileNamedOnTheCommandLineIsShownAtStart) {
  TestFlic flic{64, 40, 3, 10, false};
  std::string file = write_flic("start.flc", flic);
  start(file);
  EXPECT_TRUE(hlw_message_boxes().empty());
  EXPECT_TRUE(shows_frame(flic, 0));
  EXPECT_EQ(hlw_menu_state(CMD_PLAY), WIN_MF_ENABLED);
}

TEST_F(App, CommandLineNameThatIsNotAFlicIsReportedByItsFileName) {
  std::string file = write_text("notes.txt");
  start(file);
  ASSERT_EQ(hlw_message_boxes().size(), 1u);
  EXPECT_EQ(hlw_message_boxes()[0].text, "notes.txt is not an FLI or FLC file.");
  EXPECT_EQ(hlw_message_boxes()[0].caption, "flic");
  EXPECT_EQ(hlw_message_boxes()[0].type & WIN_MB_ICONERROR, WIN_MB_ICONERROR);
  EXPECT_EQ(hlw_menu_state(CMD_PLAY), WIN_MF_GRAYED);
}

TEST_F(App, QuotedCommandLineNameKeepsItsQuotesAndIsNotFound) {
  std::string file = write_flic("q.flc", {64, 40, 2, 10, false});
  start("\"q.flc\"");
  ASSERT_EQ(hlw_message_boxes().size(), 1u);
  EXPECT_EQ(hlw_message_boxes()[0].text, "\"q.flc\" does not exist.");
}

TEST_F(App, CommandLineNameLongerThanAPathIsRefusedWithAMessageNotCut) {
  std::string file = write_flic("x.flc", {64, 40, 2, 10, false});
  // A real file reached through a very long path: cutting it would open something else.
  std::string tail = std::string(PATH_MAX, '/') + file;
  start(tail);
  ASSERT_EQ(hlw_message_boxes().size(), 1u);
  EXPECT_NE(hlw_message_boxes()[0].text.find("too long"), std::string::npos) << hlw_message_boxes()[0].text;
  EXPECT_EQ(hlw_menu_state(CMD_PLAY), WIN_MF_GRAYED);
}

TEST_F(App, EveryArgumentNamesOneFile) {
  struct Case {
    std::vector<const char*> args;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {{"moxflic"}, {}},
      {{"moxflic", "a.flc"}, {"a.flc"}},
      {{"moxflic", "a.flc", "b.fli"}, {"a.flc", "b.fli"}},
      {{"moxflic", "my film.flc"}, {"my film.flc"}},
      {{"moxflic", "\"quoted name.fli\""}, {"\"quoted name.fli\""}},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv;
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    EXPECT_EQ(app_arguments(static_cast<int>(c.args.size()), argv.data()), c.files);
  }
}

TEST_F(App, QuitClosesTheWindowAndGivesEveryObjectBack) {
  std::string file = write_flic("a.flc", {64, 40, 3, 10, false});
  start(file);
  EXPECT_EQ(quit(), 0);
  EXPECT_FALSE(hlw_window_alive());
  EXPECT_EQ(hlw_quit_code(), 0);
  EXPECT_EQ(hl_live_objects(), 0);
  EXPECT_FALSE(app_state.context_open);
}

TEST_F(App, GainingTheFocusRealizesThePaletteAndRepaints) {
  std::string file = write_flic("a.flc", {64, 40, 3, 10, false});
  start(file);
  size_t blits = hl_blits().size();
  win_post_message(app_state.window, WIN_MSG_SET_FOCUS, 0, 0);
  win_msg msg;
  while (hlw_paint_pending() || blits == hl_blits().size()) {
    ASSERT_EQ(win_get_message(&msg), 1);
    win_dispatch_message(&msg);
  }
  EXPECT_EQ(gfx_state().current_palette, app_state.palette);
  EXPECT_EQ(hl_blits().back().src.right, gfx_state().active_width);
}

TEST_F(App, UnknownCommandsGoToTheDefaultProcedure) {
  write_pcx("moxflic.res", 64, 32);
  start();
  std::vector<uint8_t> before = client();
  size_t blits = hl_blits().size();
  command(999);
  command(static_cast<int32_t>(0x10000 + CMD_ABOUT));  // only the whole number counts
  EXPECT_EQ(client(), before);
  EXPECT_EQ(hl_blits().size(), blits);
  EXPECT_TRUE(hlw_window_alive());
}

}  // namespace
