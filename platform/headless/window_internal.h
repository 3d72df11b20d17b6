// Between the headless backend's files.
#pragma once

// The keyboard, the clock and the window back to their defaults (a new 640 x 480
// window); hl_reset does this after resetting the shared screen and the probe.
void hl_backend_reset();
