// Object registry and settings of the shared screen.
#include "platform/common/screen_state.h"

std::recursive_mutex& screen_mutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

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
  static const uint8_t low[10][3] = {{0, 0, 0},       {128, 0, 0},    {0, 128, 0},   {128, 128, 0},
                                     {0, 0, 128},     {128, 0, 128},  {0, 128, 128}, {192, 192, 192},
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

bool screen_static_entry(int index) {
  const ScreenState& s = screen_state();
  if (s.bits_per_pixel * s.planes > 8) return false;  // no hardware palette to share
  return index < 10 || index > 245;
}

void platform_attach_backend(const PlatformBackend* backend) { platform_backend = backend; }

const plat_palette_entry* screen_hardware_palette() { return screen_state().hardware_palette; }
