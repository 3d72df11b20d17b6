// What a test backend may ask of the shared screen. Kept apart from the rest of the
// screen, so that a program that never asks links none of it.
#include "platform/common/probe.h"

#include "platform/common/screen_state.h"

void screen_set_probe(const ScreenProbe* probe) { screen_probe = probe; }

void screen_set_depth(int32_t bits_per_pixel, int32_t planes) {
  const ScreenLock lock;
  screen_state().bits_per_pixel = bits_per_pixel;
  screen_state().planes = planes;
}

void screen_set_system_palette(const plat_palette_entry entries[256]) {
  const ScreenLock lock;
  ScreenState& s = screen_state();
  for (int i = 0; i < 256; ++i) s.system_palette[i] = entries[i];
  for (int i = 0; i < 256; ++i)
    if (screen_static_entry(i)) s.hardware_palette[i] = entries[i];
}

int32_t screen_live_objects() {
  const ScreenLock lock;
  const ScreenState& s = screen_state();
  return static_cast<int32_t>(s.displays.size() + s.surfaces.size() + s.clippers.size() + s.palettes.size());
}

int32_t screen_locked_surfaces() {
  const ScreenLock lock;
  int32_t n = 0;
  for (plat_surface surface : screen_state().surfaces) n += surface->lock_count > 0 ? 1 : 0;
  return n;
}

void screen_reset() {
  const ScreenLock lock;
  ScreenState& s = screen_state();
  std::vector<plat_window> windows = s.windows;
  for (plat_window w : windows) screen_window_destroy(w);
  for (plat_display d : s.displays) delete d;
  for (plat_surface x : s.surfaces) delete x;
  for (plat_clipper c : s.clippers) delete c;
  for (plat_dc d : s.dcs) delete d;
  for (plat_palette p : s.palettes) delete p;
  s = ScreenState();
  screen_default_system_palette(s.system_palette);
  for (int i = 0; i < 256; ++i) s.hardware_palette[i] = s.system_palette[i];
}
