// The window core: the part of the window system (platform/window.h) that is the same
// on every backend, written once over the backend's PlatformBackend (platform/backend.h).
// It keeps the window classes, the one window with its procedure, title and menu item
// states, the message queue, the due paint and the quit message. What a backend and
// its test controls read of it, and what a backend tells it, is here.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/window.h"

// The window's menu: the rows of its class's menu table with their states as they stand.
struct plat_menu_obj {
  std::vector<win_menu_item> rows;
  std::vector<std::string> texts;  // the rows' texts as set (row.text points into them)
};

struct WindowCore {
  static constexpr int MAX_CLASSES = 8;
  win_class classes[MAX_CLASSES] = {};
  int class_count = 0;
  plat_window window = nullptr;  // the one window (null: none)
  win_proc proc = nullptr;
  uint32_t class_style = 0;
  const win_accel_table* accelerators = nullptr;  // its class's
  std::string title;
  bool shown = false;
  bool paint_pending = false;
  bool destroying = false;
  bool has_menu = false;
  plat_menu_obj menu;
  std::deque<win_msg> queue;
  bool quit_posted = false;
  int32_t quit_code = -1;  // of the last quit message; -1 when none was posted
  int command_depth = 0;   // commands running now (a command may send another)
};

// What the window core holds now.
const WindowCore& window_core();
// The window's client area has the size its window of the shared screen now has: sends
// WIN_MSG_SIZE and, for a class that redraws on resizing, asks for a paint.
void window_core_resized(plat_window window);
// True when win_peek_message would find a message.
bool window_core_message_waiting();
// A row of the window's menu by command number, or null.
const win_menu_item* window_core_menu_item(int32_t id);
// Forgets the classes, the window (without a message to it) and the queue, with the
// file lists queued messages carry; for a test backend's reset.
void window_core_reset();
