// The View menu: how the picture fills the client area (stretched, with its own shape,
// or at a whole multiple of its size), full screen, and the window fitted to the
// picture. The choice of size is kept in the user's settings.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "gfx/gfx.h"
#include "resources/commands.h"

namespace {

// The colour around a picture that leaves room: palette entry 0, the display's black.
constexpr uint8_t BAR_COLOUR = 0;

// Where the picture goes in the client area (right- and bottom-exclusive; it may
// reach past the client area at a large multiple).
plat_rect picture_rect() {
  const int64_t cw = app_state.client_width, ch = app_state.client_height;
  const int64_t iw = std::max(1, app_state.image_width), ih = std::max(1, app_state.image_height);
  int64_t w = cw, h = ch;
  switch (app_state.view) {
    case AppView::stretch:
      return plat_rect{0, 0, static_cast<int32_t>(cw), static_cast<int32_t>(ch)};
    case AppView::aspect:
      if (cw * ih <= ch * iw) {
        h = std::max<int64_t>(1, (2 * cw * ih + iw) / (2 * iw));  // rounded
      } else {
        w = std::max<int64_t>(1, (2 * ch * iw + ih) / (2 * ih));
      }
      break;
    case AppView::scale:
      w = iw * app_state.scale;
      h = ih * app_state.scale;
      break;
  }
  const int64_t left = (cw - w) / 2, top = (ch - h) / 2;
  return plat_rect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(left + w),
                   static_cast<int32_t>(top + h)};
}

bool same(const plat_rect& a, const plat_rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Black over the client area around r (exclusive corners), in up to four bands.
void fill_around(const plat_rect& r) {
  const int32_t cw = app_state.client_width, ch = app_state.client_height;
  const int32_t top = std::clamp(r.top, 0, ch), bottom = std::clamp(r.bottom, 0, ch);
  const int32_t left = std::clamp(r.left, 0, cw), right = std::clamp(r.right, 0, cw);
  if (top > 0) vb_fill_window(0, cw - 1, 0, top - 1, BAR_COLOUR);
  if (bottom < ch) vb_fill_window(0, cw - 1, bottom, ch - 1, BAR_COLOUR);
  if (left > 0) vb_fill_window(0, left - 1, top, bottom - 1, BAR_COLOUR);
  if (right < cw) vb_fill_window(right, cw - 1, top, bottom - 1, BAR_COLOUR);
}

// The largest whole multiple of the picture that the client area holds (at least 1).
int32_t fitting_scale(int32_t width, int32_t height) {
  const int32_t iw = std::max(1, app_state.image_width), ih = std::max(1, app_state.image_height);
  return std::clamp(std::min(width / iw, height / ih), 1, APP_MAX_SCALE);
}

// The scale the picture is shown at now, whole.
int32_t current_scale() {
  return app_state.view == AppView::scale ? app_state.scale
                                          : fitting_scale(app_state.client_width, app_state.client_height);
}

void check_items() {
  struct Item {
    int32_t id;
    bool on;
  };
  const bool scaled = app_state.view == AppView::scale;
  const Item items[] = {
      {CMD_STRETCH, app_state.view == AppView::stretch},     {CMD_ASPECT, app_state.view == AppView::aspect},
      {CMD_ACTUAL, scaled && app_state.scale == 1},          {CMD_DOUBLE, scaled && app_state.scale == 2},
      {CMD_TRIPLE, scaled && app_state.scale == 3},          {CMD_LOOP, app_state.looping},
      {CMD_FULLSCREEN, win_is_fullscreen(app_state.window)},
  };
  for (const Item& item : items) {
    win_check_menu_item(app_state.menu, item.id, item.on ? WIN_MF_CHECKED : WIN_MF_UNCHECKED);
  }
}

void set_view(AppView view, int32_t scale) {
  app_state.view = view;
  app_state.scale = std::clamp(scale, 1, APP_MAX_SCALE);
  char text[16];
  if (view == AppView::scale) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(app_state.scale));
  } else {
    std::snprintf(text, sizeof text, "%s", view == AppView::stretch ? "stretch" : "aspect");
  }
  win_set_setting(APP_SETTING_VIEW, text);
  check_items();
  app_paint_picture();
}

// The client area to the picture at the largest whole multiple the screen holds.
void fit_window() {
  app_leave_fullscreen();
  int32_t width = 0, height = 0;
  if (win_max_client_size(app_state.window, &width, &height) != 1) return;
  const int32_t scale = fitting_scale(width, height);
  if (app_state.view == AppView::scale) set_view(AppView::scale, scale);
  win_set_client_size(app_state.window, app_state.image_width * scale, app_state.image_height * scale);
}

void set_fullscreen(bool on) {
  win_set_fullscreen(app_state.window, on);
  check_items();
}

}  // namespace

void app_show_picture() {
  const plat_rect r = picture_rect();
  if (!same(r, app_state.framed) || app_state.framed_width != app_state.client_width ||
      app_state.framed_height != app_state.client_height) {
    fill_around(r);
    app_state.framed = r;
    app_state.framed_width = app_state.client_width;
    app_state.framed_height = app_state.client_height;
  }
  vb_blit_scaled(0, app_state.image_width - 1, 0, app_state.image_height - 1, r.left, r.right - 1, r.top,
                 r.bottom - 1);
}

void app_paint_picture() {
  app_state.framed_width = -1;
  app_show_picture();
}

bool app_leave_fullscreen() {
  if (!win_is_fullscreen(app_state.window)) return false;
  set_fullscreen(false);
  return true;
}

void app_load_settings() {
  app_state.view = AppView::stretch;
  app_state.scale = 1;
  char text[16];
  if (win_get_setting(APP_SETTING_VIEW, text, sizeof text) > 0) {
    if (std::strcmp(text, "aspect") == 0) {
      app_state.view = AppView::aspect;
    } else if (text[0] >= '1' && text[0] <= '9') {
      app_state.view = AppView::scale;
      app_state.scale = std::clamp(std::atoi(text), 1, APP_MAX_SCALE);
    }
  }
  check_items();
  app_file_command(0);  // the recent files into the menu
}

void app_view_command(int32_t command) {
  switch (command) {
    case CMD_STRETCH:
      set_view(AppView::stretch, 1);
      break;
    case CMD_ASPECT:
      set_view(AppView::aspect, 1);
      break;
    case CMD_ACTUAL:
    case CMD_DOUBLE:
    case CMD_TRIPLE:
      set_view(AppView::scale, command - CMD_ACTUAL + 1);
      break;
    case CMD_ZOOM_IN:
      set_view(AppView::scale, current_scale() + 1);
      break;
    case CMD_ZOOM_OUT:
      set_view(AppView::scale, current_scale() - 1);
      break;
    case CMD_FIT_WINDOW:
      fit_window();
      break;
    case CMD_FULLSCREEN:
      set_fullscreen(!win_is_fullscreen(app_state.window));
      break;
    case CMD_LOOP:
      app_state.looping = !app_state.looping;
      check_items();
      break;
    default:
      break;
  }
}
