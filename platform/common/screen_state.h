// The shared screen's objects and settings, for the files that implement it.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "platform/backend.h"
#include "platform/common/probe.h"
#include "platform/common/screen.h"
#include "platform/types.h"

struct plat_display_obj {
  plat_window cooperative_window = nullptr;
};

struct plat_surface_obj {
  plat_display owner = nullptr;
  bool primary = false;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;
  int32_t lock_count = 0;
  plat_clipper clipper = nullptr;
};

struct plat_clipper_obj {
  plat_window window = nullptr;
};

struct plat_font_obj {
  int32_t stock_number = 0;
};

struct plat_dc_obj {
  plat_window window = nullptr;  // null for the whole screen
  plat_palette palette = nullptr;
  plat_font font = nullptr;
};

struct plat_palette_obj {
  plat_palette_entry entries[256] = {};
};

struct ScreenState {
  // Every object handed out and not yet released, by kind.
  std::set<plat_display> displays;
  std::set<plat_surface> surfaces;
  std::set<plat_clipper> clippers;
  std::set<plat_dc> dcs;
  std::set<plat_palette> palettes;
  std::vector<plat_window> windows;
  plat_palette_entry system_palette[256] = {};
  plat_palette_entry hardware_palette[256] = {};
  plat_palette realized = nullptr;  // the palette whose colours the hardware shows
  int32_t bits_per_pixel = 8;
  int32_t planes = 1;
  plat_font_obj fixed_font{10};
};

ScreenState& screen_state();

// The screen is one for the process, used by every thread that decodes: each public
// function holds this lock while it runs (calls may nest).
std::recursive_mutex& screen_mutex();
struct ScreenLock {
  std::lock_guard<std::recursive_mutex> guard{screen_mutex()};
};

// The probe and the backend installed, or null. The window core calls the backend too.
inline constinit const ScreenProbe* screen_probe = nullptr;
inline constinit const PlatformBackend* platform_backend = nullptr;

// Counts one call into the platform layer.
inline void screen_count_call() {
  if (screen_probe == nullptr) return;
  const ScreenLock lock;
  screen_probe->call();
}
// The fault code set for a step (0 for none).
inline int32_t screen_fault(ScreenStep step) {
  return screen_probe != nullptr ? screen_probe->fault(step) : 0;
}

// True when h is a live object of its kind. A handle that is neither null nor live
// (released, or never handed out) counts as a dead-handle use.
template <typename T>
bool screen_alive(const std::set<T>& kind, T h) {
  if (h == nullptr) return false;
  if (kind.count(h) != 0) return true;
  if (screen_probe != nullptr) screen_probe->dead_handle();
  return false;
}
// Is this entry one of the display's static colours at the current depth?
bool screen_static_entry(int index);
