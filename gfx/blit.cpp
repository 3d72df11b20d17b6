// The stretching copy of the active buffer into the display window, the fills of the
// window and of the buffer, and the buffer read back in the colours on screen.
#include <cstring>

#include "gfx/gfx.h"
#include "platform/system.h"

namespace {

int32_t clamp32(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

}  // namespace

int32_t vb_blit_scaled(int32_t sx1, int32_t sx2, int32_t sy1, int32_t sy2, int32_t dx1, int32_t dx2,
                       int32_t dy1, int32_t dy2) {
  GfxState& g = gfx_state();
  if (g.active_slot < 0 || g.primary_surface == nullptr) return 0;
  g.blit_fx.rop = PLAT_ROP_SRCCOPY;
  plat_point origin{0, 0};
  plat_client_to_screen(g.display_window, &origin);
  const plat_rect src{sx1, sy1, clamp32(int64_t{sx2} + 1), clamp32(int64_t{sy2} + 1)};
  const plat_rect dest{clamp32(int64_t{dx1} + origin.x), clamp32(int64_t{dy1} + origin.y),
                       clamp32(int64_t{dx2} + origin.x + 1), clamp32(int64_t{dy2} + origin.y + 1)};
  // A lost primary surface is restored and the copy tried again, a few times at most.
  for (int attempt = 0; attempt <= GFX_BLIT_RETRIES; ++attempt) {
    const int32_t result = plat_surface_blt(g.primary_surface, &dest, g.active_surface, &src,
                                            PLAT_BLT_WAIT | PLAT_BLT_ROP, &g.blit_fx);
    if (result != PLAT_ERR_SURFACE_LOST || attempt == GFX_BLIT_RETRIES) break;
    plat_surface_restore(g.primary_surface);
  }
  return 0;
}

int32_t vb_fill_window(int32_t dx1, int32_t dx2, int32_t dy1, int32_t dy2, uint8_t colour) {
  GfxState& g = gfx_state();
  if (g.primary_surface == nullptr || dx2 < dx1 || dy2 < dy1) return 0;
  plat_point origin{0, 0};
  plat_client_to_screen(g.display_window, &origin);
  const plat_rect dest{clamp32(int64_t{dx1} + origin.x), clamp32(int64_t{dy1} + origin.y),
                       clamp32(int64_t{dx2} + origin.x + 1), clamp32(int64_t{dy2} + origin.y + 1)};
  plat_blt_fx fx = gfx_sized<plat_blt_fx>();
  fx.fill_colour = colour;
  plat_surface_blt(g.primary_surface, &dest, nullptr, nullptr, PLAT_BLT_WAIT | PLAT_BLT_COLOURFILL, &fx);
  return 0;
}

int32_t vb_read_rgb(int32_t width, int32_t height, uint8_t* rgb) {
  GfxState& g = gfx_state();
  if (width <= 0 || height <= 0 || width > g.active_width || height > g.active_height || rgb == nullptr)
    return 0;
  int32_t done = 0;
  if (vb_lock()) {
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = g.pixel_address + static_cast<size_t>(y) * static_cast<size_t>(g.row_pitch);
      uint8_t* out = rgb + 3 * static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int32_t x = 0; x < width; ++x) {
        const plat_palette_entry& e = g.logical_palette.entries[row[x]];
        out[3 * x] = e.red;
        out[3 * x + 1] = e.green;
        out[3 * x + 2] = e.blue;
      }
    }
    done = 1;
  }
  vb_unlock();
  return done;
}

int32_t gfx_erase() {
  if (vb_lock()) std::memset(gfx_state().pixel_address, gfx_state().drawn_value, gfx_state().buffer_size);
  vb_unlock();
  return 0;
}
