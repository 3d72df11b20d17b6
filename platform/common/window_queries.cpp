// Window queries, the same on every backend: a window's client
// area and its place on the screen are kept by the shared screen.
#include "platform/common/screen.h"
#include "platform/common/screen_state.h"
#include "platform/system.h"

int32_t plat_get_client_rect(plat_window window, plat_rect* out) {
  const ScreenLock lock;
  screen_count_call();
  if (window == nullptr || out == nullptr) return 0;
  *out = plat_rect{0, 0, window->client_width, window->client_height};
  return 1;
}

int32_t plat_client_to_screen(plat_window window, plat_point* point) {
  const ScreenLock lock;
  screen_count_call();
  if (window == nullptr || point == nullptr) return 0;
  point->x += window->origin_x;
  point->y += window->origin_y;
  return 1;
}
