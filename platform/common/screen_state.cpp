// Object registry, settings and records of the shared screen.
#include "platform/common/screen_state.h"

#include "platform/common/screen_diag.h"

ScreenState& screen_state() {
  static ScreenState state = [] {
    ScreenState s;
    screen_default_system_palette(s.system_palette);
    for (int i = 0; i < 256; ++i) s.hardware_palette[i] = s.system_palette[i];
    return s;
  }();
  return state;
}

void screen_default_system_palette(plat_palette_entry out[256]) {
  static const uint8_t low[10][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                     {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                     {192, 220, 192}, {166, 202, 240}};
  static const uint8_t high[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                      {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                      {0, 255, 255},   {255, 255, 255}};
  for (int i = 0; i < 256; ++i) out[i] = {0, 0, 0, 0};
  for (int i = 0; i < 10; ++i) {
    out[i] = {low[i][0], low[i][1], low[i][2], 0};
    out[246 + i] = {high[i][0], high[i][1], high[i][2], 0};
  }
}

int32_t screen_fault(HlStep step) { return screen_state().faults[static_cast<int>(step)]; }

bool screen_static_entry(int index) {
  const ScreenState& s = screen_state();
  if (s.bits_per_pixel * s.planes > 8) return false;  // no hardware palette to share
  return index < 10 || index > 245;
}

void screen_count_call() { ++screen_state().calls; }
int64_t screen_calls() { return screen_state().calls; }
void screen_note_dead_handle() { ++screen_state().dead_handle_uses; }
int32_t screen_dead_handle_uses() { return screen_state().dead_handle_uses; }
void screen_set_fault(HlStep step, int32_t code) {
  screen_state().faults[static_cast<int>(step)] = code;
}
void screen_set_lost_copies(int32_t n) { screen_state().lost_copies = n; }
const std::vector<HlBlit>& screen_blit_log() { return screen_state().blits; }
const std::vector<HlAnimation>& screen_animation_log() { return screen_state().animations; }
int32_t screen_live_objects() {
  const ScreenState& s = screen_state();
  return static_cast<int32_t>(s.displays.size() + s.surfaces.size() + s.clippers.size() +
                              s.palettes.size());
}

int32_t screen_locked_surfaces() {
  int32_t n = 0;
  for (plat_surface surface : screen_state().surfaces) n += surface->lock_count > 0 ? 1 : 0;
  return n;
}

void screen_reset() {
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

void screen_set_depth(int32_t bits_per_pixel, int32_t planes) {
  screen_state().bits_per_pixel = bits_per_pixel;
  screen_state().planes = planes;
}

void screen_set_system_palette(const plat_palette_entry entries[256]) {
  ScreenState& s = screen_state();
  for (int i = 0; i < 256; ++i) s.system_palette[i] = entries[i];
  for (int i = 0; i < 256; ++i)
    if (screen_static_entry(i)) s.hardware_palette[i] = entries[i];
}

const plat_palette_entry* screen_hardware_palette() { return screen_state().hardware_palette; }
