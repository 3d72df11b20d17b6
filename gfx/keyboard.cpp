// Asking the keyboard directly whether a key, or any key, is down.
#include "gfx/gfx.h"
#include "platform/input.h"

namespace {

// Snapshot entries below this are never looked at (the left mouse button is entry 1).
constexpr int kFirstCountedKey = 2;

bool snapshot_holds(uint8_t value) {
  for (int k = kFirstCountedKey; k < GFX_KEY_STATES; ++k)
    if (gfx_state().key_state[k] == value) return true;
  return false;
}

}  // namespace

int32_t gfx_key_down(int32_t code) {
  if (code != 0) {
    const uint32_t virtual_key = plat_map_virtual_key(static_cast<uint32_t>(code), PLAT_MAPVK_VSC_TO_VK);
    const uint16_t state = static_cast<uint16_t>(plat_get_async_key_state(static_cast<int32_t>(virtual_key)));
    return (state & 0x8000u) ? 1 : 0;
  }
  plat_get_keyboard_state(gfx_state().key_state);
  if (snapshot_holds(PLAT_KEY_DOWN)) return 1;
  if (snapshot_holds(PLAT_KEY_DOWN | PLAT_KEY_TOGGLED)) return 1;
  return 0;
}
