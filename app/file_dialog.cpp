// The open-file dialog step of "&Open".
#include <algorithm>
#include <cstring>

#include "app/app.h"
#include "platform/system.h"

int32_t app_file_dialog(const char* description, const char* pattern) {
  // The filter: description, zero, pattern, zero, and one more zero.
  char filter[APP_FILTER_SIZE] = {};
  size_t description_length = std::strlen(description);
  size_t pattern_length = std::strlen(pattern);
  if (description_length + pattern_length + 3 > sizeof filter) return -1;
  std::copy_n(description, description_length, filter);
  std::copy_n(pattern, pattern_length, filter + description_length + 1);

  char file[APP_NAME_SIZE] = {};
  char title[APP_TITLE_SIZE] = {};
  win_open_file dialog = {};
  dialog.owner = plat_get_active_window();
  dialog.filter = filter;
  dialog.filter_index = 1;
  dialog.file = file;
  dialog.file_size = sizeof file;
  dialog.file_title = title;
  dialog.file_title_size = sizeof title;
  dialog.default_ext = pattern_length >= 2 ? pattern + 2 : nullptr;
  // The dialog opens in the folder of the FLIC shown last, or of the one shown last in
  // an earlier run (null: the current folder).
  char folder[APP_NAME_SIZE] = {};
  const char* slash = std::strrchr(app_state.loaded_name, '/');
  if (slash != nullptr) {
    const size_t length =
        slash == app_state.loaded_name ? 1 : static_cast<size_t>(slash - app_state.loaded_name);
    std::memcpy(folder, app_state.loaded_name, length);
    dialog.initial_dir = folder;
  } else if (app_state.loaded_name[0] == '\0' &&
             win_get_setting(APP_SETTING_FOLDER, folder, sizeof folder) > 0) {
    dialog.initial_dir = folder;
  }
  if (win_get_open_file_name(&dialog) != 1) return -1;

  std::memcpy(app_state.file_name, file, sizeof file);
  std::memcpy(app_state.file_title, title, sizeof title);
  return 1;
}
