// Bringing the display device up and down, device contexts, the fixed font and the
// display's colour depth.
#include <cstring>

#include "gfx/gfx.h"
#include "platform/system.h"

namespace {

// Runs the display steps of gfx_init in order; the first failure ends them.
void create_display_objects() {
  GfxState& g = gfx_state();
  g.last_display_result = plat_display_create(&g.display_object);
  if (g.last_display_result != PLAT_OK) {
    g.display_object = nullptr;
    return;
  }
  g.display_window = plat_get_active_window();
  g.last_display_result =
      plat_display_set_cooperative_level(g.display_object, g.display_window, PLAT_SCL_NORMAL);
  if (g.last_display_result != PLAT_OK) return;

  g.surface_desc.caps = PLAT_CAPS_PRIMARY_SURFACE;
  g.surface_desc.width = 0;
  g.surface_desc.height = 0;
  g.surface_desc.pixel_format = plat_pixel_format{};
  g.last_display_result = plat_display_create_surface(g.display_object, &g.surface_desc, &g.primary_surface);
  if (g.last_display_result != PLAT_OK) {
    g.primary_surface = nullptr;
    return;
  }

  g.last_display_result = plat_display_create_clipper(g.display_object, 0, &g.clipper);
  if (g.last_display_result != PLAT_OK) {
    g.clipper = nullptr;
    return;
  }
  g.last_display_result = plat_clipper_set_window(g.clipper, 0, g.display_window);
  if (g.last_display_result != PLAT_OK) return;
  g.last_display_result = plat_surface_set_clipper(g.primary_surface, g.clipper);
}

}  // namespace

int32_t gfx_set_dc(plat_dc dc) {
  gfx_state().palette_dc = dc;
  gfx_state().text_dc = dc;
  return 0;
}

int32_t gfx_init() {
  GfxState& g = gfx_state();
  g.stream_address = g.stream_buffer;
  g.stream_size = GFX_STREAM_BUFFER_SIZE;
  gfx_select_font(PLAT_OEM_FIXED_FONT);
  g.drawn_value = 0;
  g.fill_word = 0;
  g.draw_x = 0;
  g.draw_y = 0;
  g.active_slot = GFX_NO_SLOT;
  g.active_surface = nullptr;
  g.lock_count = 0;

  create_display_objects();

  for (int slot = 0; slot < GFX_SLOT_COUNT; ++slot) g.slot_surface[slot] = nullptr;
  for (int i = 0; i < GFX_COLOURS; ++i) g.drawing_colour_map[i] = static_cast<uint8_t>(i);
  return 0;
}

// Frees every buffer still allocated, then releases the clipper, the primary surface
// and the display object, so that no later call can reach a released object.
int32_t gfx_finish() {
  GfxState& g = gfx_state();
  g.active_slot = GFX_NO_SLOT;
  g.active_surface = nullptr;
  g.lock_count = 0;
  for (int slot = 0; slot < GFX_SLOT_COUNT; ++slot) {
    plat_surface surface = g.slot_surface[slot];
    g.slot_surface[slot] = nullptr;
    if (surface != nullptr) plat_surface_release(surface);
  }
  if (plat_clipper clipper = g.clipper) {
    g.clipper = nullptr;
    plat_clipper_release(clipper);
  }
  if (plat_surface primary = g.primary_surface) {
    g.primary_surface = nullptr;
    plat_surface_release(primary);
  }
  if (plat_display display = g.display_object) {
    g.display_object = nullptr;
    plat_display_release(display);
  }
  return 0;
}

int32_t gfx_select_font(int32_t number) {
  GfxState& g = gfx_state();
  g.text_metrics.font = plat_get_stock_object(number);
  plat_select_font(g.text_dc, g.text_metrics.font);
  plat_text_metrics metrics{};
  plat_get_text_metrics(g.text_dc, &metrics);
  std::memcpy(gfx_header_buffer(), &metrics, sizeof metrics);  // the header buffer is the scratch
  g.text_metrics.line_height = metrics.height + metrics.external_leading;
  g.text_metrics.external_leading = metrics.external_leading;
  g.text_metrics.ave_char_width = metrics.ave_char_width;
  return 0;
}

uint32_t gfx_colour_depth() {
  const uint32_t bits = static_cast<uint32_t>(plat_get_device_caps(gfx_state().palette_dc, PLAT_BITSPIXEL));
  const uint32_t planes = static_cast<uint32_t>(plat_get_device_caps(gfx_state().palette_dc, PLAT_PLANES));
  return bits * planes;
}
