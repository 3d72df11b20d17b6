// Controls of the headless window system, for tests: what the window procedure was
// sent, the menu as it stands, the message boxes shown, and answers for the
// open-file dialog. The one window it creates is the headless backend's hl_window(),
// whose client size (hl_set_client_size) stays as it is whatever size is asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

// One message box as it was shown.
struct HlwMessageBox {
  plat_window owner;
  std::string text;
  std::string caption;
  uint32_t type;
};

// One message as the window procedure received it.
struct HlwMessage {
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
};

// One showing of the open-file dialog, as it was asked for.
struct HlwDialog {
  plat_window owner;
  std::string description;  // first filter pair
  std::string patterns;
  std::string default_ext;
  size_t file_size;
  size_t file_title_size;
  std::string initial_dir;  // empty: the current folder
};

// Forgets classes, the window, the queue, every record and every queued answer.
void hlw_reset();

// Answers for the next open-file dialogs, in order. A null title gives the bare file
// name of the path. With no answer queued the dialog is cancelled.
void hlw_answer_dialog(const char* path, const char* title = nullptr);
void hlw_cancel_dialog();

// The user's input, held back while a command runs as platform/window.h describes: a
// key pressed (WIN_MSG_KEY_DOWN) and the window manager's close request (WIN_MSG_CLOSE).
void hlw_press_key(int32_t virtual_key, uint32_t modifiers = 0);
void hlw_request_close();

// The program's own directory as win_program_dir reports it (empty: not found).
void hlw_set_program_dir(const char* dir);

// What a test reads back.
const std::vector<HlwMessageBox>& hlw_message_boxes();
const std::vector<HlwMessage>& hlw_messages();
const std::vector<HlwDialog>& hlw_dialogs();
// WIN_MF_ENABLED or WIN_MF_GRAYED, or -1 when the menu has no such item.
int32_t hlw_menu_state(int32_t id);
// The item's text, or null.
const char* hlw_menu_text(int32_t id);
// The menu's rows as created: popups and items in table order.
const std::vector<win_menu_item>& hlw_menu_rows();
// The window's title, whether it exists, and whether a paint is due.
const char* hlw_title();
bool hlw_window_alive();
bool hlw_paint_pending();
// The exit code of the last quit message, or -1 when none was posted.
int32_t hlw_quit_code();
