// The headless backend: one in-memory window, a settable keyboard and a clock that
// moves only when a test sets it or something waits on it.
#include "platform/common/probe.h"
#include "platform/common/screen.h"
#include "platform/common/screen_state.h"
#include "platform/headless/controls.h"
#include "platform/headless/probe_internal.h"
#include "platform/headless/window_internal.h"
#include "platform/input.h"
#include "platform/system.h"

namespace {

constexpr int32_t kDefaultClientWidth = 640;
constexpr int32_t kDefaultClientHeight = 480;

struct Headless {
  plat_window window = nullptr;
  uint8_t keys[256] = {};
  void (*key_poll_hook)(int32_t) = nullptr;
  int32_t polls = 0;
  int64_t now_us = 0;
  int32_t waits = 0;
};

// One for the process; what threads share is read and changed under the screen's lock.
Headless& hl() {
  static Headless state;
  return state;
}

// Virtual-key codes of the first scan codes of a PC keyboard (0 where none).
constexpr uint8_t kScanToVk[0x3A] = {0,    0x1B, '1',  '2',  '3',  '4',  '5',  '6',  '7',  '8', '9', '0',
                                     0xBD, 0xBB, 0x08, 0x09, 'Q',  'W',  'E',  'R',  'T',  'Y', 'U', 'I',
                                     'O',  'P',  0xDB, 0xDD, 0x0D, 0x11, 'A',  'S',  'D',  'F', 'G', 'H',
                                     'J',  'K',  'L',  0xBA, 0xDE, 0xC0, 0x10, 0xDC, 'Z',  'X', 'C', 'V',
                                     'B',  'N',  'M',  0xBC, 0xBE, 0xBF, 0x10, 0x6A, 0x12, 0x20};

}  // namespace

plat_window hl_window() {
  const ScreenLock lock;
  Headless& h = hl();
  if (h.window == nullptr) h.window = screen_window_create(kDefaultClientWidth, kDefaultClientHeight);
  return h.window;
}

void hl_backend_reset() {
  const ScreenLock lock;
  hl() = Headless();
  hl_window();
}

void hl_set_client_size(int32_t width, int32_t height) { screen_window_resize(hl_window(), width, height); }
void hl_set_client_origin(int32_t x, int32_t y) { screen_window_move(hl_window(), x, y); }

void hl_set_key_state(int32_t virtual_key, uint8_t state) { hl().keys[virtual_key & 0xFF] = state; }
void hl_set_key_poll_hook(void (*hook)(int32_t poll)) {
  hl().key_poll_hook = hook;
  hl().polls = 0;
}

void hl_set_clock_us(int64_t now) { hl().now_us = now; }
int64_t hl_clock_us() { return hl().now_us; }

const std::vector<uint8_t>& hl_client_pixels() { return hl_window()->client_pixels; }
int32_t hl_client_width() { return hl_window()->client_width; }
int32_t hl_client_height() { return hl_window()->client_height; }
const plat_palette_entry* hl_hardware_palette() { return screen_hardware_palette(); }
int32_t hl_waits() { return hl().waits; }

// --- Keyboard ------------------------------------------------------------------------

uint32_t plat_map_virtual_key(uint32_t code, uint32_t map_type) {
  screen_count_call();
  if (map_type != PLAT_MAPVK_VSC_TO_VK || code >= sizeof kScanToVk) return 0;
  return kScanToVk[code];
}

int16_t plat_get_async_key_state(int32_t virtual_key) {
  const ScreenLock lock;
  screen_count_call();
  Headless& h = hl();
  if (h.key_poll_hook != nullptr) h.key_poll_hook(++h.polls);
  const bool down = (h.keys[virtual_key & 0xFF] & PLAT_KEY_DOWN) != 0;
  return down ? static_cast<int16_t>(0x8000) : 0;
}

int32_t plat_get_keyboard_state(uint8_t state[256]) {
  const ScreenLock lock;
  screen_count_call();
  for (int i = 0; i < 256; ++i) state[i] = hl().keys[i];
  return 1;
}

// --- Window queries and clocks ---------------------------------------------------------

plat_window plat_get_active_window() {
  screen_count_call();
  return hl_window();
}

int64_t plat_clock_us() {
  const ScreenLock lock;
  screen_count_call();
  return hl().now_us;
}

void plat_wait_until_us(int64_t due) {
  const ScreenLock lock;
  screen_count_call();
  Headless& h = hl();
  if (due <= h.now_us) return;
  ++h.waits;
  h.now_us = due;
}
