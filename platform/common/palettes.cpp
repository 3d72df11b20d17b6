// Device contexts, the fixed font, colour depth, the system palette, palette objects
// and the hardware palette of the shared screen.
#include <algorithm>

#include "platform/common/screen_state.h"
#include "platform/gdi.h"

namespace {

// The fixed font's metrics.
constexpr plat_text_metrics kFixedFont = {12, 10, 2, 0, 2, 8, 8};

// Copies a palette's non-static entries into the hardware palette.
void show_palette(const plat_palette_obj& palette, uint32_t start, uint32_t count) {
  ScreenState& s = screen_state();
  for (uint32_t i = start; i < start + count && i < 256; ++i)
    if (!screen_static_entry(static_cast<int>(i))) s.hardware_palette[i] = palette.entries[i];
  if (platform_backend != nullptr && platform_backend->palette_changed != nullptr)
    platform_backend->palette_changed();
}

}  // namespace

plat_dc plat_get_dc(plat_window window) {
  const ScreenLock lock;
  screen_count_call();
  auto* dc = new plat_dc_obj();
  dc->window = window;
  screen_state().dcs.insert(dc);
  return dc;
}

int32_t plat_release_dc(plat_window, plat_dc dc) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (!screen_alive(s.dcs, dc)) return 0;
  s.dcs.erase(dc);
  delete dc;
  return 1;
}

plat_font plat_get_stock_object(int32_t number) {
  const ScreenLock lock;
  screen_count_call();
  return number == PLAT_OEM_FIXED_FONT ? &screen_state().fixed_font : nullptr;
}

plat_font plat_select_font(plat_dc dc, plat_font font) {
  const ScreenLock lock;
  screen_count_call();
  if (!screen_alive(screen_state().dcs, dc)) return nullptr;
  plat_font previous = dc->font;
  dc->font = font;
  return previous;
}

int32_t plat_get_text_metrics(plat_dc dc, plat_text_metrics* out) {
  const ScreenLock lock;
  screen_count_call();
  if (!screen_alive(screen_state().dcs, dc) || out == nullptr) return 0;
  *out = kFixedFont;
  return 1;
}

int32_t plat_get_device_caps(plat_dc dc, int32_t index) {
  const ScreenLock lock;
  screen_count_call();
  if (!screen_alive(screen_state().dcs, dc)) return 0;
  if (index == PLAT_BITSPIXEL) return screen_state().bits_per_pixel;
  if (index == PLAT_PLANES) return screen_state().planes;
  return 0;
}

uint32_t plat_get_system_palette_entries(plat_dc dc, uint32_t start, uint32_t count,
                                         plat_palette_entry* out) {
  const ScreenLock lock;
  screen_count_call();
  if (!screen_alive(screen_state().dcs, dc) || out == nullptr || start >= 256) return 0;
  const uint32_t n = std::min(count, 256 - start);
  for (uint32_t i = 0; i < n; ++i) out[i] = screen_state().system_palette[start + i];
  return n;
}

plat_palette plat_create_palette(const plat_logpalette* palette) {
  const ScreenLock lock;
  screen_count_call();
  if (palette == nullptr || palette->version != PLAT_LOGPALETTE_VERSION) return nullptr;
  auto* object = new plat_palette_obj();
  const int n = std::min<int>(palette->entry_count, PLAT_PALETTE_ENTRIES);
  for (int i = 0; i < n; ++i) object->entries[i] = palette->entries[i];
  screen_state().palettes.insert(object);
  return object;
}

plat_palette plat_select_palette(plat_dc dc, plat_palette palette, bool) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (!screen_alive(s.dcs, dc) || !screen_alive(s.palettes, palette)) return nullptr;
  plat_palette previous = dc->palette;
  dc->palette = palette;
  return previous;
}

uint32_t plat_realize_palette(plat_dc dc) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (!screen_alive(s.dcs, dc) || dc->palette == nullptr || !screen_alive(s.palettes, dc->palette)) return 0;
  s.realized = dc->palette;
  show_palette(*dc->palette, 0, 256);
  return 256;
}

int32_t plat_animate_palette(plat_palette palette, uint32_t start, uint32_t count,
                             const plat_palette_entry* entries) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (!screen_alive(s.palettes, palette) || entries == nullptr || start >= 256) return 0;
  const uint32_t n = std::min(count, 256 - start);
  if (screen_probe != nullptr) screen_probe->animated(start, n);
  for (uint32_t i = 0; i < n; ++i) {
    // Only entries reserved for animation change.
    if (palette->entries[start + i].flags & PLAT_PC_RESERVED) palette->entries[start + i] = entries[i];
  }
  if (s.realized == palette) show_palette(*palette, start, n);
  return 1;
}

int32_t plat_delete_palette(plat_palette palette) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (!screen_alive(s.palettes, palette)) return 0;
  for (plat_dc dc : s.dcs)
    if (dc->palette == palette) dc->palette = nullptr;
  if (s.realized == palette) s.realized = nullptr;
  s.palettes.erase(palette);
  delete palette;
  return 1;
}
