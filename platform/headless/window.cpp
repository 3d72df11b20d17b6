// The headless window system: the dummy backend of the window core. Its one window is
// the backend's hl_window(); nothing arrives but what a test posts; message boxes and
// file dialogs are recorded and answered by the test; the screen is a size the test
// sets.
#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/common/screen.h"
#include "platform/common/window_core.h"
#include "platform/headless/controls.h"
#include "platform/headless/window_controls.h"
#include "platform/headless/window_internal.h"
#include "platform/system.h"

namespace {

struct HlwState {
  std::vector<HlwMessageBox> boxes;
  std::vector<HlwMessage> messages;
  std::vector<HlwDialog> dialogs;
  struct Answer {
    bool chosen;
    std::string path;
    std::string title;
  };
  std::deque<Answer> answers;
  bool program_dir_set = false;
  std::string program_dir;
  void (*idle_hook)(int32_t) = nullptr;
  int32_t idles = 0;
  bool fullscreen = false;
  int32_t normal_width = 0;  // the client size to go back to from full screen
  int32_t normal_height = 0;
  int32_t screen_width = 1920;
  int32_t screen_height = 1080;
  int32_t max_client_width = 1880;
  int32_t max_client_height = 1000;
  std::map<std::string, std::string> settings;
  HlwImage clipboard;
  std::vector<HlwImage> saved;
};

HlwState hlw;

std::string bare_name(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The client area takes a new size, as the window manager would give it.
void resize_client(plat_window window, int32_t width, int32_t height) {
  hl_set_client_size(width, height);
  window_core_resized(window);
}

// --- The backend's functions -----------------------------------------------------------

plat_window create_window(const win_class*, const char*, int32_t, int32_t) {
  hlw.fullscreen = false;
  return hl_window();
}

void show_window(plat_window window) { window_core_resized(window); }
void destroy_window(plat_window) {}
void set_title(plat_window, const char*) {}
void menu_changed(plat_window, const win_menu_item&) {}

void set_fullscreen(plat_window window, bool fullscreen) {
  if (fullscreen == hlw.fullscreen) return;
  hlw.fullscreen = fullscreen;
  if (fullscreen) {
    hlw.normal_width = hl_client_width();
    hlw.normal_height = hl_client_height();
    resize_client(window, hlw.screen_width, hlw.screen_height);
  } else {
    resize_client(window, hlw.normal_width, hlw.normal_height);
  }
}

bool is_fullscreen(plat_window) { return hlw.fullscreen; }

void set_client_size(plat_window window, int32_t width, int32_t height) {
  width = std::clamp(width, 1, hlw.max_client_width);
  height = std::clamp(height, 1, hlw.max_client_height);
  if (hlw.fullscreen) {
    hlw.normal_width = width;
    hlw.normal_height = height;
    return;
  }
  resize_client(window, width, height);
}

int32_t max_client_size(plat_window, int32_t* width, int32_t* height) {
  *width = hlw.max_client_width;
  *height = hlw.max_client_height;
  return 1;
}

void wake() {}

// Nothing arrives in a headless run but what a test posts: before the wait the test's
// idle hook may post the user's input; with none, the clock moves on to the due time.
bool wait_events(int64_t due) {
  if (hlw.idle_hook != nullptr) {
    hlw.idle_hook(++hlw.idles);
    if (window_core_message_waiting()) return true;
  }
  if (due >= 0) plat_wait_until_us(due);
  return false;
}

void hold_input(bool) {}

void message_box(plat_window owner, const char* text, const char* caption, uint32_t type) {
  hlw.boxes.push_back({owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
}

bool choose_file(const win_open_file* dialog, bool save, std::string* path, std::string* title) {
  HlwDialog asked{dialog->owner,
                  "",
                  "",
                  dialog->default_ext != nullptr ? dialog->default_ext : "",
                  dialog->file_size,
                  dialog->file_title_size,
                  dialog->initial_dir != nullptr ? dialog->initial_dir : "",
                  save,
                  save && dialog->file != nullptr ? dialog->file : ""};
  if (dialog->filter != nullptr) {
    asked.description = dialog->filter;
    asked.patterns = dialog->filter + asked.description.size() + 1;
  }
  hlw.dialogs.push_back(asked);
  if (hlw.answers.empty()) return false;
  HlwState::Answer answer = hlw.answers.front();
  hlw.answers.pop_front();
  *path = answer.path;
  *title = answer.title;
  return answer.chosen;
}

HlwImage image(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
  return {path, width, height, std::vector<uint8_t>(rgb, rgb + 3 * size_t(width) * size_t(height))};
}

int32_t set_clipboard_image(const uint8_t* rgb, int32_t width, int32_t height) {
  hlw.clipboard = image("", rgb, width, height);
  return 1;
}

int32_t save_png(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
  hlw.saved.push_back(image(path, rgb, width, height));
  return 1;
}

bool get_setting(const char* key, std::string* value) {
  auto it = hlw.settings.find(key);
  if (it == hlw.settings.end()) return false;
  *value = it->second;
  return true;
}

void set_setting(const char* key, const char* value) {
  if (value == nullptr) {
    hlw.settings.erase(key);
  } else {
    hlw.settings[key] = value;
  }
}

bool program_dir(std::string* dir) {
  if (!hlw.program_dir_set) return false;
  *dir = hlw.program_dir;
  return true;
}

constexpr PlatformBackend kHeadless = {
    .name = "headless",
    .client_changed = nullptr,  // the client areas are read by tests, not shown
    .palette_changed = nullptr,
    .create_window = create_window,
    .show_window = show_window,
    .destroy_window = destroy_window,
    .set_title = set_title,
    .menu_changed = menu_changed,
    .set_fullscreen = set_fullscreen,
    .is_fullscreen = is_fullscreen,
    .set_client_size = set_client_size,
    .max_client_size = max_client_size,
    .wake = wake,
    .wait_events = wait_events,
    .hold_input = hold_input,
    .message_box = message_box,
    .choose_file = choose_file,
    .set_clipboard_image = set_clipboard_image,
    .save_png = save_png,
    .get_setting = get_setting,
    .set_setting = set_setting,
    .program_dir = program_dir,
};

}  // namespace

int32_t win_startup(int*, char**) {
  platform_attach_backend(&kHeadless);
  return 1;
}
void win_shutdown() {}

void hl_window_sent(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  hlw.messages.push_back({message, wparam, lparam});
}

// --- Test controls ------------------------------------------------------------------------

void hlw_reset() {
  window_core_reset();
  hlw = HlwState();
  platform_attach_backend(&kHeadless);
}

void hlw_press_key(int32_t virtual_key, uint32_t modifiers) {
  win_post_message(window_core().window, WIN_MSG_KEY_DOWN, static_cast<uintptr_t>(virtual_key),
                   static_cast<intptr_t>(modifiers));
}

void hlw_request_close() { win_post_message(window_core().window, WIN_MSG_CLOSE, 0, 0); }

void hlw_double_click() { win_post_message(window_core().window, WIN_MSG_LBUTTON_DBLCLK, 0, 0); }

void hlw_turn_wheel(int32_t notches) {
  win_post_message(window_core().window, WIN_MSG_MOUSE_WHEEL,
                   static_cast<uintptr_t>(static_cast<intptr_t>(notches)), 0);
}

void hlw_set_idle_hook(void (*hook)(int32_t idle)) {
  hlw.idle_hook = hook;
  hlw.idles = 0;
}

void hlw_set_screen(int32_t width, int32_t height, int32_t max_client_width, int32_t max_client_height) {
  hlw.screen_width = width;
  hlw.screen_height = height;
  hlw.max_client_width = max_client_width;
  hlw.max_client_height = max_client_height;
}

void hlw_answer_dialog(const char* path, const char* title) {
  std::string chosen = path != nullptr ? path : "";
  hlw.answers.push_back({true, chosen, title != nullptr ? std::string(title) : bare_name(chosen)});
}

void hlw_cancel_dialog() { hlw.answers.push_back({false, "", ""}); }

void hlw_set_program_dir(const char* dir) {
  hlw.program_dir_set = true;
  hlw.program_dir = dir != nullptr ? dir : "";
}

const std::vector<HlwMessageBox>& hlw_message_boxes() { return hlw.boxes; }
const std::vector<HlwMessage>& hlw_messages() { return hlw.messages; }
const std::vector<HlwDialog>& hlw_dialogs() { return hlw.dialogs; }

int32_t hlw_menu_state(int32_t id) {
  const win_menu_item* item = window_core_menu_item(id);
  return item != nullptr ? static_cast<int32_t>(item->state & WIN_MF_GRAYED) : -1;
}

const char* hlw_menu_text(int32_t id) {
  const win_menu_item* item = window_core_menu_item(id);
  return item != nullptr ? item->text : nullptr;
}

const std::vector<win_menu_item>& hlw_menu_rows() { return window_core().menu.rows; }
const char* hlw_title() { return window_core().title.c_str(); }
int32_t hlw_menu_check(int32_t id) {
  const win_menu_item* item = window_core_menu_item(id);
  return item != nullptr ? static_cast<int32_t>(item->state & WIN_MF_CHECKED) : -1;
}
bool hlw_menu_hidden(int32_t id) {
  const win_menu_item* item = window_core_menu_item(id);
  return item == nullptr || (item->state & WIN_MF_HIDDEN) != 0;
}
const HlwImage& hlw_clipboard() { return hlw.clipboard; }
const std::vector<HlwImage>& hlw_saved_pngs() { return hlw.saved; }
bool hlw_window_alive() { return window_core().window != nullptr; }
bool hlw_paint_pending() { return window_core().paint_pending; }
int32_t hlw_quit_code() { return window_core().quit_code; }
