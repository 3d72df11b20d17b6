// Controls of the headless backend, for tests: a settable keyboard and clock, display
// faults and settings, and what the backend recorded.
//
// Its test instrumentation (faults, call counts, the records of copies and palette
// animations) is a probe of the shared screen that hl_reset installs: a program that
// never calls hl_reset, such as the converter, counts and records nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/common/probe.h"
#include "platform/headless/headless.h"
#include "platform/types.h"

// One stretching copy as the primary surface received it.
struct HlBlit {
  plat_rect dest;  // screen coordinates
  plat_rect src;
  int32_t result;
};

// One palette animation.
struct HlAnimation {
  uint32_t start;
  uint32_t count;
};

// Back to the defaults: 8 bits per pixel and one plane, the 20 static colours in the
// system palette, a 640 x 480 client area at screen position 0, 0, no key down, the
// clock at 0, no faults, every record and counter empty, the probe installed. Objects
// still alive are freed.
void hl_reset();

// Makes one display step answer code (0 makes it succeed again).
void hl_fail_step(ScreenStep step, int32_t code);
// The next n copies onto the primary surface answer the lost-surface code.
void hl_lose_primary(int32_t n);

// Display settings.
void hl_set_depth(int32_t bits_per_pixel, int32_t planes);
void hl_set_system_palette(const plat_palette_entry entries[256]);

// Keyboard: the snapshot byte of a virtual key, and whether it is down right now.
void hl_set_key_state(int32_t virtual_key, uint8_t state);
// Called before each answer of plat_get_async_key_state, so a test can press or release
// keys as playback goes on (poll counts from 1). Null removes it.
void hl_set_key_poll_hook(void (*hook)(int32_t poll));

// Clock, in microseconds. Waits move it forward to their due time.
void hl_set_clock_us(int64_t now);
int64_t hl_clock_us();

// Records and counts since hl_reset.
const std::vector<HlBlit>& hl_blits();
const std::vector<HlAnimation>& hl_animations();
int64_t hl_platform_calls();   // every call into the platform layer counts one
int32_t hl_live_objects();     // display objects, surfaces, clippers, palettes still alive
int32_t hl_locked_surfaces();  // surfaces locked right now
int32_t hl_waits();            // number of plat_wait_until_us calls that had to wait
// Calls that passed a handle of an object that does not exist (any is a fault).
int32_t hl_dead_handle_uses();
