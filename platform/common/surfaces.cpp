// The surface service of the shared screen: display object, surfaces, clipper, the
// stretching copy into the windows' client areas, and the windows themselves.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/common/screen.h"
#include "platform/common/screen_state.h"
#include "platform/display.h"

namespace {

constexpr int32_t kErrInvalidRect = static_cast<int32_t>(0x88760096u);
constexpr int32_t kErrInvalidPixelFormat = static_cast<int32_t>(0x88760091u);
constexpr int32_t kErrNotLocked = static_cast<int32_t>(0x887601A4u);

// The backend is told of changed client areas (the headless one shows nothing).
bool shows_pictures() { return platform_backend != nullptr && platform_backend->client_changed != nullptr; }

// The fault set for a step, or 0; counts the call either way.
int32_t begin_step(ScreenStep step) {
  screen_count_call();
  return screen_fault(step);
}

bool rect_inside(const plat_rect& r, int32_t width, int32_t height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width &&
         r.bottom <= height;
}

bool same_rect(const plat_rect& a, const plat_rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The part of a rectangle (screen coordinates) that lies in a window's client area, in
// client coordinates; empty (left >= right or top >= bottom) when none does.
plat_rect client_part(plat_window window, const plat_rect& rect) {
  const int64_t left = int64_t{rect.left} - window->origin_x;
  const int64_t top = int64_t{rect.top} - window->origin_y;
  const int64_t right = int64_t{rect.right} - window->origin_x;
  const int64_t bottom = int64_t{rect.bottom} - window->origin_y;
  return plat_rect{static_cast<int32_t>(std::max<int64_t>(0, left)),
                   static_cast<int32_t>(std::max<int64_t>(0, top)),
                   static_cast<int32_t>(std::min<int64_t>(window->client_width, right)),
                   static_cast<int32_t>(std::min<int64_t>(window->client_height, bottom))};
}

// Nearest-neighbour stretch of src_rect of src onto dest_rect (screen coordinates),
// limited to the client area of one window. A copy with the same rectangles as the
// window's last one redraws only the destination of the source pixels that differ
// from those it drew then (a playing animation changes a part of each frame), and the
// backend is told of that part alone.
void stretch_into(plat_window window, const plat_surface_obj& src, const plat_rect& src_rect,
                  const plat_rect& dest_rect) {
  const int64_t dw = int64_t{dest_rect.right} - dest_rect.left;
  const int64_t dh = int64_t{dest_rect.bottom} - dest_rect.top;
  const int64_t sw = int64_t{src_rect.right} - src_rect.left;
  const int64_t sh = int64_t{src_rect.bottom} - src_rect.top;
  // The destination in client coordinates, cut to the client area.
  const int64_t left = int64_t{dest_rect.left} - window->origin_x;
  const int64_t top = int64_t{dest_rect.top} - window->origin_y;
  const plat_rect part = client_part(window, dest_rect);
  const int64_t x0 = part.left, y0 = part.top, x1 = part.right, y1 = part.bottom;
  if (x0 >= x1 || y0 >= y1) return;
  const bool again = window->copy_valid && same_rect(window->copy_src, src_rect) &&
                     same_rect(window->copy_dest, dest_rect) &&
                     window->copy_source.size() == static_cast<size_t>(sw * sh);
  if (!again) {
    window->copy_source.resize(static_cast<size_t>(sw * sh));
    window->copy_src = src_rect;
    window->copy_dest = dest_rect;
  }
  window->copy_valid = true;
  // The source column of every destination column, worked out once per copy.
  std::vector<int32_t> columns(static_cast<size_t>(x1 - x0));
  for (int64_t x = x0; x < x1; ++x)
    columns[static_cast<size_t>(x - x0)] = static_cast<int32_t>(src_rect.left + ((x - left) * sw) / dw);
  const int64_t pitch = window->client_width;
  // The changed part of the client area.
  int64_t changed_left = x1, changed_right = x0, changed_top = y1, changed_bottom = y0;
  int64_t previous_sy = -1;
  size_t from = 0, to = 0;  // the destination columns of the source row's changed pixels
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sy = src_rect.top + ((y - top) * sh) / dh;
    uint8_t* dest_row = window->client_pixels.data() + y * pitch + x0;
    if (sy != previous_sy) {
      previous_sy = sy;
      const uint8_t* src_row = src.pixels.data() + sy * src.width + src_rect.left;
      uint8_t* kept = window->copy_source.data() + (sy - src_rect.top) * sw;
      from = 0;
      to = columns.size();
      if (again) {
        int64_t first = 0, last = sw;
        while (first < last && src_row[first] == kept[first]) ++first;
        while (last > first && src_row[last - 1] == kept[last - 1]) --last;
        if (first == last) {
          from = to = 0;
        } else {
          const auto begin = std::lower_bound(columns.begin(), columns.end(), src_rect.left + first);
          const auto end = std::lower_bound(begin, columns.end(), src_rect.left + last);
          from = static_cast<size_t>(begin - columns.begin());
          to = static_cast<size_t>(end - columns.begin());
        }
      }
      std::memcpy(kept, src_row, static_cast<size_t>(sw));
      if (from == to) continue;
      const uint8_t* src_base = src.pixels.data() + sy * src.width;
      for (size_t i = from; i < to; ++i) dest_row[i] = src_base[columns[i]];
    } else {
      // A row stretched from the same source row as the one above.
      if (from == to) continue;
      std::memcpy(dest_row + from, dest_row - pitch + from, to - from);
    }
    changed_left = std::min<int64_t>(changed_left, x0 + static_cast<int64_t>(from));
    changed_right = std::max<int64_t>(changed_right, x0 + static_cast<int64_t>(to));
    changed_top = std::min(changed_top, y);
    changed_bottom = std::max(changed_bottom, y + 1);
  }
  if (shows_pictures() && changed_left < changed_right && changed_top < changed_bottom)
    platform_backend->client_changed(
        window, plat_rect{static_cast<int32_t>(changed_left), static_cast<int32_t>(changed_top),
                          static_cast<int32_t>(changed_right), static_cast<int32_t>(changed_bottom)});
}

// Fills dest_rect (screen coordinates) of one window's client area with a colour.
void fill_into(plat_window window, const plat_rect& dest_rect, uint8_t colour) {
  const plat_rect part = client_part(window, dest_rect);
  if (part.left >= part.right || part.top >= part.bottom) return;
  window->copy_valid = false;
  for (int32_t y = part.top; y < part.bottom; ++y) {
    uint8_t* row =
        window->client_pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(window->client_width);
    std::memset(row + part.left, colour, static_cast<size_t>(part.right - part.left));
  }
  if (shows_pictures()) platform_backend->client_changed(window, part);
}

}  // namespace

int32_t plat_display_create(plat_display* out) {
  const ScreenLock lock;
  if (int32_t fault = begin_step(ScreenStep::display_create)) return fault;
  if (out == nullptr) return PLAT_ERR_INVALID_PARAMS;
  *out = new plat_display_obj();
  screen_state().displays.insert(*out);
  return PLAT_OK;
}

int32_t plat_display_set_cooperative_level(plat_display display, plat_window window, uint32_t) {
  const ScreenLock lock;
  if (int32_t fault = begin_step(ScreenStep::cooperative_level)) return fault;
  if (!screen_alive(screen_state().displays, display)) return PLAT_ERR_NO_OBJECT;
  display->cooperative_window = window;
  return PLAT_OK;
}

int32_t plat_display_create_surface(plat_display display, plat_surface_desc* desc, plat_surface* out) {
  const ScreenLock lock;
  screen_count_call();
  if (!screen_alive(screen_state().displays, display)) return PLAT_ERR_NO_OBJECT;
  if (desc == nullptr || out == nullptr || desc->size != sizeof(plat_surface_desc))
    return PLAT_ERR_INVALID_PARAMS;
  const bool primary = (desc->caps & PLAT_CAPS_PRIMARY_SURFACE) != 0;
  if (int32_t fault = screen_fault(primary ? ScreenStep::primary_surface : ScreenStep::surface_create))
    return fault;
  auto* surface = new (std::nothrow) plat_surface_obj();
  if (surface == nullptr) return PLAT_ERR_OUT_OF_MEMORY;
  surface->owner = display;
  surface->primary = primary;
  if (!primary) {
    if (desc->width <= 0 || desc->height <= 0 ||
        int64_t{desc->width} * desc->height > PLAT_MAX_SURFACE_PIXELS) {
      delete surface;
      return PLAT_ERR_INVALID_PARAMS;
    }
    if (desc->pixel_format.rgb_bit_count != 8 || (desc->pixel_format.flags & PLAT_PF_PALETTE_INDEXED8) == 0) {
      delete surface;
      return kErrInvalidPixelFormat;
    }
    try {
      surface->pixels.assign(static_cast<size_t>(desc->width) * static_cast<size_t>(desc->height), 0);
    } catch (const std::bad_alloc&) {
      delete surface;
      return PLAT_ERR_OUT_OF_MEMORY;
    }
    surface->width = desc->width;
    surface->height = desc->height;
  }
  screen_state().surfaces.insert(surface);
  *out = surface;
  return PLAT_OK;
}

int32_t plat_display_create_clipper(plat_display display, uint32_t, plat_clipper* out) {
  const ScreenLock lock;
  if (int32_t fault = begin_step(ScreenStep::clipper)) return fault;
  if (!screen_alive(screen_state().displays, display)) return PLAT_ERR_NO_OBJECT;
  if (out == nullptr) return PLAT_ERR_INVALID_PARAMS;
  *out = new plat_clipper_obj();
  screen_state().clippers.insert(*out);
  return PLAT_OK;
}

int32_t plat_clipper_set_window(plat_clipper clipper, uint32_t, plat_window window) {
  const ScreenLock lock;
  if (int32_t fault = begin_step(ScreenStep::clipper_bind)) return fault;
  if (!screen_alive(screen_state().clippers, clipper)) return PLAT_ERR_NO_OBJECT;
  clipper->window = window;
  return PLAT_OK;
}

int32_t plat_surface_set_clipper(plat_surface surface, plat_clipper clipper) {
  const ScreenLock lock;
  if (int32_t fault = begin_step(ScreenStep::set_clipper)) return fault;
  if (!screen_alive(screen_state().surfaces, surface)) return PLAT_ERR_NO_OBJECT;
  if (clipper != nullptr && !screen_alive(screen_state().clippers, clipper)) return PLAT_ERR_NO_OBJECT;
  surface->clipper = clipper;
  return PLAT_OK;
}

int32_t plat_surface_lock(plat_surface surface, plat_surface_desc* desc, uint32_t) {
  const ScreenLock lock;
  if (int32_t fault = begin_step(ScreenStep::lock)) return fault;
  if (!screen_alive(screen_state().surfaces, surface)) return PLAT_ERR_NO_OBJECT;
  if (desc == nullptr || surface->primary) return PLAT_ERR_INVALID_PARAMS;
  desc->width = surface->width;
  desc->height = surface->height;
  desc->pitch = surface->width;
  desc->surface = surface->pixels.data();
  ++surface->lock_count;
  return PLAT_OK;
}

int32_t plat_surface_unlock(plat_surface surface) {
  const ScreenLock lock;
  screen_count_call();
  if (!screen_alive(screen_state().surfaces, surface)) return PLAT_ERR_NO_OBJECT;
  if (surface->lock_count == 0) return kErrNotLocked;
  --surface->lock_count;
  return PLAT_OK;
}

int32_t plat_surface_blt(plat_surface dest, const plat_rect* dest_rect, plat_surface src,
                         const plat_rect* src_rect, uint32_t flags, plat_blt_fx* fx) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (flags & PLAT_BLT_COLOURFILL) {
    if (!screen_alive(s.surfaces, dest)) return PLAT_ERR_NO_OBJECT;
    if (!dest->primary || dest_rect == nullptr || fx == nullptr) return kErrInvalidRect;
    const auto colour = static_cast<uint8_t>(fx->fill_colour);
    if (dest->clipper != nullptr) {
      if (dest->clipper->window != nullptr) fill_into(dest->clipper->window, *dest_rect, colour);
    } else {
      for (plat_window window : s.windows) fill_into(window, *dest_rect, colour);
    }
    return PLAT_OK;
  }
  if (!screen_alive(s.surfaces, dest) || !screen_alive(s.surfaces, src)) return PLAT_ERR_NO_OBJECT;
  int32_t result = PLAT_OK;
  if (screen_probe != nullptr && screen_probe->lose_copy()) {
    result = PLAT_ERR_SURFACE_LOST;
  } else if (!dest->primary || src->primary || dest_rect == nullptr || src_rect == nullptr ||
             !rect_inside(*src_rect, src->width, src->height) || dest_rect->left >= dest_rect->right ||
             dest_rect->top >= dest_rect->bottom) {
    result = kErrInvalidRect;
  } else if (dest->clipper != nullptr) {
    if (dest->clipper->window != nullptr) stretch_into(dest->clipper->window, *src, *src_rect, *dest_rect);
  } else {
    for (plat_window window : s.windows) stretch_into(window, *src, *src_rect, *dest_rect);
  }
  if (screen_probe != nullptr)
    screen_probe->copied(dest_rect ? *dest_rect : plat_rect{}, src_rect ? *src_rect : plat_rect{}, result);
  return result;
}

int32_t plat_surface_restore(plat_surface surface) {
  const ScreenLock lock;
  screen_count_call();
  return screen_alive(screen_state().surfaces, surface) ? PLAT_OK : PLAT_ERR_NO_OBJECT;
}

int32_t plat_surface_release(plat_surface surface) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (!screen_alive(s.surfaces, surface)) return PLAT_ERR_NO_OBJECT;
  s.surfaces.erase(surface);
  delete surface;
  return PLAT_OK;
}

int32_t plat_clipper_release(plat_clipper clipper) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (!screen_alive(s.clippers, clipper)) return PLAT_ERR_NO_OBJECT;
  for (plat_surface surface : s.surfaces)
    if (surface->clipper == clipper) surface->clipper = nullptr;
  s.clippers.erase(clipper);
  delete clipper;
  return PLAT_OK;
}

int32_t plat_display_release(plat_display display) {
  const ScreenLock lock;
  screen_count_call();
  ScreenState& s = screen_state();
  if (!screen_alive(s.displays, display)) return PLAT_ERR_NO_OBJECT;
  s.displays.erase(display);
  delete display;
  return PLAT_OK;
}

plat_window screen_window_create(int32_t client_width, int32_t client_height) {
  const ScreenLock lock;
  auto* window = new plat_window_obj();
  screen_state().windows.push_back(window);
  screen_window_resize(window, client_width, client_height);
  return window;
}

void screen_window_destroy(plat_window window) {
  const ScreenLock lock;
  ScreenState& s = screen_state();
  auto it = std::find(s.windows.begin(), s.windows.end(), window);
  if (it == s.windows.end()) return;
  s.windows.erase(it);
  for (plat_clipper clipper : s.clippers)
    if (clipper->window == window) clipper->window = nullptr;
  delete window;
}

void screen_window_resize(plat_window window, int32_t client_width, int32_t client_height) {
  const ScreenLock lock;
  window->client_width = std::max(0, client_width);
  window->client_height = std::max(0, client_height);
  window->client_pixels.assign(
      static_cast<size_t>(window->client_width) * static_cast<size_t>(window->client_height), 0);
  window->copy_valid = false;
}

void screen_window_move(plat_window window, int32_t origin_x, int32_t origin_y) {
  const ScreenLock lock;
  window->copy_valid = window->copy_valid && origin_x == window->origin_x && origin_y == window->origin_y;
  window->origin_x = origin_x;
  window->origin_y = origin_y;
}
