// The library brought up on the headless backend in the order the viewer uses, with one
// buffer of the picture's size, and what the screen shows read back from it.
#include <cstring>
#include <string>

#include "converter/export.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "platform/display.h"
#include "platform/gdi.h"
#include "platform/headless/headless.h"

namespace {

// The drawing colour the viewer sets when its window is created.
constexpr int32_t VIEWER_DRAWING_COLOUR = 25;

thread_local plat_dc canvas_dc = nullptr;
thread_local plat_palette canvas_palette = nullptr;
thread_local int32_t canvas_slot = GFX_NO_SLOT;

}  // namespace

bool canvas_open(int32_t width, int32_t height) {
  canvas_dc = plat_get_dc(hl_window());
  gfx_set_dc(canvas_dc);
  canvas_palette = gfx_default_palette();
  gfx_realize_palette(canvas_palette);
  gfx_set_colour(VIEWER_DRAWING_COLOUR);
  gfx_init();
  canvas_slot = width > 0 && height > 0 ? vb_alloc(width, height) : GFX_NO_SLOT;
  if (canvas_slot < 0 || vb_open(canvas_slot) != 0) {
    canvas_slot = GFX_NO_SLOT;
    return false;
  }
  return true;
}

void canvas_take_pixels(Picture& picture) {
  picture.pixels.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height), 0);
  if (!vb_lock()) {
    vb_unlock();
    return;
  }
  for (int32_t y = 0; y < picture.height && y < gfx_state().active_height; y++) {
    std::memcpy(
        picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width),
        gfx_state().pixel_address + static_cast<size_t>(y) * static_cast<size_t>(gfx_state().row_pitch),
        static_cast<size_t>(picture.width));
  }
  vb_unlock();
}

void canvas_take_palette(Picture& picture) {
  const plat_palette_entry* shown = hl_hardware_palette();
  for (int i = 0; i < GFX_COLOURS; i++) {
    picture.palette[i][0] = shown[i].red;
    picture.palette[i][1] = shown[i].green;
    picture.palette[i][2] = shown[i].blue;
  }
}

void canvas_close() {
  if (canvas_slot != GFX_NO_SLOT) {
    vb_close();
    vb_free(canvas_slot);
    canvas_slot = GFX_NO_SLOT;
  }
  gfx_finish();
  if (canvas_palette) plat_delete_palette(canvas_palette);
  if (canvas_dc) plat_release_dc(hl_window(), canvas_dc);
  canvas_palette = nullptr;
  canvas_dc = nullptr;
}

std::string canvas_too_large(const std::string& input, int64_t width, int64_t height) {
  return input + ": a picture of " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels is too large to decode (a buffer holds at most " + std::to_string(PLAT_MAX_SURFACE_PIXELS) +
         " pixels); it is not damaged";
}
