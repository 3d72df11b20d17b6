// What a backend of the platform layer must provide.
//
// The graphics library calls the interfaces of platform/display.h, gdi.h, input.h and
// system.h; the viewer also calls platform/window.h. The shared screen (platform/common,
// the target moxflic_platform_common) implements display.h and gdi.h over an emulated
// 8-bit palette screen, plus plat_get_client_rect, plat_client_to_screen, the
// accelerator translation, key names and the lists of dropped files. A backend is a
// static library linked with moxflic_platform_common that:
//
//  1. defines the keyboard of platform/input.h: plat_map_virtual_key,
//     plat_get_async_key_state, plat_get_keyboard_state;
//  2. defines the rest of platform/system.h: plat_get_active_window, plat_clock_us,
//     plat_wait_until_us;
//  3. for the viewer, defines the window system of platform/window.h (every win_*
//     function the shared screen does not define);
//  4. makes its windows' client areas with screen_window_create and keeps them with
//     screen_window_resize, screen_window_move and screen_window_destroy
//     (platform/common/screen.h);
//  5. when it shows pictures, hands screen_attach_backend a PlatformBackend before its
//     first window is made;
//  6. is offered to programs as the INTERFACE target moxflic_<name> (moxflic::<name>
//     once installed) that links moxflic_gfx, the backend's static library and
//     moxflic_platform_common in that order, so that a program linking the library and a
//     backend gets every symbol whatever order it names them in (platform/CMakeLists.txt).
//
// Test instrumentation is not part of the contract: the shared screen reports to a
// probe (platform/common/probe.h) only when a test backend installs one.
#pragma once

#include "platform/types.h"

struct PlatformBackend {
  const char* name;
  // A copy changed this rectangle of a window's client area (client coordinates,
  // right- and bottom-exclusive): show it.
  void (*client_changed)(plat_window window, const plat_rect& area);
  // The hardware palette changed: show the windows in their new colours.
  void (*palette_changed)();
};

// Makes backend the one the shared screen notifies (null: none, nothing is shown).
void screen_attach_backend(const PlatformBackend* backend);
