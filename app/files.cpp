// The files besides the one on show: those given together (command line, drop), the
// other FLICs in its folder, and the recent files of the menu, kept in the settings.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/app.h"
#include "resources/commands.h"

namespace {

namespace fs = std::filesystem;

bool is_flic_name(const std::string& name) {
  if (name.size() < 4 || name[name.size() - 4] != '.') return false;
  std::string ext = name.substr(name.size() - 3);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == "fli" || ext == "flc";
}

// Name order: letters whatever their case, then the exact bytes.
bool name_before(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string bare_name(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The FLIC after (or before) path in its folder, in name order, round from the last to
// the first; empty when the folder holds no other.
std::string neighbour_in_folder(const std::string& path, int direction) {
  const std::string folder = folder_of(path);
  const std::string self = bare_name(path);
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::error_code kind;
    const std::string name = entry.path().filename().string();
    if (name != self && is_flic_name(name) && entry.is_regular_file(kind)) names.push_back(name);
  }
  if (names.empty()) return {};
  std::sort(names.begin(), names.end(), name_before);
  auto after = std::upper_bound(names.begin(), names.end(), self, name_before);
  std::string chosen;
  if (direction > 0) {
    chosen = after == names.end() ? names.front() : *after;
  } else {
    auto before = std::lower_bound(names.begin(), names.end(), self, name_before);
    chosen = before == names.begin() ? names.back() : *(before - 1);
  }
  return folder == "." && path.find('/') == std::string::npos ? chosen
                                                              : (folder == "/" ? "/" : folder + "/") + chosen;
}

void load_path(const std::string& path) { app_load_named(path.c_str(), path.size()); }

// Several files given: round through them. One: through the FLICs of its folder.
void next_file(int direction) {
  std::vector<std::string>& files = app_state.files;
  if (files.size() > 1) {
    const size_t n = files.size();
    app_state.file_index = (app_state.file_index + (direction > 0 ? 1 : n - 1)) % n;
    load_path(files[app_state.file_index]);
    return;
  }
  const std::string current = files.empty() ? std::string(app_state.loaded_name) : files[0];
  if (current.empty()) return;
  const std::string other = neighbour_in_folder(current, direction);
  if (other.empty()) return;
  files.assign(1, other);
  app_state.file_index = 0;
  load_path(other);
}

void save_recent() {
  std::string joined;
  for (const std::string& path : app_state.recent) joined += (joined.empty() ? "" : "\n") + path;
  win_set_setting(APP_SETTING_RECENT, joined.c_str());
}

// The recent files as the menu's items "&1 name" to "&8 name"; the unused ones hidden.
void show_recent() {
  for (int32_t i = 0; i < CMD_RECENT_COUNT; ++i) {
    const auto at = static_cast<size_t>(i);
    if (at >= app_state.recent.size()) {
      win_set_menu_item_text(app_state.menu, CMD_RECENT_FIRST + i, nullptr);
      continue;
    }
    std::string text = "&";
    text.append(std::to_string(i + 1)).append(" ").append(bare_name(app_state.recent[at]));
    win_set_menu_item_text(app_state.menu, CMD_RECENT_FIRST + i, text.c_str());
  }
}

void read_recent() {
  app_state.recent.clear();
  const int64_t length = win_get_setting(APP_SETTING_RECENT, nullptr, 0);
  if (length <= 0) return;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  win_get_setting(APP_SETTING_RECENT, text.data(), text.size());
  text.resize(static_cast<size_t>(length));
  size_t start = 0;
  while (start < text.size() && app_state.recent.size() < APP_RECENT_FILES) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) app_state.recent.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

void open_recent(size_t index) {
  if (index >= app_state.recent.size()) return;
  const std::string path = app_state.recent[index];
  app_state.files.assign(1, path);
  app_state.file_index = 0;
  load_path(path);
}

}  // namespace

void app_remember_file(const char* path) {
  std::string full = path;
  std::error_code error;
  const fs::path absolute = fs::absolute(full, error);
  if (!error) full = absolute.lexically_normal().string();
  std::vector<std::string>& recent = app_state.recent;
  recent.erase(std::remove(recent.begin(), recent.end(), full), recent.end());
  recent.insert(recent.begin(), full);
  if (recent.size() > APP_RECENT_FILES) recent.resize(APP_RECENT_FILES);
  save_recent();
  show_recent();
  win_set_setting(APP_SETTING_FOLDER, folder_of(full).c_str());
}

// Command 0 reads the recent files from the settings into the menu.
void app_file_command(int32_t command) {
  switch (command) {
    case 0:
      read_recent();
      show_recent();
      break;
    case CMD_NEXT_FILE:
      next_file(1);
      break;
    case CMD_PREVIOUS_FILE:
      next_file(-1);
      break;
    default:
      if (command >= CMD_RECENT_FIRST && command < CMD_RECENT_FIRST + CMD_RECENT_COUNT)
        open_recent(static_cast<size_t>(command - CMD_RECENT_FIRST));
      break;
  }
}
