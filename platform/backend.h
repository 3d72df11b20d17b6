// What a backend of the platform layer must provide.
//
// The graphics library calls the interfaces of platform/display.h, gdi.h, input.h and
// system.h; the viewer also calls platform/window.h. The shared code (platform/common,
// the target moxflic_platform_common) implements display.h and gdi.h over an emulated
// 8-bit palette screen, plus plat_get_client_rect, plat_client_to_screen, the
// accelerator translation, key names and the lists of dropped files; its window core
// implements the rest of window.h once for every backend (window classes, the message
// queue, dispatch, the default procedure, the quit message, the menu's item states)
// and calls through the backend's PlatformBackend for what only the backend can do. A
// backend is a static library linked with moxflic_platform_common that:
//
//  1. defines the keyboard of platform/input.h: plat_map_virtual_key,
//     plat_get_async_key_state, plat_get_keyboard_state;
//  2. defines the rest of platform/system.h: plat_get_active_window, plat_clock_us,
//     plat_wait_until_us;
//  3. for the viewer, defines win_startup and win_shutdown of platform/window.h, and
//     hands platform_attach_backend its PlatformBackend before it makes a window (the
//     headless backend does so in win_startup and in hlw_reset);
//  4. makes its windows' client areas with screen_window_create and keeps them with
//     screen_window_resize, screen_window_move and screen_window_destroy
//     (platform/common/screen.h), and tells the window core of a client area's new size
//     with window_core_resized (platform/common/window_core.h);
//  5. turns the user's input into messages posted with win_post_message;
//  6. is offered to programs as the INTERFACE target moxflic_<name> (moxflic::<name>
//     once installed) that links moxflic_gfx, the backend's static library and
//     moxflic_platform_common in that order, so that a program linking the library and a
//     backend gets every symbol whatever order it names them in (platform/CMakeLists.txt).
//
// Test instrumentation is not part of the contract: the shared screen and the window
// core report to a probe (platform/common/probe.h) only when a test backend installs one.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"
#include "platform/window.h"

// The functions a backend provides, in the order a program meets them. The window core
// calls the window entries only for the window it made and has not destroyed.
struct PlatformBackend {
  const char* name;

  // --- The shared screen (either may be null: the backend shows no pictures) ---------
  // A copy changed this rectangle of a window's client area (client coordinates,
  // right- and bottom-exclusive): show it.
  void (*client_changed)(plat_window window, const plat_rect& area);
  // The hardware palette changed: show the windows in their new colours.
  void (*palette_changed)();

  // --- The native window ---------------------------------------------------------------
  // Makes the native window of a class, its menu bar and its client area (a window of
  // the shared screen): that window, or null.
  plat_window (*create_window)(const win_class* window_class, const char* title, int32_t width,
                               int32_t height);
  // Shows the window for the first time and reports its client size (window_core_resized).
  void (*show_window)(plat_window window);
  // Hides and frees the native window and its client area.
  void (*destroy_window)(plat_window window);
  // Shows a new title.
  void (*set_title)(plat_window window, const char* title);
  // Shows a menu item's new state and text (WIN_MF_HIDDEN: the item is not shown).
  void (*menu_changed)(plat_window window, const win_menu_item& item);
  // Enters or leaves full screen (only when that changes anything).
  void (*set_fullscreen)(plat_window window, bool fullscreen);
  // Whether the window is in full screen.
  bool (*is_fullscreen)(plat_window window);
  // Gives the client area this size (the core passes any size; the backend keeps it
  // within the screen).
  void (*set_client_size)(plat_window window, int32_t width, int32_t height);
  // The largest client area of a normal window on its screen: 1, or 0 when unknown.
  int32_t (*max_client_size)(plat_window window, int32_t* width, int32_t* height);

  // --- Native events -------------------------------------------------------------------
  // A message was posted or a paint asked for: wakes a wait for native events.
  void (*wake)();
  // Runs native events (which post the user's input) until one came or the microsecond
  // clock reaches due (below 0: no limit): false once due came, or when no event can come.
  bool (*wait_events)(int64_t due);
  // A command starts (true) or the outermost command ends (false): user input held back.
  void (*hold_input)(bool held);

  // --- Dialogs and the user's things ---------------------------------------------------
  // Shows a modal message box (what win_message_box shows).
  void (*message_box)(plat_window owner, const char* text, const char* caption, uint32_t type);
  // Shows the open-file dialog (save: the save-file dialog): true with the full path and
  // the bare file name chosen, false when the user cancelled.
  bool (*choose_file)(const win_open_file* dialog, bool save, std::string* path, std::string* title);
  // Puts a picture of 3 bytes a pixel (RGB) on the clipboard: 1, or 0 on failure.
  int32_t (*set_clipboard_image)(const uint8_t* rgb, int32_t width, int32_t height);
  // Writes a picture of 3 bytes a pixel to path as a PNG file: 1, or 0 on failure.
  int32_t (*save_png)(const char* path, const uint8_t* rgb, int32_t width, int32_t height);
  // A kept setting: true with its value, false when it is not set.
  bool (*get_setting)(const char* key, std::string* value);
  // Keeps a setting; a null value forgets it.
  void (*set_setting)(const char* key, const char* value);
  // The program's directory where the backend knows it (true), or false for the
  // directory of the running program file.
  bool (*program_dir)(std::string* dir);
};

// Makes backend the one the shared screen notifies and the window core calls (null:
// none; nothing is shown and no window can be made).
void platform_attach_backend(const PlatformBackend* backend);
