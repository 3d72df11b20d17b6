// The entry: window class, main window, first buffer, the file named on the command
// line, and the message loop.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "gfx/gfx.h"
#include "platform/system.h"
#include "resources/commands.h"
#include "resources/resources.h"

AppState app_state;

void app_reset() {
  app_state = AppState();
  app_state.buffer_slot = -1;
}

size_t app_command_tail(int argc, char** argv, char* out, size_t size) {
  size_t length = 0;
  for (int i = 1; i < argc; ++i) length += (i > 1 ? 1 : 0) + std::strlen(argv[i]);
  if (out == nullptr || size == 0) return length;
  out[0] = '\0';
  if (length >= size) return length;
  size_t at = 0;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) out[at++] = ' ';
    size_t n = std::strlen(argv[i]);
    std::memcpy(out + at, argv[i], n);
    at += n;
  }
  out[at] = '\0';
  return length;
}

void app_start(const char* tail, size_t tail_length, int32_t show_state) {
  win_class window_class = {WIN_CS_HREDRAW | WIN_CS_VREDRAW, app_window_proc,
                            res_find_icon(RES_ICON_NAME), res_find_menu(RES_MENU_NAME),
                            APP_CLASS_NAME};
  win_register_class(&window_class);
  plat_window window = win_create(APP_CLASS_NAME, APP_WINDOW_TITLE, APP_WINDOW_WIDTH, APP_WINDOW_HEIGHT);
  win_show(window, show_state);
  gfx_init();
  app_state.buffer_slot = vb_alloc(APP_WINDOW_WIDTH, APP_WINDOW_HEIGHT);
  vb_open(app_state.buffer_slot);
  win_update(window);

  if (tail == nullptr || tail_length == 0) return;
  // A name longer than the name buffer is refused whole rather than cut.
  if (tail_length >= sizeof app_state.file_name) {
    std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_NAME_TOO_LONG_FORMAT,
                  tail_length, static_cast<int>(sizeof app_state.file_name - 1));
    win_message_box(plat_get_active_window(), app_state.message_text, APP_ERROR_CAPTION,
                    WIN_MB_OK | WIN_MB_ICONERROR);
    return;
  }
  std::memcpy(app_state.file_name, tail, tail_length);
  app_state.file_name[tail_length] = '\0';
  app_state.file_title[0] = '\0';
  win_send_message(window, WIN_MSG_COMMAND, CMD_LOAD, 0);
}

int32_t app_run() {
  win_msg msg;
  while (win_get_message(&msg) != 0) win_dispatch_message(&msg);
  return static_cast<int32_t>(msg.wparam);
}
