// Between the headless backend's files.
#pragma once

#include <cstdint>

// The keyboard, the clock and the window back to their defaults (a new 640 x 480
// window); hl_reset does this after resetting the shared screen and the probe.
void hl_backend_reset();
// Records a message the window core sent to the window procedure (the probe's report).
void hl_window_sent(uint32_t message, uintptr_t wparam, intptr_t lparam);
