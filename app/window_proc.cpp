// The main window's procedure: creation and destruction of the library's display
// resources, size, focus, paint, the menu commands, the keys that are no menu command,
// the mouse, and files dropped on the window.
#include <string>
#include <vector>

#include "app/app.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "platform/gdi.h"
#include "platform/input.h"
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
  flic_keyframes_reset(&app_state.keyframes, 0);
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
  app_paint_picture();
  win_end_paint(window);
}

// The files of a drop are opened as names given on the command line are: the first
// is shown, Page Down and Page Up go through them.
void on_drop(plat_drop drop) {
  std::vector<std::string> names;
  for (int32_t i = 0;; ++i) {
    const int64_t length = win_drag_query_file(drop, i, nullptr, 0);
    if (length < 0) break;
    std::string name(static_cast<size_t>(length) + 1, '\0');
    win_drag_query_file(drop, i, name.data(), name.size());
    name.resize(static_cast<size_t>(length));
    names.push_back(name);
  }
  win_drag_finish(drop);
  app_open_files(names);
}

// Escape is no menu command: it leaves full screen (Play, which it ends, has its own
// answer to it).
bool on_key(uintptr_t virtual_key) {
  if (virtual_key != PLAT_VK_ESCAPE) return false;
  app_leave_fullscreen();
  return true;
}

// A wheel turned away from the user goes back a frame, towards the user on a frame.
void on_wheel(int32_t notches) {
  if (notches == 0) return;
  win_send_message(app_state.window, WIN_MSG_COMMAND, notches > 0 ? CMD_BACK : CMD_FRAME, 0);
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
    case CMD_BACK:
    case CMD_LAST:
      app_flic_command(static_cast<int32_t>(command));
      return true;
    case CMD_ABOUT:
    case CMD_ABOUT_TITLE:
      app_about_command(static_cast<int32_t>(command));
      return true;
    case CMD_NEXT_FILE:
    case CMD_PREVIOUS_FILE:
      app_file_command(static_cast<int32_t>(command));
      return true;
    case CMD_COPY:
    case CMD_SAVE:
      app_picture_command(static_cast<int32_t>(command));
      return true;
    case CMD_LOOP:
    case CMD_FULLSCREEN:
    case CMD_STRETCH:
    case CMD_ASPECT:
    case CMD_ACTUAL:
    case CMD_DOUBLE:
    case CMD_TRIPLE:
    case CMD_ZOOM_IN:
    case CMD_ZOOM_OUT:
    case CMD_FIT_WINDOW:
      app_view_command(static_cast<int32_t>(command));
      return true;
    default:
      if (command >= CMD_RECENT_FIRST && command < CMD_RECENT_FIRST + CMD_RECENT_COUNT) {
        app_file_command(static_cast<int32_t>(command));
        return true;
      }
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
    case WIN_MSG_KEY_DOWN:
      if (on_key(wparam)) return 0;
      break;
    case WIN_MSG_LBUTTON_DBLCLK:
      win_send_message(window, WIN_MSG_COMMAND, CMD_FULLSCREEN, 0);
      return 0;
    case WIN_MSG_MOUSE_WHEEL:
      on_wheel(win_wheel_notches(wparam));
      return 0;
    default:
      break;
  }
  return win_default_proc(window, message, wparam, lparam);
}
