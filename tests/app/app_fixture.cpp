#include "tests/app/app_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "flic/flic_writer.h"
#include "gfx/gfx.h"
#include "platform/headless/controls.h"
#include "platform/headless/window_controls.h"
#include "resources/commands.h"
#include "tools/writers/pcx_writer.h"

namespace {

constexpr int BACKGROUND = 1;
constexpr int FIRST_CELL = 2;
constexpr Rgb cell_colours[] = {{250, 40, 40},  {40, 250, 40},  {40, 40, 250},  {250, 250, 40},
                                {40, 250, 250}, {250, 40, 250}, {200, 120, 60}, {120, 60, 200}};
constexpr int CELL_COLOURS = static_cast<int>(sizeof cell_colours / sizeof cell_colours[0]);
constexpr Rgb background = {30, 60, 90};
constexpr Rgb quadrants[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

std::vector<uint8_t> cell_picture(const TestFlic& flic, int k) {
  std::vector<uint8_t> pixels(static_cast<size_t>(flic.width) * static_cast<size_t>(flic.height), BACKGROUND);
  int x0 = (k * TEST_CELL) % flic.width;
  for (int y = 0; y < TEST_CELL && y < flic.height; ++y) {
    for (int x = x0; x < x0 + TEST_CELL && x < flic.width; ++x) {
      pixels[static_cast<size_t>(y) * static_cast<size_t>(flic.width) + static_cast<size_t>(x)] =
          static_cast<uint8_t>(FIRST_CELL + k % CELL_COLOURS);
    }
  }
  return pixels;
}

}  // namespace

Rgb test_background() { return background; }
Rgb test_cell_colour(int frame) { return cell_colours[frame % CELL_COLOURS]; }
Rgb test_quadrant_colour(int quadrant) { return quadrants[quadrant]; }

void App::SetUp() {
  hl_reset();
  hlw_reset();
  gfx_load_state();
  app_reset();
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  old_cwd_ = cwd;
  std::string templ = ::testing::TempDir() + "moxflic-app-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  ASSERT_NE(mkdtemp(buf.data()), nullptr);
  dir_ = buf.data();
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  // The program's own directory holds no about picture unless a test puts one there.
  ASSERT_EQ(mkdir(path("bin").c_str(), 0700), 0);
  hlw_set_program_dir(path("bin").c_str());
}

void App::TearDown() {
  if (hlw_window_alive()) quit();
  hl_set_key_poll_hook(nullptr);
  EXPECT_EQ(chdir(old_cwd_.c_str()), 0);
  std::string rm = "rm -rf '" + dir_ + "'";
  EXPECT_EQ(std::system(rm.c_str()), 0);
}

std::string App::write_flic(const std::string& name, const TestFlic& flic) {
  uint8_t rgb[768] = {};
  rgb[BACKGROUND * 3] = background.r;
  rgb[BACKGROUND * 3 + 1] = background.g;
  rgb[BACKGROUND * 3 + 2] = background.b;
  for (int i = 0; i < CELL_COLOURS; ++i) {
    rgb[(FIRST_CELL + i) * 3] = cell_colours[i].r;
    rgb[(FIRST_CELL + i) * 3 + 1] = cell_colours[i].g;
    rgb[(FIRST_CELL + i) * 3 + 2] = cell_colours[i].b;
  }
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, static_cast<uint16_t>(flic.width), static_cast<uint16_t>(flic.height),
           flic.speed_ms);
  std::vector<uint8_t> prev;
  for (int k = 0; k < flic.frames; ++k) {
    std::vector<uint8_t> next = cell_picture(flic, k);
    fw_begin_frame(w);
    if (k == 0) {
      fw_palette(w, FLIC_CHUNK_COLOUR_256, rgb);
      fw_byte_run(w, next.data());
    } else {
      fw_word_delta(w, prev.data(), next.data());
    }
    fw_end_frame(w);
    prev = next;
  }
  if (flic.ring) {
    fw_begin_frame(w);
    std::vector<uint8_t> first = cell_picture(flic, 0);
    fw_word_delta(w, prev.data(), first.data());
    fw_end_frame(w);
  }
  fw_finish(w, flic.frames);
  std::string file = path(name);
  EXPECT_TRUE(fw_save(w, file));
  return file;
}

std::string App::write_text(const std::string& name) {
  std::string file = path(name);
  FILE* f = std::fopen(file.c_str(), "w");
  EXPECT_NE(f, nullptr);
  if (f != nullptr) {
    std::fputs(
        "This is a note, not an animation. It is long enough to fill a header and more: "
        "0123456789012345678901234567890123456789012345678901234567890123456789\n",
        f);
    std::fclose(f);
  }
  return file;
}

std::string App::write_pcx(const std::string& name, int width, int height) {
  uint8_t colours[768] = {};
  for (int q = 0; q < 4; ++q) {
    colours[(q + 1) * 3] = quadrants[q].r;
    colours[(q + 1) * 3 + 1] = quadrants[q].g;
    colours[(q + 1) * 3 + 2] = quadrants[q].b;
  }
  std::vector<uint8_t> indices(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int q = (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
      indices[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          static_cast<uint8_t>(q + 1);
    }
  }
  PcxWriterHeader h = pcx_writer_header(width, height, 8, 1);
  std::vector<uint8_t> file;
  pcx_writer_put_header(file, h);
  pcx_writer_put_image(file, h, indices.data());
  pcx_writer_put_palette_block(file, colours);
  std::string out = path(name);
  EXPECT_TRUE(pcx_writer_save(file, out.c_str()));
  return out;
}

void App::start(const std::string& file) { start(std::vector<std::string>{file}); }

void App::start(const std::vector<std::string>& files) {
  std::vector<std::string> given;
  for (const std::string& f : files) {
    if (!f.empty()) given.push_back(f);
  }
  app_start(given, WIN_SW_SHOWDEFAULT);
}

void App::command(int32_t id) {
  win_send_message(app_state.window, WIN_MSG_COMMAND, static_cast<uintptr_t>(id), 0);
}

void App::open(const std::string& file) {
  hlw_answer_dialog(file.c_str());
  command(CMD_OPEN);
}

int32_t App::quit() {
  win_post_message(app_state.window, WIN_MSG_COMMAND, CMD_QUIT, 0);
  return app_run();
}

Rgb App::shown(int x, int y) const {
  uint8_t index = hl_client_pixels()[static_cast<size_t>(y * hl_client_width() + x)];
  const plat_palette_entry& e = hl_hardware_palette()[index];
  return {e.red, e.green, e.blue};
}

bool App::shows_frame(const TestFlic& flic, int k) const {
  std::vector<uint8_t> picture = cell_picture(flic, k);
  int cw = hl_client_width();
  int ch = hl_client_height();
  for (int cy = 0; cy < flic.height / TEST_CELL; ++cy) {
    for (int cx = 0; cx < flic.width / TEST_CELL; ++cx) {
      int px = cx * TEST_CELL + TEST_CELL / 2;
      int py = cy * TEST_CELL + TEST_CELL / 2;
      uint8_t index =
          picture[static_cast<size_t>(py) * static_cast<size_t>(flic.width) + static_cast<size_t>(px)];
      Rgb want = index == BACKGROUND ? background : cell_colours[index - FIRST_CELL];
      int sx = (2 * px + 1) * cw / (2 * flic.width);
      int sy = (2 * py + 1) * ch / (2 * flic.height);
      if (!(shown(sx, sy) == want)) return false;
    }
  }
  return true;
}

std::vector<uint8_t> App::client() const { return hl_client_pixels(); }
