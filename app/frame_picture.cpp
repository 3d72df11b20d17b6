// The frame on show as a picture for the user: on the clipboard, or in a PNG file,
// at the file's own size and in the colours on screen.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "gfx/gfx.h"
#include "platform/system.h"
#include "resources/commands.h"

namespace {

constexpr const char* PNG_FILTER_NAME = "PNG pictures (*.png)";
constexpr const char* PNG_FILTER_PATTERN = "*.png";

std::vector<uint8_t> frame_rgb() {
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(app_state.image_width) *
                           static_cast<size_t>(app_state.image_height));
  if (rgb.empty() || vb_read_rgb(app_state.image_width, app_state.image_height, rgb.data()) != 1) rgb.clear();
  return rgb;
}

// "film-0007.png" for frame 7 of film.flc.
std::string proposed_name() {
  std::string name = app_state.shown_title;
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  char number[16];
  std::snprintf(number, sizeof number, "-%04d.png", static_cast<int>(app_state.frame_shown));
  return name + number;
}

void save() {
  std::vector<uint8_t> rgb = frame_rgb();
  if (rgb.empty()) return;
  // The filter: description, zero, pattern, zero, and one more zero.
  char filter[APP_FILTER_SIZE] = {};
  const size_t description = std::strlen(PNG_FILTER_NAME);
  std::copy_n(PNG_FILTER_NAME, description, filter);
  std::copy_n(PNG_FILTER_PATTERN, std::strlen(PNG_FILTER_PATTERN), filter + description + 1);
  char file[APP_NAME_SIZE] = {};
  std::snprintf(file, sizeof file, "%s", proposed_name().c_str());
  char folder[APP_NAME_SIZE] = {};
  std::snprintf(folder, sizeof folder, "%s", app_state.loaded_name);
  char* slash = std::strrchr(folder, '/');
  if (slash != nullptr) *(slash == folder ? slash + 1 : slash) = '\0';
  win_open_file dialog = {};
  dialog.owner = plat_get_active_window();
  dialog.filter = filter;
  dialog.filter_index = 1;
  dialog.file = file;
  dialog.file_size = sizeof file;
  dialog.initial_dir = slash != nullptr ? folder : nullptr;
  dialog.default_ext = "png";
  if (win_get_save_file_name(&dialog) != 1) return;
  if (win_save_png(file, rgb.data(), app_state.image_width, app_state.image_height) == 1) return;
  const char* bare = std::strrchr(file, '/');
  std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_NOT_SAVED_FORMAT,
                bare != nullptr ? bare + 1 : file);
  win_message_box(plat_get_active_window(), app_state.message_text, APP_ERROR_CAPTION,
                  WIN_MB_OK | WIN_MB_ICONERROR);
}

}  // namespace

void app_picture_command(int32_t command) {
  if (!app_state.flic_shown) return;
  if (command == CMD_COPY) {
    std::vector<uint8_t> rgb = frame_rgb();
    if (!rgb.empty()) win_set_clipboard_image(rgb.data(), app_state.image_width, app_state.image_height);
  } else if (command == CMD_SAVE) {
    save();
  }
}
