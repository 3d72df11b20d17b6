// Controls of the Qt window system, for tests of the Qt backend (qt_controls.cpp, target
// moxflic_qt_controls; the viewer links none of it): message boxes and
// the open-file dialog can be answered without a person, and the client area's
// colours read back. No Qt header is needed to use them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

struct QtwMessageBox {
  std::string text;
  std::string caption;
  uint32_t type;
};

// From now on message boxes are recorded instead of shown (true; the record starts
// empty), or shown again (false).
void qtw_record_message_boxes(bool record);
const std::vector<QtwMessageBox>& qtw_message_boxes();
// Answers for the next open-file dialogs, in order (an empty path cancels). With
// none queued the real dialog is shown.
void qtw_answer_dialog(const char* path);
// The Qt name filter the dialog is given for a filter of description/pattern pairs.
std::string qtw_dialog_filter(const char* filter);

// Runs the Qt event loop once (pending events only).
void qtw_process_events();
// Runs the event loop and dispatches queued messages and a due paint until none is
// left, turning accelerator keys into commands as the program's loop does; returns
// the number dispatched. Stops at the quit message.
int32_t qtw_dispatch_pending();
// The main window's client area as shown: its size and a pixel as 0xRRGGBB.
int32_t qtw_client_width();
int32_t qtw_client_height();
uint32_t qtw_client_rgb(int32_t x, int32_t y);
// Resizes the main window's client area.
void qtw_resize_client(int32_t width, int32_t height);
// The menu as Qt shows it: an item's text ("&" kept), whether it can be chosen, and
// the top-level titles in order.
std::string qtw_menu_text(int32_t id);
// The key shown beside an item ("Ctrl+O"), or empty.
std::string qtw_menu_key(int32_t id);
bool qtw_menu_enabled(int32_t id);
std::vector<std::string> qtw_menu_titles();
// Chooses a menu item as a click would: the command is queued for the message loop.
void qtw_trigger(int32_t id);
// Delivers a key press and release to the main window (a virtual-key code and the
// WIN_MOD_* modifiers held).
void qtw_tap_key(int32_t virtual_key, uint32_t modifiers = 0);
// Drags a file over the main window and drops it there as a file manager does
// (a URL, possibly not a local one); true when the window took the drag.
bool qtw_drop_url(const char* url);
// Double-clicks the left button in the middle of the client area.
void qtw_double_click();
// The main window's title, and whether its menu bar is shown.
std::string qtw_title();
bool qtw_menu_bar_visible();
// Asks to close the main window as the window manager does for its close box.
void qtw_request_close();
// True while a command runs.
bool qtw_input_held();
