// Window queries the library needs, and the clocks.
#pragma once

#include "platform/types.h"

// The window that is active now, or null.
plat_window plat_get_active_window();
// The client rectangle of a window: left 0, top 0, right its width, bottom its height.
int32_t plat_get_client_rect(plat_window window, plat_rect* out);
// Turns a point in a window's client area into screen coordinates.
int32_t plat_client_to_screen(plat_window window, plat_point* point);

// A monotonic clock in microseconds.
int64_t plat_clock_us();
// Waits until the microsecond clock reaches due (returns at once if it has). Backends
// keep the window alive meanwhile; the headless one advances its clock instead of sleeping.
void plat_wait_until_us(int64_t due);
