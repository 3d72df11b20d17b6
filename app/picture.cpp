// The steps every picture command shares: a buffer of the picture's size, the
// stretch into the window, and the states of the FLIC items.
#include "app/app.h"
#include "gfx/gfx.h"
#include "resources/commands.h"

// The new buffer is allocated before the old one is freed, so a picture that cannot be
// given a buffer leaves the one on show (and its buffer) in place.
int32_t app_replace_buffer() {
  vb_close();
  int32_t slot = vb_alloc(app_state.image_width, app_state.image_height);
  if (slot < 0) {
    vb_open(app_state.buffer_slot);
    return 0;
  }
  vb_free(app_state.buffer_slot);
  app_state.buffer_slot = slot;
  vb_open(slot);
  return 1;
}

// The picture's own size, not the buffer's: a buffer is wider than a picture whose
// width is not a multiple of 4, and its spare columns are not part of the picture.
void app_show_picture() {
  vb_blit_scaled(0, app_state.image_width - 1, 0, app_state.image_height - 1, 0, app_state.client_width - 1,
                 0, app_state.client_height - 1);
}

void app_set_flic_items(bool enabled) {
  constexpr int32_t flic_items[] = {CMD_PLAY, CMD_FRAME, CMD_RESET, CMD_INFO};
  for (int32_t id : flic_items) {
    win_enable_menu_item(app_state.menu, id, enabled ? WIN_MF_ENABLED : WIN_MF_GRAYED);
  }
}
