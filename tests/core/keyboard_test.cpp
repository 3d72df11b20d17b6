// Asking the keyboard whether a key, or any key, is down.
#include "core_fixture.h"
#include "platform/input.h"

namespace {

TEST_F(Core, EscapeIsDownOnlyWhileHeld) {
  hl_set_key_state(PLAT_VK_ESCAPE, PLAT_KEY_DOWN);
  EXPECT_EQ(gfx_key_down(PLAT_SCAN_ESCAPE), 1);
  hl_set_key_state(PLAT_VK_ESCAPE, 0);
  EXPECT_EQ(gfx_key_down(PLAT_SCAN_ESCAPE), 0);
  hl_set_key_state(PLAT_VK_ESCAPE, PLAT_KEY_TOGGLED);  // toggled but up
  EXPECT_EQ(gfx_key_down(PLAT_SCAN_ESCAPE), 0);
}

TEST_F(Core, AnyKeyCountsExactlyDownAndDownToggled) {
  const struct {
    const char* what;
    int32_t key;
    uint8_t state;
    int32_t any;
  } cases[] = {
      {"nothing", 'A', 0, 0},
      {"left mouse button", PLAT_VK_LBUTTON, PLAT_KEY_DOWN, 0},
      {"right mouse button", PLAT_VK_RBUTTON, PLAT_KEY_DOWN, 1},
      {"caps lock toggled, up", PLAT_VK_CAPITAL, PLAT_KEY_TOGGLED, 0},
      {"caps lock toggled, held", PLAT_VK_CAPITAL, PLAT_KEY_DOWN | PLAT_KEY_TOGGLED, 1},
      {"a letter held", 'A', PLAT_KEY_DOWN, 1},
      {"other bits set", 'A', PLAT_KEY_DOWN | 0x02, 0},
  };
  for (const auto& c : cases) {
    hl_reset();
    hl_set_key_state(c.key, c.state);
    EXPECT_EQ(gfx_key_down(0), c.any) << c.what;
  }
}

}  // namespace
