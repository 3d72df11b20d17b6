// The window system the viewer application calls: a window class with a window
// procedure, the one main window, its menu, the message loop, message boxes and
// the open-file dialog. The graphics library never calls it.
//
// A window procedure is a plain function that receives every message sent or
// dispatched to the window; what it does not handle it passes to win_default_proc.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// --- Messages -------------------------------------------------------------------------
// The window has just been made; sent before win_create returns.
constexpr uint32_t WIN_MSG_CREATE = 0x0001;
// The window is going away; sent by win_destroy before its resources are freed.
constexpr uint32_t WIN_MSG_DESTROY = 0x0002;
// The client area has a new size: lparam = width | height << 16 (both unsigned 16-bit).
constexpr uint32_t WIN_MSG_SIZE = 0x0005;
// The window gained the input focus.
constexpr uint32_t WIN_MSG_SET_FOCUS = 0x0007;
// The client area must be drawn again (see win_invalidate); bracket the work with
// win_begin_paint / win_end_paint.
constexpr uint32_t WIN_MSG_PAINT = 0x000F;
// The user asked to close the window; the default procedure destroys it.
constexpr uint32_t WIN_MSG_CLOSE = 0x0010;
// Ends the message loop: win_get_message answers 0; wparam holds the exit code.
constexpr uint32_t WIN_MSG_QUIT = 0x0012;
// A menu item was chosen (or a command was sent): wparam holds the command number.
constexpr uint32_t WIN_MSG_COMMAND = 0x0111;
// A key was pressed in the window: wparam its virtual-key code (platform/input.h),
// lparam the modifier keys held (WIN_MOD_*).
constexpr uint32_t WIN_MSG_KEY_DOWN = 0x0100;
// Files were dropped on the window: wparam is a plat_drop to read with
// win_drag_query_file; the receiver ends it with win_drag_finish.
constexpr uint32_t WIN_MSG_DROP_FILES = 0x0233;
// The left mouse button was double-clicked in the client area.
constexpr uint32_t WIN_MSG_LBUTTON_DBLCLK = 0x0203;
// The mouse wheel was turned over the client area: wparam holds the whole notches as a
// signed number (win_wheel_notches), positive when turned away from the user.
constexpr uint32_t WIN_MSG_MOUSE_WHEEL = 0x020A;
inline int32_t win_wheel_notches(uintptr_t wparam) {
  return static_cast<int32_t>(static_cast<intptr_t>(wparam));
}

// Modifier keys of WIN_MSG_KEY_DOWN and of accelerators.
constexpr uint32_t WIN_MOD_SHIFT = 0x1;
constexpr uint32_t WIN_MOD_CTRL = 0x2;
constexpr uint32_t WIN_MOD_ALT = 0x4;

// Packs and unpacks the size message's second parameter.
inline intptr_t win_size_param(int32_t width, int32_t height) {
  return static_cast<intptr_t>((static_cast<uint32_t>(width) & 0xFFFFu) |
                               ((static_cast<uint32_t>(height) & 0xFFFFu) << 16));
}
inline int32_t win_size_width(intptr_t lparam) { return static_cast<int32_t>(lparam & 0xFFFF); }
inline int32_t win_size_height(intptr_t lparam) {
  return static_cast<int32_t>((static_cast<uint64_t>(lparam) >> 16) & 0xFFFF);
}

// A window procedure: returns 0 for a message it handled, else win_default_proc's answer.
using win_proc = intptr_t (*)(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// One message taken from the queue.
struct win_msg {
  plat_window window;  // null for the quit message
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
};

// --- Menus ----------------------------------------------------------------------------
// Kinds of menu table rows.
enum class WinMenuKind : uint8_t {
  item,         // a command item of the current level
  popup_begin,  // opens a drop-down menu; the rows up to popup_end belong to it
  popup_end,    // closes the drop-down menu
  separator,    // a line between the items of a drop-down menu
};

// Item states. An item that can be checked shows a mark while it is.
constexpr uint32_t WIN_MF_ENABLED = 0x0000;
constexpr uint32_t WIN_MF_GRAYED = 0x0001;
constexpr uint32_t WIN_MF_UNCHECKED = 0x0000;
constexpr uint32_t WIN_MF_CHECKED = 0x0008;
// The item can be checked (set in the menu table).
constexpr uint32_t WIN_MF_CHECKABLE = 0x0100;
// The item is not shown until it is given a text (set in the menu table).
constexpr uint32_t WIN_MF_HIDDEN = 0x0200;

// One row of a menu table.
struct win_menu_item {
  WinMenuKind kind;
  int32_t id;        // the command number (items only)
  const char* text;  // '&' marks the mnemonic that follows it
  uint32_t state;    // WIN_MF_ENABLED or WIN_MF_GRAYED at creation
};

// A named menu: its rows, top level first.
struct win_menu {
  const char* name;
  const win_menu_item* items;
  int32_t count;
};

// A named icon of 16 colours, drawn as text: each row is a string of width hex
// digits, one palette index (0-f) per pixel, rows top first.
constexpr int WIN_ICON_COLOURS = 16;
struct win_icon {
  const char* name;
  int32_t width;
  int32_t height;
  const uint8_t (*colours)[3];  // WIN_ICON_COLOURS RGB triples
  const char* const* rows;      // height rows
};
// The palette index of one icon pixel (0 for a pixel outside the drawing or a
// character that is not a hex digit).
inline int32_t win_icon_index(const win_icon* icon, int32_t x, int32_t y) {
  if (icon == nullptr || x < 0 || y < 0 || x >= icon->width || y >= icon->height) return 0;
  const char* row = icon->rows[y];
  for (int32_t i = 0; i < x; ++i) {
    if (row[i] == '\0') return 0;
  }
  char c = row[x];
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

// The menu of a window; valid from creation to destruction.
struct plat_menu_obj;
using plat_menu = plat_menu_obj*;

// --- Keyboard accelerators ------------------------------------------------------------
// A key with its modifiers that stands for a command.
struct win_accel {
  uint32_t modifiers;  // WIN_MOD_*, all of them and no others held
  int32_t virtual_key;
  int32_t command;
};

// A named accelerator table.
struct win_accel_table {
  const char* name;
  const win_accel* items;
  int32_t count;
};

// --- Window class and window ----------------------------------------------------------
// Class styles: redraw the whole client area when its width or height changes.
constexpr uint32_t WIN_CS_VREDRAW = 0x0001;
constexpr uint32_t WIN_CS_HREDRAW = 0x0002;

// Show states.
constexpr int32_t WIN_SW_SHOWNORMAL = 1;
constexpr int32_t WIN_SW_SHOWDEFAULT = 10;

struct win_class {
  uint32_t style;  // WIN_CS_*
  win_proc proc;
  const win_icon* icon;  // may be null
  const win_menu* menu;  // the class menu every window of the class gets; may be null
  const char* class_name;
  // Keys shown beside the menu items of their commands; may be null. They act only
  // through win_translate_accelerator in the message loop.
  const win_accel_table* accelerators;
};

// Registers a window class; 1 on success, 0 when the class is incomplete or already known.
int32_t win_register_class(const win_class* window_class);
// Creates a window of a registered class with an outer size in pixels; sends
// WIN_MSG_CREATE before it returns. Null when the class is unknown.
plat_window win_create(const char* class_name, const char* title, int32_t width, int32_t height);
// Shows the window (the first show also sends WIN_MSG_SIZE with the client size).
void win_show(plat_window window, int32_t show_state);
// Sets the window's title.
void win_set_title(plat_window window, const char* title);
// Marks the whole client area as needing a paint; the class has no background brush,
// so erase only asks for the paint message's erase step, which draws nothing.
void win_invalidate(plat_window window, bool erase);
// Sends WIN_MSG_PAINT at once if the window needs painting.
void win_update(plat_window window);
// Begins and ends the paint step; begin marks the client area as drawn.
void win_begin_paint(plat_window window);
void win_end_paint(plat_window window);
// Sends a message straight to the window procedure and returns its answer.
//
// The user's input never reaches the procedure inside another message: key presses,
// menu choices, mouse clicks and wheel turns, dropped files and close requests are
// queued as messages, also while a command runs (WIN_MSG_COMMAND, sent or dispatched,
// until the procedure returns). A command that runs long looks at them with
// win_peek_message and win_wait_message. Message boxes and the dialogs take input as
// usual.
intptr_t win_send_message(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// Puts a message at the end of the queue; 1 on success.
int32_t win_post_message(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// What a window procedure does with messages it does not handle: WIN_MSG_CLOSE
// destroys the window, WIN_MSG_PAINT marks it drawn, everything else answers 0.
intptr_t win_default_proc(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// Destroys the window: sends WIN_MSG_DESTROY, then frees the window.
void win_destroy(plat_window window);

// --- Message loop ---------------------------------------------------------------------
// Waits for the next message: 1 with a message, 0 once the quit message arrives
// (out->wparam then holds the exit code). A pending paint comes after posted messages.
int32_t win_get_message(win_msg* out);
// Hands a message to its window's procedure and returns the procedure's answer.
intptr_t win_dispatch_message(const win_msg* msg);
// Posts the quit message with an exit code.
void win_post_quit(int32_t exit_code);
// Looks at the next message without waiting: 1 with the message win_get_message would
// return (posted messages first, then a due paint), 0 when there is none. With
// WIN_PM_REMOVE a posted message is taken off the queue (a paint stays due until the
// window is painted).
constexpr uint32_t WIN_PM_NOREMOVE = 0;
constexpr uint32_t WIN_PM_REMOVE = 1;
int32_t win_peek_message(win_msg* out, uint32_t remove);
// Waits, keeping the windows alive, until a message is there (1) or the microsecond
// clock (plat_clock_us) reaches due (0). With due below 0 there is no time limit: 0
// then means that no message can ever come (the headless window system with nothing
// queued).
int32_t win_wait_message(int64_t due);
// The command of the accelerator of table that a key-down message for window matches,
// or 0 (for any other message too).
int32_t win_find_accelerator(plat_window window, const win_accel_table* table, const win_msg* msg);
// A key-down message for window that matches an accelerator of table is sent to the
// window as that accelerator's command: 1. Anything else is left for dispatch: 0.
int32_t win_translate_accelerator(plat_window window, const win_accel_table* table, const win_msg* msg);
// The name of a key with modifiers as menus show it ("Ctrl+O", "Space", "F1"): its
// length, written with its terminating zero into out when it fits.
size_t win_key_name(uint32_t modifiers, int32_t virtual_key, char* out, size_t size);

// --- Dropped files --------------------------------------------------------------------
struct plat_drop_obj;
using plat_drop = plat_drop_obj*;

// The name of file index (from 0) of a drop: its length, written with its terminating
// zero into out when it fits; -1 when the drop holds no such file.
int64_t win_drag_query_file(plat_drop drop, int32_t index, char* out, size_t size);
// Frees a drop; the handle is dead afterwards.
void win_drag_finish(plat_drop drop);

// --- Menu -----------------------------------------------------------------------------
// The window's menu, or null.
plat_menu win_get_menu(plat_window window);
// Enables or greys an item; returns the previous state, or -1 when there is no such item.
int32_t win_enable_menu_item(plat_menu menu, int32_t id, uint32_t state);
// Checks or unchecks an item (WIN_MF_CHECKED or WIN_MF_UNCHECKED); returns the
// previous check state, or -1 when there is no such item.
int32_t win_check_menu_item(plat_menu menu, int32_t id, uint32_t check);
// Gives an item a new text ('&' marks the mnemonic) and shows it; a null text hides it.
// 1, or 0 when there is no such item.
int32_t win_set_menu_item_text(plat_menu menu, int32_t id, const char* text);

// --- Message boxes --------------------------------------------------------------------
constexpr uint32_t WIN_MB_OK = 0x0000;
constexpr uint32_t WIN_MB_ICONERROR = 0x0010;
constexpr uint32_t WIN_MB_ICONINFORMATION = 0x0040;
// The answer of a message box that was closed with its only button.
constexpr int32_t WIN_IDOK = 1;

// Shows a modal message box owned by a window (null: none); returns WIN_IDOK.
int32_t win_message_box(plat_window owner, const char* text, const char* caption, uint32_t type);

// --- Open-file dialog -----------------------------------------------------------------
struct win_open_file {
  plat_window owner;
  // Pairs of zero-terminated strings (description, patterns separated by ';'),
  // ended by one more zero. Patterns match file names whatever their case.
  const char* filter;
  int32_t filter_index;  // 1 for the first pair
  char* file;            // receives the chosen full path
  size_t file_size;
  char* file_title;  // receives the bare file name; may be null
  size_t file_title_size;
  const char* initial_dir;  // the folder shown first; null for the current folder
  const char* title;        // may be null
  const char* default_ext;  // may be null
};

// Shows the open-file dialog: 1 when a file was chosen and both names fitted their
// buffers, 0 when the user cancelled or a name was too long (nothing is written then).
int32_t win_get_open_file_name(win_open_file* dialog);
// Shows the save-file dialog, the same way: file holds the name proposed on entry (a
// bare name, or empty), and the chosen full path on return. A file that exists is
// replaced only when the user agrees in the dialog.
int32_t win_get_save_file_name(win_open_file* dialog);

// --- Pictures for the user --------------------------------------------------------------
// A picture of width x height pixels, 3 bytes (red, green, blue) each, rows top first
// with no padding. Put on the clipboard as an image: 1, or 0 on failure.
int32_t win_set_clipboard_image(const uint8_t* rgb, int32_t width, int32_t height);
// Written to path as a PNG file: 1, or 0 when it cannot be written.
int32_t win_save_png(const char* path, const uint8_t* rgb, int32_t width, int32_t height);

// --- Size and place -----------------------------------------------------------------------
// Shows the window over the whole screen with no frame or menu bar (true), or as a
// normal window again (false). The client area's new size comes as WIN_MSG_SIZE.
void win_set_fullscreen(plat_window window, bool fullscreen);
bool win_is_fullscreen(plat_window window);
// Gives the client area (below the menu bar) this size, within the screen.
void win_set_client_size(plat_window window, int32_t width, int32_t height);
// The largest client area a normal window can have on the screen it is on, frame and
// menu bar left out: 1, or 0 when unknown.
int32_t win_max_client_size(plat_window window, int32_t* width, int32_t* height);

// --- Settings -----------------------------------------------------------------------------
// Values kept for the user from one run to the next, by key ("view/size"). The value's
// length, written with its terminating zero into out when it fits; -1 when not set.
int64_t win_get_setting(const char* key, char* out, size_t size);
// Keeps a value; a null value forgets the key.
void win_set_setting(const char* key, const char* value);

// --- Start and end --------------------------------------------------------------------
// Brings up the window system for this process (may take its own options out of
// argc/argv); 1 on success, 0 when no display can be reached.
int32_t win_startup(int* argc, char** argv);
// Gives the window system back at the end of the program.
void win_shutdown();

// --- Queries --------------------------------------------------------------------------
// The directory the running program lies in (no trailing slash); 1 on success, 0 when
// it cannot be found or does not fit (out then holds an empty string).
int32_t win_program_dir(char* out, size_t size);
