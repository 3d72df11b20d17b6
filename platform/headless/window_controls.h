// Controls of the headless window system (the dummy backend of the window core,
// platform/common/window_core.h), for tests: what the window procedure was
// sent, the menu as it stands, the message boxes shown, answers for the
// file dialogs, the clipboard, PNG files written, the settings. The one window it creates
// is the headless backend's hl_window(), whose client size (hl_set_client_size) stays as
// it is whatever size win_create asks for; win_set_client_size and full screen change it
// within the screen hlw_set_screen describes.
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
  bool save;                // the save-file dialog
  std::string proposed;     // the name the save-file dialog proposed
};

// A picture put on the clipboard or saved as a PNG file: 3 bytes (RGB) a pixel.
struct HlwImage {
  std::string path;  // empty for the clipboard
  int32_t width;
  int32_t height;
  std::vector<uint8_t> rgb;
};

// Forgets classes, the window, the queue, every record and every queued answer, and
// makes the headless backend the one the window core calls.
void hlw_reset();

// Answers for the next open-file dialogs, in order. A null title gives the bare file
// name of the path. With no answer queued the dialog is cancelled.
void hlw_answer_dialog(const char* path, const char* title = nullptr);
void hlw_cancel_dialog();

// The user's input, queued as platform/window.h describes: a key pressed
// (WIN_MSG_KEY_DOWN), the window manager's close request (WIN_MSG_CLOSE), a double
// click and a turn of the mouse wheel.
void hlw_press_key(int32_t virtual_key, uint32_t modifiers = 0);
void hlw_request_close();
void hlw_double_click();
void hlw_turn_wheel(int32_t notches);
// Called whenever win_wait_message or win_get_message finds nothing queued, before it
// waits (idles count from 1), so that a test can give input while a command waits for
// the next frame or for the user. Null removes it.
void hlw_set_idle_hook(void (*hook)(int32_t idle));
// The screen the window is on: its size (the client area in full screen) and the
// largest client area a normal window can have (1920 x 1080 and 1880 x 1000 at first).
void hlw_set_screen(int32_t width, int32_t height, int32_t max_client_width, int32_t max_client_height);

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
// WIN_MF_CHECKED or WIN_MF_UNCHECKED, or -1 when the menu has no such item; whether
// an item is hidden (or missing).
int32_t hlw_menu_check(int32_t id);
bool hlw_menu_hidden(int32_t id);
// The last picture put on the clipboard (width 0: none), and the PNG files saved.
const HlwImage& hlw_clipboard();
const std::vector<HlwImage>& hlw_saved_pngs();
// The window's title, whether it exists, and whether a paint is due.
const char* hlw_title();
bool hlw_window_alive();
bool hlw_paint_pending();
// The exit code of the last quit message, or -1 when none was posted.
int32_t hlw_quit_code();
