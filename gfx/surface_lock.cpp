// The surface lock protocol: a nesting count around all pixel work on the active buffer.
#include "gfx/gfx.h"

int32_t vb_lock() {
  GfxState& g = gfx_state();
  if (g.active_slot < 0) return 0;
  if (g.lock_count == 0) {
    // Only an address that a successful lock supplied is ever drawn through.
    if (plat_surface_lock(g.active_surface, &g.surface_desc, PLAT_LOCK_WAIT) != PLAT_OK ||
        g.surface_desc.surface == nullptr) {
      g.pixel_address = nullptr;
      return 0;
    }
    g.pixel_address = g.surface_desc.surface;
  }
  ++g.lock_count;
  return 1;
}

void vb_unlock() {
  GfxState& g = gfx_state();
  if (g.lock_count == 0) return;
  if (--g.lock_count == 0) {
    plat_surface_unlock(g.active_surface);
    g.pixel_address = nullptr;
  }
}
