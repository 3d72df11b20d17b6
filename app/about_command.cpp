// The about picture: "moxflic.res", from the current directory or else from the
// program's own directory, shown in the application's buffer.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "gfx/gfx.h"
#include "pcx/pcx.h"
#include "resources/commands.h"

namespace {

// Finds the picture and reads its header: 1 with path set, 0 when there is none.
int32_t find_about_picture(char* path, size_t size, uint8_t* header) {
  std::snprintf(path, size, "%s", APP_ABOUT_FILE);
  if (pcx_check_header(path, header) >= 0) return 1;
  char dir[APP_NAME_SIZE];
  if (win_program_dir(dir, sizeof dir) != 1) return 0;
  int n = std::snprintf(path, size, "%s/%s", dir, APP_ABOUT_FILE);
  if (n < 0 || static_cast<size_t>(n) >= size) return 0;
  return pcx_check_header(path, header) >= 0 ? 1 : 0;
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
}
