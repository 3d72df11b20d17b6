// The about picture: "moxflic.res", from the current directory, else from the program's
// own directory, else from ../share/moxflic beside it (an installed viewer), shown in the
// application's buffer.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "gfx/gfx.h"
#include "pcx/pcx.h"
#include "resources/commands.h"

namespace {

// Where an installed viewer keeps its data, relative to the program's directory.
constexpr const char* INSTALLED_DATA_DIR = "../share/moxflic";

// Reads the header of dir/name (dir empty: name alone): 1 with path set, 0 otherwise.
int32_t try_about_picture(char* path, size_t size, const char* dir, uint8_t* header) {
  int n = dir[0] != '\0' ? std::snprintf(path, size, "%s/%s", dir, APP_ABOUT_FILE)
                         : std::snprintf(path, size, "%s", APP_ABOUT_FILE);
  if (n < 0 || static_cast<size_t>(n) >= size) return 0;
  return pcx_check_header(path, header) >= 0 ? 1 : 0;
}

// Finds the picture and reads its header: 1 with path set, 0 when there is none.
int32_t find_about_picture(char* path, size_t size, uint8_t* header) {
  if (try_about_picture(path, size, "", header) == 1) return 1;
  char dir[APP_NAME_SIZE];
  if (win_program_dir(dir, sizeof dir) != 1) return 0;
  if (try_about_picture(path, size, dir, header) == 1) return 1;
  char data_dir[APP_NAME_SIZE];
  int n = std::snprintf(data_dir, sizeof data_dir, "%s/%s", dir, INSTALLED_DATA_DIR);
  if (n < 0 || static_cast<size_t>(n) >= sizeof data_dir) return 0;
  return try_about_picture(path, size, data_dir, header);
}

}  // namespace

void app_about_command(int32_t command) {
  if (command != CMD_ABOUT && command != CMD_ABOUT_TITLE) return;
  char path[APP_NAME_SIZE];
  uint8_t header[PCX_HEADER_SIZE];
  if (find_about_picture(path, sizeof path, header) != 1) return;

  int32_t min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  pcx_extents(header, &min_x, &max_x, &min_y, &max_y);
  int32_t old_width = app_state.image_width;
  int32_t old_height = app_state.image_height;
  app_state.image_width = max_x - min_x + 1;
  app_state.image_height = max_y - min_y + 1;
  if (!app_replace_buffer()) {
    app_state.image_width = old_width;
    app_state.image_height = old_height;
    return;
  }
  std::memcpy(app_state.flic_header, header, sizeof header);
  pcx_set_position(0, 0);
  pcx_show(path, GFX_FLAG_AT_POSITION);
  app_show_picture();
  app_state.flic_shown = false;
  app_set_flic_items(false);
  app_update_title();
}
