// The viewer on the Qt window system, under the offscreen platform: the menu bar,
// pictures in the client area in their own colours, palette changes, resizing,
// Escape and a close request during Play, keys, dropped files, and the file dialog's
// name filter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <string>
#include <vector>

#include "app/app.h"
#include "flic/flic_writer.h"
#include "gfx/gfx.h"
#include "platform/common/probe.h"
#include "platform/input.h"
#include "platform/qt/qt_controls.h"
#include "resources/commands.h"
#include "tools/writers/pcx_writer.h"

namespace {

constexpr int W = 64;
constexpr int H = 40;
constexpr uint32_t RED = 0xE02020;
constexpr uint32_t BLUE = 0x2030F0;
constexpr uint32_t GREEN = 0x20D040;

void set(uint8_t* rgb, int index, uint32_t colour) {
  rgb[index * 3] = static_cast<uint8_t>(colour >> 16);
  rgb[index * 3 + 1] = static_cast<uint8_t>(colour >> 8);
  rgb[index * 3 + 2] = static_cast<uint8_t>(colour);
}

// Frame 1: left half index 1 (red), right half index 2 (blue). Later frames change
// only the colour of index 1 (green, then red again), never a pixel.
void write_colour_flic(const std::string& path, int frames, uint32_t speed_ms) {
  uint8_t rgb[768] = {};
  set(rgb, 1, RED);
  set(rgb, 2, BLUE);
  std::vector<uint8_t> pixels(W * H);
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) pixels[static_cast<size_t>(y * W + x)] = x < W / 2 ? 1 : 2;
  }
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, W, H, speed_ms);
  fw_begin_frame(w);
  fw_palette(w, FLIC_CHUNK_COLOUR_256, rgb);
  fw_byte_run(w, pixels.data());
  fw_end_frame(w);
  for (int f = 1; f < frames; ++f) {
    uint8_t one[3];
    set(one, 0, f % 2 == 1 ? GREEN : RED);
    fw_begin_frame(w);
    fw_colour_chunk(w, FLIC_CHUNK_COLOUR_256, {FwColourPacket{1, std::vector<uint8_t>(one, one + 3)}});
    fw_end_frame(w);
  }
  fw_finish(w);
  ASSERT_TRUE(fw_save(w, path));
}

class QtViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    screen_reset();
    gfx_load_state();
    app_reset();
    qtw_record_message_boxes(true);
    app_start({}, WIN_SW_SHOWDEFAULT);
    qtw_dispatch_pending();
  }
  void TearDown() override {
    qtw_trigger(CMD_QUIT);
    qtw_dispatch_pending();
    EXPECT_EQ(app_run(), 0);
    EXPECT_EQ(screen_live_objects(), 0);
  }
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }
  void open(const std::string& file) {
    qtw_answer_dialog(file.c_str());
    qtw_trigger(CMD_OPEN);
    qtw_dispatch_pending();
  }
  uint32_t left() const { return qtw_client_rgb(qtw_client_width() / 4, qtw_client_height() / 2); }
  uint32_t right() const { return qtw_client_rgb(3 * qtw_client_width() / 4, qtw_client_height() / 2); }

  QTemporaryDir dir_;
};

TEST_F(QtViewer, MenuBarShowsTheItemsWithTheirTextsAndStates) {
  std::vector<std::string> titles = qtw_menu_titles();
  ASSERT_EQ(titles.size(), 4u);
  EXPECT_EQ(titles[0], "&FLI/FLC");
  EXPECT_EQ(titles[1], "&Quit");
  EXPECT_EQ(titles[2], "Mox-FLIFLIC Player v0.4");
  EXPECT_EQ(titles[3], "&View");
  struct Item {
    int32_t id;
    const char* text;
    bool before;
  };
  const Item items[] = {{CMD_OPEN, "&Open", true},    {CMD_PLAY, "&Play", false},
                        {CMD_FRAME, "&Frame", false}, {CMD_RESET, "&Reset", false},
                        {CMD_INFO, "&Info", false},   {CMD_ABOUT, "&ABOUT", true}};
  for (const Item& item : items) {
    EXPECT_EQ(qtw_menu_text(item.id), item.text);
    EXPECT_EQ(qtw_menu_enabled(item.id), item.before) << item.text;
  }
  std::string file = path("c.flc");
  write_colour_flic(file, 3, 10);
  open(file);
  for (const Item& item : items) EXPECT_TRUE(qtw_menu_enabled(item.id)) << item.text;
}

TEST_F(QtViewer, OpenedFlicFillsTheClientAreaInItsOwnColours) {
  ASSERT_GT(qtw_client_width(), 0);
  std::string file = path("c.flc");
  write_colour_flic(file, 3, 10);
  open(file);
  EXPECT_EQ(left(), RED);
  EXPECT_EQ(right(), BLUE);
  EXPECT_TRUE(qtw_message_boxes().empty());
}

TEST_F(QtViewer, PaletteChangeRecoloursTheShownPictureAtOnce) {
  std::string file = path("c.flc");
  write_colour_flic(file, 3, 10);
  open(file);
  qtw_trigger(CMD_FRAME);
  qtw_dispatch_pending();
  EXPECT_EQ(left(), GREEN);
  EXPECT_EQ(right(), BLUE);
  qtw_trigger(CMD_FRAME);
  qtw_dispatch_pending();
  EXPECT_EQ(left(), RED);
}

TEST_F(QtViewer, ResizedWindowIsPaintedOverItsNewClientArea) {
  std::string file = path("c.flc");
  write_colour_flic(file, 3, 10);
  open(file);
  qtw_resize_client(500, 300);
  qtw_dispatch_pending();
  ASSERT_EQ(qtw_client_width(), 500);
  ASSERT_EQ(qtw_client_height(), 300);
  EXPECT_EQ(qtw_client_rgb(10, 290), RED);
  EXPECT_EQ(qtw_client_rgb(490, 10), BLUE);
}

TEST_F(QtViewer, AboutPictureIsShownInItsColours) {
  uint8_t colours[768] = {};
  set(colours, 1, 0xFFFF00);
  std::vector<uint8_t> indices(320 * 200, 1);
  PcxWriterHeader h = pcx_writer_header(320, 200, 8, 1);
  std::vector<uint8_t> pcx;
  pcx_writer_put_header(pcx, h);
  pcx_writer_put_image(pcx, h, indices.data());
  pcx_writer_put_palette_block(pcx, colours);
  QString cwd = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir_.path()));
  ASSERT_TRUE(pcx_writer_save(pcx, "moxflic.res"));
  qtw_trigger(CMD_ABOUT);
  qtw_dispatch_pending();
  QDir::setCurrent(cwd);
  EXPECT_EQ(left(), 0xFFFF00u);
  EXPECT_EQ(right(), 0xFFFF00u);
  EXPECT_FALSE(qtw_menu_enabled(CMD_PLAY));
}

TEST_F(QtViewer, EscapeTappedDuringPlayEndsItAfterTheFrameShown) {
  std::string file = path("long.flc");
  write_colour_flic(file, 40, 50);  // two seconds when played through
  open(file);
  // A tap (press and release together) while Play runs, between two key polls.
  QTimer::singleShot(300, [] { qtw_tap_key(PLAT_VK_ESCAPE); });
  QElapsedTimer timer;
  timer.start();
  qtw_trigger(CMD_PLAY);
  qtw_dispatch_pending();
  EXPECT_GE(timer.elapsed(), 300);
  EXPECT_LT(timer.elapsed(), 1500);
  EXPECT_FALSE(qtw_input_held());
}

TEST_F(QtViewer, CloseRequestDuringPlayEndsItAndClosesTheWindow) {
  std::string file = path("long.flc");
  write_colour_flic(file, 40, 50);  // two seconds when played through
  open(file);
  QTimer::singleShot(300, [] {
    qtw_tap_key(PLAT_VK_SPACE);  // pauses Play: the close request still ends it
    qtw_request_close();
  });
  QElapsedTimer timer;
  timer.start();
  qtw_trigger(CMD_PLAY);
  qtw_dispatch_pending();
  EXPECT_LT(timer.elapsed(), 1500);
  EXPECT_EQ(app_state.window, nullptr) << "the window is closed";
  EXPECT_TRUE(qtw_menu_titles().empty());
}

TEST_F(QtViewer, KeysShownBesideTheMenuItemsRunThemAndDroppedFilesOpen) {
  const std::pair<int32_t, const char*> keys[] = {
      {CMD_OPEN, "Ctrl+O"}, {CMD_PLAY, "Space"}, {CMD_FRAME, "Right"}, {CMD_RESET, "Home"},
      {CMD_INFO, "I"},      {CMD_ABOUT, "F1"},   {CMD_QUIT, "Ctrl+Q"}};
  for (const auto& [id, key] : keys) EXPECT_EQ(qtw_menu_key(id), key) << id;
  EXPECT_EQ(qtw_menu_key(CMD_ABOUT_TITLE), "");

  std::string file = path("c.flc");
  write_colour_flic(file, 3, 10);
  qtw_answer_dialog(file.c_str());
  qtw_tap_key('O', WIN_MOD_CTRL);
  qtw_dispatch_pending();
  EXPECT_EQ(left(), RED);
  qtw_tap_key(PLAT_VK_RIGHT);
  qtw_dispatch_pending();
  EXPECT_EQ(left(), GREEN);
  qtw_tap_key(PLAT_VK_HOME);
  qtw_dispatch_pending();
  EXPECT_EQ(left(), RED);
  qtw_tap_key('I');
  qtw_dispatch_pending();
  ASSERT_EQ(qtw_message_boxes().size(), 1u);
  EXPECT_EQ(qtw_message_boxes()[0].caption, "FLI/FLC");

  // Dropped: only local files are taken; one that is not a FLIC is refused as a name
  // from the command line is, and a FLIC replaces the picture.
  std::string notes = path("notes.txt");
  QFile f(QString::fromStdString(notes));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(200, 'x'));
  f.close();
  EXPECT_FALSE(qtw_drop_url("https://example.com/c.flc"));
  EXPECT_TRUE(
      qtw_drop_url(QUrl::fromLocalFile(QString::fromStdString(notes)).toString().toUtf8().constData()));
  qtw_dispatch_pending();
  ASSERT_EQ(qtw_message_boxes().size(), 2u);
  EXPECT_EQ(qtw_message_boxes()[1].text, "notes.txt is not an FLI or FLC file.");
  std::string other = path("d.flc");
  write_colour_flic(other, 2, 10);
  qtw_tap_key(PLAT_VK_RIGHT);
  qtw_dispatch_pending();
  EXPECT_EQ(left(), GREEN);
  EXPECT_TRUE(
      qtw_drop_url(QUrl::fromLocalFile(QString::fromStdString(other)).toString().toUtf8().constData()));
  qtw_dispatch_pending();
  EXPECT_EQ(left(), RED);
  EXPECT_EQ(app_state.loaded_name, other);
}

TEST_F(QtViewer, PlayKeepsTheFileSpeed) {
  std::string file = path("timed.flc");
  write_colour_flic(file, 10, 40);
  open(file);
  QElapsedTimer timer;
  timer.start();
  qtw_trigger(CMD_PLAY);
  qtw_dispatch_pending();
  EXPECT_GE(timer.elapsed(), 9 * 40);
  EXPECT_LT(timer.elapsed(), 2 * 10 * 40 + 500);
}

TEST_F(QtViewer, InfoAndErrorsGoToMessageBoxes) {
  std::string text = path("notes.txt");
  QFile f(QString::fromStdString(text));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(200, 'x'));
  f.close();
  open(text);
  ASSERT_EQ(qtw_message_boxes().size(), 1u);
  EXPECT_EQ(qtw_message_boxes()[0].text, "notes.txt is not an FLI or FLC file.");
  EXPECT_EQ(qtw_message_boxes()[0].caption, "flic");
}

TEST_F(QtViewer, TitleNamesTheFileAndTheFrameOnShow) {
  std::string file = path("c.flc");
  write_colour_flic(file, 3, 10);
  const std::string tail = " \u2014 MOX Flic-Fli File Viewer v0.4";
  EXPECT_EQ(qtw_title(), "MOX Flic-Fli File Viewer v0.4");
  open(file);
  EXPECT_EQ(qtw_title(), "c.flc \u2014 1 / 3" + tail);
  qtw_tap_key(PLAT_VK_END);
  qtw_dispatch_pending();
  EXPECT_EQ(qtw_title(), "c.flc \u2014 3 / 3" + tail);
  std::vector<std::string> seen;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (seen.empty() || seen.back() != qtw_title()) seen.push_back(qtw_title());
  });
  watch.start(2);
  qtw_trigger(CMD_PLAY);
  qtw_dispatch_pending();
  EXPECT_EQ(seen.front(), "c.flc \u2014 3 / 3" + tail);
  EXPECT_GE(seen.size(), 3u) << "the title follows the frames during Play";
  EXPECT_EQ(qtw_title(), "c.flc \u2014 3 / 3" + tail);
}

TEST_F(QtViewer, FullScreenHidesTheMenuBarAndEscapeBringsTheWindowBack) {
  std::string file = path("c.flc");
  write_colour_flic(file, 3, 10);
  open(file);
  const int32_t width = qtw_client_width();
  qtw_tap_key(PLAT_VK_F11);
  qtw_dispatch_pending();
  EXPECT_TRUE(win_is_fullscreen(app_state.window));
  EXPECT_FALSE(qtw_menu_bar_visible());
  EXPECT_GT(qtw_client_width(), width);
  EXPECT_EQ(qtw_client_rgb(2, qtw_client_height() - 2), RED) << "the picture fills the screen";
  EXPECT_EQ(qtw_client_rgb(qtw_client_width() - 2, 2), BLUE);
  qtw_tap_key(PLAT_VK_ESCAPE);
  qtw_dispatch_pending();
  EXPECT_FALSE(win_is_fullscreen(app_state.window));
  EXPECT_TRUE(qtw_menu_bar_visible());
  qtw_double_click();
  qtw_dispatch_pending();
  EXPECT_TRUE(win_is_fullscreen(app_state.window));
}

// The frame as the file has it, 64 x 40, whatever the window's size, in the colours on
// screen: after one step the left half is green.
TEST_F(QtViewer, CopyAndSavePutTheFrameOnShowOnTheClipboardAndInAPngFile) {
  std::string file = path("c.flc");
  write_colour_flic(file, 3, 10);
  open(file);
  qtw_resize_client(500, 300);
  qtw_tap_key(PLAT_VK_RIGHT);
  qtw_tap_key('C', WIN_MOD_CTRL);
  qtw_dispatch_pending();
  const std::string saved = path("frame.png");
  qtw_answer_dialog(saved.c_str());
  qtw_tap_key('S', WIN_MOD_CTRL);
  qtw_dispatch_pending();
  const QImage pictures[] = {QApplication::clipboard()->image(), QImage(QString::fromStdString(saved))};
  for (const QImage& picture : pictures) {
    ASSERT_EQ(picture.width(), W);
    ASSERT_EQ(picture.height(), H);
    EXPECT_EQ(picture.pixel(3, 3) & 0xFFFFFFu, GREEN);
    EXPECT_EQ(picture.pixel(W - 3, H - 3) & 0xFFFFFFu, BLUE);
  }
  EXPECT_TRUE(qtw_message_boxes().empty());
}

TEST(QtDialogFilter, FlicPatternsMatchEveryCaseOfTheExtensions) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const char* names[] = {"a.fli", "b.FLI", "c.flc", "d.FLC", "e.Flc", "f.fLi", "g.txt", "h.flx", "iflc"};
  for (const char* name : names) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const char filter[] = "flic files (*.FLI,*.FLC)\0*.FLI;*.FLC\0";
  std::string qt_filter = qtw_dialog_filter(filter);
  EXPECT_EQ(qt_filter, "flic files (*.FLI,*.FLC) (*.[Ff][Ll][Ii] *.[Ff][Ll][Cc])");
  // The dialog matches names case-sensitively against the globs it is given.
  QStringList globs = {"*.[Ff][Ll][Ii]", "*.[Ff][Ll][Cc]"};
  QStringList shown = QDir(dir.path()).entryList(globs, QDir::Files | QDir::CaseSensitive, QDir::Name);
  EXPECT_EQ(shown, QStringList({"a.fli", "b.FLI", "c.flc", "d.FLC", "e.Flc", "f.fLi"}));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The settings the viewer keeps go to a folder of the run's own.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  ::testing::InitGoogleTest(&argc, argv);
  if (win_startup(&argc, argv) != 1) return 1;
  int result = RUN_ALL_TESTS();
  win_shutdown();
  return result;
}
