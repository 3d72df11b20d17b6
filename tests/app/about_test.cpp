// The about picture "moxflic.res".
#include <unistd.h>

#include <filesystem>
#include <string>

#include "gfx/gfx.h"
#include "platform/headless/controls.h"
#include "platform/headless/window_controls.h"
#include "resources/commands.h"
#include "tests/app/app_fixture.h"

namespace {

const TestFlic small{64, 40, 3, 10, false};

TEST_F(App, WithoutThePictureBothAboutItemsDoNothingAtAll) {
  std::string file = write_flic("a.flc", small);
  start(file);
  std::vector<uint8_t> before = client();
  size_t blits = hl_blits().size();
  for (int32_t id : {CMD_ABOUT, CMD_ABOUT_TITLE}) {
    command(id);
    EXPECT_EQ(client(), before);
    EXPECT_EQ(hl_blits().size(), blits);
    EXPECT_EQ(gfx_state().active_width, 64);
    EXPECT_EQ(hlw_menu_state(CMD_PLAY), WIN_MF_ENABLED);
    EXPECT_TRUE(hlw_message_boxes().empty());
  }
}

TEST_F(App, AboutPictureFillsTheClientAreaInItsOwnColours) {
  struct Case {
    const char* file;  // relative to the current directory; the program lies in bin/
  };
  const Case cases[] = {{"moxflic.res"}, {"bin/moxflic.res"}, {"share/moxflic/moxflic.res"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TearDown();
    SetUp();
    std::filesystem::create_directories(path("share/moxflic"));
    write_pcx(c.file, 320, 200);
    start();
    command(CMD_ABOUT_TITLE);
    EXPECT_EQ(gfx_state().active_width, 320);
    EXPECT_EQ(gfx_state().active_height, 200);
    int cw = hl_client_width();
    int ch = hl_client_height();
    EXPECT_EQ(shown(cw / 4, ch / 4), test_quadrant_colour(0));
    EXPECT_EQ(shown(3 * cw / 4, ch / 4), test_quadrant_colour(1));
    EXPECT_EQ(shown(cw / 4, 3 * ch / 4), test_quadrant_colour(2));
    EXPECT_EQ(shown(3 * cw / 4, 3 * ch / 4), test_quadrant_colour(3));
  }
}

TEST_F(App, PictureLookupOrderIsCurrentThenProgramThenInstalledData) {
  std::filesystem::create_directories(path("share/moxflic"));
  write_pcx("moxflic.res", 320, 200);
  write_pcx("bin/moxflic.res", 160, 100);
  write_pcx("share/moxflic/moxflic.res", 80, 50);
  start();
  command(CMD_ABOUT);
  EXPECT_EQ(gfx_state().active_width, 320);
  std::filesystem::remove(path("moxflic.res"));
  command(CMD_ABOUT);
  EXPECT_EQ(gfx_state().active_width, 160);
}

TEST_F(App, AboutKeepsTheFlicForTheNextOpenButGreysItsItems) {
  std::string file = write_flic("a.flc", small);
  write_pcx("moxflic.res", 320, 200);
  start(file);
  command(CMD_FRAME);
  command(CMD_ABOUT);
  EXPECT_EQ(hlw_menu_state(CMD_FRAME), WIN_MF_GRAYED);
  std::vector<uint8_t> about = client();
  // A greyed command sent anyway does not draw the FLIC over the about picture.
  command(CMD_FRAME);
  EXPECT_EQ(client(), about);
  open(file);
  EXPECT_TRUE(shows_frame(small, 0));
  EXPECT_EQ(gfx_state().active_width, 64);
}

TEST_F(App, AFileThatIsNotAPcxChangesNothing) {
  write_text("moxflic.res");
  std::string file = write_flic("a.flc", small);
  start(file);
  std::vector<uint8_t> before = client();
  command(CMD_ABOUT);
  EXPECT_EQ(client(), before);
  EXPECT_EQ(hlw_menu_state(CMD_PLAY), WIN_MF_ENABLED);
}

}  // namespace
