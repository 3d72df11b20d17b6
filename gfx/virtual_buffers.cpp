// The pool of 32 virtual buffers and the active buffer.
#include "gfx/gfx.h"

namespace {

bool bad_slot(int32_t slot) { return static_cast<uint32_t>(slot) >= GFX_SLOT_COUNT; }

}  // namespace

int32_t vb_alloc(int32_t width, int32_t height) {
  GfxState& g = gfx_state();
  int32_t slot = 0;
  while (slot < GFX_SLOT_COUNT && g.slot_surface[slot] != nullptr) ++slot;
  if (slot == GFX_SLOT_COUNT) return -1;
  if (g.display_object == nullptr) {
    g.last_display_result = PLAT_ERR_NO_OBJECT;
    return PLAT_ERR_NO_OBJECT;
  }

  // Width rounded up to a multiple of 4; sizes the surface service cannot hold are refused there.
  const int64_t rounded = (int64_t{width} + 3) & ~int64_t{3};
  const int32_t w = rounded > INT32_MAX ? -1 : static_cast<int32_t>(rounded);
  plat_surface_desc& d = g.surface_desc;
  d.width = w;
  d.height = height;
  d.pixel_format = plat_pixel_format{sizeof(plat_pixel_format), PLAT_PF_PALETTE_INDEXED8 | PLAT_PF_RGB, 8};
  d.caps = PLAT_CAPS_SYSTEM_MEMORY;
  plat_surface surface = nullptr;
  const int32_t result = plat_display_create_surface(g.display_object, &d, &surface);
  if (result != PLAT_OK) {
    g.last_display_result = result;
    return result;
  }

  g.slot_surface[slot] = surface;
  g.slot_width[slot] = w;
  g.slot_height[slot] = height;
  g.slot_clip_min_x[slot] = 0;
  g.slot_clip_max_x[slot] = w - 1;
  g.slot_clip_min_y[slot] = 0;
  g.slot_clip_max_y[slot] = height - 1;
  return slot;
}

int32_t vb_open(int32_t slot) {
  GfxState& g = gfx_state();
  if (bad_slot(slot)) return -1;
  if (g.slot_surface[slot] == nullptr) return -2;
  g.active_surface = g.slot_surface[slot];
  g.active_slot = static_cast<int8_t>(slot);
  g.active_width = g.slot_width[slot];
  g.row_pitch = g.slot_width[slot];
  g.active_height = g.slot_height[slot];
  g.clip_min_x = g.slot_clip_min_x[slot];
  g.clip_max_x = g.slot_clip_max_x[slot];
  g.clip_min_y = g.slot_clip_min_y[slot];
  g.clip_max_y = g.slot_clip_max_y[slot];
  g.buffer_size = static_cast<uint32_t>(g.active_width) * static_cast<uint32_t>(g.active_height);
  return 0;
}

int32_t vb_close() {
  gfx_state().active_slot = GFX_NO_SLOT;
  gfx_state().active_surface = nullptr;
  return 0;
}

int32_t vb_free(int32_t slot) {
  GfxState& g = gfx_state();
  if (bad_slot(slot) || slot == g.active_slot) return 0;
  plat_surface surface = g.slot_surface[slot];
  g.slot_surface[slot] = nullptr;
  if (surface != nullptr) plat_surface_release(surface);
  return 0;
}

int32_t gfx_max_x() { return gfx_state().active_width - 1; }
int32_t gfx_max_y() { return gfx_state().active_height - 1; }
