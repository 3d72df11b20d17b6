// The library state block and its values at load.
#include "gfx/gfx.h"

GfxState gfx_state;

void gfx_load_state() {
  gfx_state = GfxState{};
  gfx_state.surface_desc.size = sizeof(plat_surface_desc);
  gfx_state.blit_fx.size = sizeof(plat_blt_fx);
  gfx_state.active_slot = GFX_NO_SLOT;
  gfx_state.stream_address = gfx_state.stream_buffer;
  gfx_state.stream_size = GFX_STREAM_BUFFER_SIZE;
  gfx_state.io_handle = -1;
  gfx_state.logical_palette.version = PLAT_LOGPALETTE_VERSION;
  gfx_state.logical_palette.entry_count = PLAT_PALETTE_ENTRIES;
}

namespace {

// The state block holds its load values before main runs.
struct LoadValues {
  LoadValues() { gfx_load_state(); }
} load_values;

}  // namespace
