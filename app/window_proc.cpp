// The main window's procedure: creation and destruction of the library's display
// resources, size, focus, paint, the menu commands and files dropped on the window.
#include "app/app.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "platform/gdi.h"
#include "platform/system.h"
#include "resources/commands.h"

namespace {

void on_create(plat_window window) {
  app_state.window = window;
  app_state.window_dc = plat_get_dc(window);
  gfx_set_dc(app_state.window_dc);
  app_state.palette = gfx_default_palette();
  gfx_realize_palette(app_state.palette);
  gfx_set_colour(APP_START_COLOUR);
  gfx_erase();
  app_state.menu = win_get_menu(window);
}

void on_destroy(plat_window window) {
  if (app_state.context_open) {
    flic_close(&app_state.context);
    app_state.context_open = false;
  }
  app_state.flic_shown = false;
  vb_close();
  vb_free(app_state.buffer_slot);
  app_state.buffer_slot = -1;
  gfx_finish();
  plat_delete_palette(app_state.palette);
  app_state.palette = nullptr;
  plat_release_dc(window, app_state.window_dc);
  app_state.window_dc = nullptr;
  app_state.menu = nullptr;
  app_state.window = nullptr;
  win_post_quit(0);
}

void on_paint(plat_window window) {
  win_begin_paint(window);
  app_show_picture();
  win_end_paint(window);
}

// The first file of a drop is opened as a name given on the command line is.
void on_drop(plat_drop drop) {
  char name[APP_NAME_SIZE];
  const int64_t length = win_drag_query_file(drop, 0, name, sizeof name);
  win_drag_finish(drop);
  if (length < 0) return;
  // A name too long for the buffer was not copied; the length alone gets it refused.
  app_load_named(name, static_cast<size_t>(length));
}

// The whole first parameter names the command, not only its low 16 bits.
bool on_command(plat_window window, uintptr_t command) {
  switch (command) {
    case CMD_QUIT:
      win_send_message(window, WIN_MSG_CLOSE, 0, 0);
      return true;
    case CMD_OPEN:
    case CMD_PLAY:
    case CMD_FRAME:
    case CMD_RESET:
    case CMD_INFO:
    case CMD_LOAD:
      app_flic_command(static_cast<int32_t>(command));
      return true;
    case CMD_ABOUT:
    case CMD_ABOUT_TITLE:
      app_about_command(static_cast<int32_t>(command));
      return true;
    default:
      return false;
  }
}

}  // namespace

intptr_t app_window_proc(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  switch (message) {
    case WIN_MSG_CREATE:
      on_create(window);
      return 0;
    case WIN_MSG_DESTROY:
      on_destroy(window);
      return 0;
    case WIN_MSG_SIZE:
      app_state.client_width = win_size_width(lparam);
      app_state.client_height = win_size_height(lparam);
      return 0;
    case WIN_MSG_SET_FOCUS:
      gfx_realize_palette(app_state.palette);
      win_invalidate(window, true);
      return 0;
    case WIN_MSG_PAINT:
      on_paint(window);
      return 0;
    case WIN_MSG_COMMAND:
      if (on_command(window, wparam)) return 0;
      break;
    case WIN_MSG_DROP_FILES:
      on_drop(reinterpret_cast<plat_drop>(wparam));
      return 0;
    default:
      break;
  }
  return win_default_proc(window, message, wparam, lparam);
}
