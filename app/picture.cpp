// The steps every picture command shares: a buffer of the picture's size and the
// states of the FLIC items (the picture is shown in the window by view.cpp).
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

void app_set_flic_items(bool enabled) {
  constexpr int32_t flic_items[] = {CMD_PLAY, CMD_FRAME, CMD_RESET, CMD_INFO,
                                    CMD_BACK, CMD_LAST,  CMD_COPY,  CMD_SAVE};
  for (int32_t id : flic_items) {
    win_enable_menu_item(app_state.menu, id, enabled ? WIN_MF_ENABLED : WIN_MF_GRAYED);
  }
  // The other files stay within reach once a FLIC has been shown.
  if (enabled) {
    win_enable_menu_item(app_state.menu, CMD_NEXT_FILE, WIN_MF_ENABLED);
    win_enable_menu_item(app_state.menu, CMD_PREVIOUS_FILE, WIN_MF_ENABLED);
  }
}
