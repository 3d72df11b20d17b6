// The headless window system: one window (the backend's hl_window()), a message queue
// in memory, a menu held as a table of states, and message boxes and file dialogs that
// are recorded and answered by the test.
#include "platform/window.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/common/screen.h"
#include "platform/common/window_input.h"
#include "platform/headless/controls.h"
#include "platform/headless/window_controls.h"
#include "platform/headless/window_internal.h"
#include "platform/system.h"

struct plat_menu_obj {
  std::vector<win_menu_item> rows;
  std::vector<std::string> texts;  // the rows' texts as set (row.text points into them)
};

namespace {

constexpr int HLW_MAX_CLASSES = 8;

struct HlwState {
  win_class classes[HLW_MAX_CLASSES] = {};
  int class_count = 0;
  plat_window window = nullptr;
  win_proc proc = nullptr;
  bool shown = false;
  bool paint_pending = false;
  std::string title;
  plat_menu_obj menu;
  bool has_menu = false;
  std::deque<win_msg> queue;
  bool quit_posted = false;
  int32_t quit_code = -1;
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
  int command_depth = 0;  // commands running now (a command may send another)
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

const win_class* find_class(const char* name) {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < hlw.class_count; ++i) {
    if (std::strcmp(hlw.classes[i].class_name, name) == 0) return &hlw.classes[i];
  }
  return nullptr;
}

bool is_our_window(plat_window window) { return window != nullptr && window == hlw.window; }

win_menu_item* find_item(int32_t id) {
  if (!hlw.has_menu) return nullptr;
  for (win_menu_item& row : hlw.menu.rows) {
    if (row.kind == WinMenuKind::item && row.id == id) return &row;
  }
  return nullptr;
}

// The client area takes a new size, as the window manager would give it.
void resize_client(int32_t width, int32_t height) {
  hl_set_client_size(width, height);
  win_send_message(hlw.window, WIN_MSG_SIZE, 0, win_size_param(hl_client_width(), hl_client_height()));
  hlw.paint_pending = true;
}

bool message_waiting() {
  return !hlw.queue.empty() || (!hlw.quit_posted && hlw.window != nullptr && hlw.paint_pending);
}

std::string bare_name(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Drops the window's queued messages, with the file lists they carry.
void forget_queued(plat_window window) {
  std::deque<win_msg> kept;
  for (const win_msg& msg : hlw.queue) {
    if (msg.window != window) {
      kept.push_back(msg);
    } else if (msg.message == WIN_MSG_DROP_FILES) {
      win_drag_finish(reinterpret_cast<plat_drop>(msg.wparam));
    }
  }
  hlw.queue.swap(kept);
}

}  // namespace

int32_t win_startup(int*, char**) { return 1; }
void win_shutdown() {}

int32_t win_register_class(const win_class* window_class) {
  if (window_class == nullptr || window_class->proc == nullptr || window_class->class_name == nullptr) {
    return 0;
  }
  if (find_class(window_class->class_name) != nullptr || hlw.class_count == HLW_MAX_CLASSES) return 0;
  hlw.classes[hlw.class_count++] = *window_class;
  return 1;
}

plat_window win_create(const char* class_name, const char* title, int32_t, int32_t) {
  const win_class* window_class = find_class(class_name);
  if (window_class == nullptr || hlw.window != nullptr) return nullptr;
  hlw.window = hl_window();
  hlw.proc = window_class->proc;
  hlw.title = title != nullptr ? title : "";
  hlw.shown = false;
  hlw.paint_pending = false;
  const auto* menu = window_class->menu;
  hlw.has_menu = menu != nullptr;
  hlw.menu.rows.clear();
  hlw.menu.texts.clear();
  if (menu != nullptr) {
    hlw.menu.rows.assign(menu->items, menu->items + menu->count);
    hlw.menu.texts.resize(hlw.menu.rows.size());
  }
  hlw.fullscreen = false;
  win_send_message(hlw.window, WIN_MSG_CREATE, 0, 0);
  return hlw.window;
}

void win_show(plat_window window, int32_t) {
  if (!is_our_window(window) || hlw.shown) return;
  hlw.shown = true;
  win_send_message(window, WIN_MSG_SIZE, 0, win_size_param(hl_client_width(), hl_client_height()));
  hlw.paint_pending = true;
}

void win_set_title(plat_window window, const char* title) {
  if (is_our_window(window)) hlw.title = title != nullptr ? title : "";
}

void win_invalidate(plat_window window, bool) {
  if (is_our_window(window)) hlw.paint_pending = true;
}

void win_update(plat_window window) {
  if (is_our_window(window) && hlw.paint_pending) win_send_message(window, WIN_MSG_PAINT, 0, 0);
}

void win_begin_paint(plat_window window) {
  if (is_our_window(window)) hlw.paint_pending = false;
}

void win_end_paint(plat_window) {}

intptr_t win_send_message(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (!is_our_window(window) || hlw.proc == nullptr) return 0;
  hlw.messages.push_back({message, wparam, lparam});
  if (message != WIN_MSG_COMMAND) return hlw.proc(window, message, wparam, lparam);
  ++hlw.command_depth;
  intptr_t answer = hlw.proc(window, message, wparam, lparam);
  --hlw.command_depth;
  return answer;
}

int32_t win_post_message(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (!is_our_window(window)) return 0;
  hlw.queue.push_back({window, message, wparam, lparam});
  return 1;
}

intptr_t win_default_proc(plat_window window, uint32_t message, uintptr_t, intptr_t) {
  if (message == WIN_MSG_CLOSE) win_destroy(window);
  if (message == WIN_MSG_PAINT) win_begin_paint(window);
  return 0;
}

void win_destroy(plat_window window) {
  if (!is_our_window(window)) return;
  win_send_message(window, WIN_MSG_DESTROY, 0, 0);
  hlw.window = nullptr;
  hlw.proc = nullptr;
  hlw.shown = false;
  hlw.paint_pending = false;
  hlw.has_menu = false;
  hlw.menu.rows.clear();
  hlw.menu.texts.clear();
  forget_queued(window);
}

// With nothing queued, nothing will ever arrive in a headless run: the loop ends as if
// the quit message had come, so a test can never hang in it.
int32_t win_get_message(win_msg* out) {
  if (win_peek_message(out, WIN_PM_REMOVE) == 1) return 1;
  hlw.quit_posted = false;
  *out = {nullptr, WIN_MSG_QUIT, static_cast<uintptr_t>(hlw.quit_code), 0};
  return 0;
}

int32_t win_peek_message(win_msg* out, uint32_t remove) {
  if (!hlw.queue.empty()) {
    *out = hlw.queue.front();
    if (remove == WIN_PM_REMOVE) hlw.queue.pop_front();
    return 1;
  }
  if (!hlw.quit_posted && hlw.window != nullptr && hlw.paint_pending) {
    *out = {hlw.window, WIN_MSG_PAINT, 0, 0};
    return 1;
  }
  return 0;
}

// Nothing arrives in a headless run but what a test posts: before the wait the test's
// idle hook may post the user's input; with none, the clock moves on to the due time.
int32_t win_wait_message(int64_t due) {
  if (message_waiting()) return 1;
  if (hlw.idle_hook != nullptr) {
    hlw.idle_hook(++hlw.idles);
    if (message_waiting()) return 1;
  }
  if (due >= 0) plat_wait_until_us(due);
  return 0;
}

intptr_t win_dispatch_message(const win_msg* msg) {
  if (msg == nullptr) return 0;
  return win_send_message(msg->window, msg->message, msg->wparam, msg->lparam);
}

void win_post_quit(int32_t exit_code) {
  hlw.quit_posted = true;
  hlw.quit_code = exit_code;
}

plat_menu win_get_menu(plat_window window) {
  return is_our_window(window) && hlw.has_menu ? &hlw.menu : nullptr;
}

int32_t win_enable_menu_item(plat_menu menu, int32_t id, uint32_t state) {
  if (menu == nullptr || menu != &hlw.menu) return -1;
  win_menu_item* item = find_item(id);
  if (item == nullptr) return -1;
  int32_t previous = static_cast<int32_t>(item->state);
  item->state = state & WIN_MF_GRAYED;
  return previous;
}

int32_t win_check_menu_item(plat_menu menu, int32_t id, uint32_t check) {
  if (menu == nullptr || menu != &hlw.menu) return -1;
  win_menu_item* item = find_item(id);
  if (item == nullptr) return -1;
  int32_t previous = static_cast<int32_t>(item->state & WIN_MF_CHECKED);
  item->state = (item->state & ~WIN_MF_CHECKED) | (check & WIN_MF_CHECKED);
  return previous;
}

int32_t win_set_menu_item_text(plat_menu menu, int32_t id, const char* text) {
  if (menu == nullptr || menu != &hlw.menu) return 0;
  win_menu_item* item = find_item(id);
  if (item == nullptr) return 0;
  std::string& kept = hlw.menu.texts[static_cast<size_t>(item - hlw.menu.rows.data())];
  kept = text != nullptr ? text : "";
  item->text = kept.c_str();
  item->state = text != nullptr ? item->state & ~WIN_MF_HIDDEN : item->state | WIN_MF_HIDDEN;
  return 1;
}

int32_t win_message_box(plat_window owner, const char* text, const char* caption, uint32_t type) {
  hlw.boxes.push_back({owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
  return WIN_IDOK;
}

namespace {

int32_t file_dialog(win_open_file* dialog, bool save) {
  if (dialog == nullptr) return 0;
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
  if (hlw.answers.empty()) return 0;
  HlwState::Answer answer = hlw.answers.front();
  hlw.answers.pop_front();
  if (!answer.chosen) return 0;
  if (answer.path.size() >= dialog->file_size) return 0;
  if (dialog->file_title != nullptr && answer.title.size() >= dialog->file_title_size) return 0;
  window_copy_fitting(dialog->file, dialog->file_size, answer.path);
  if (dialog->file_title != nullptr)
    window_copy_fitting(dialog->file_title, dialog->file_title_size, answer.title);
  return 1;
}

}  // namespace

int32_t win_get_open_file_name(win_open_file* dialog) { return file_dialog(dialog, false); }
int32_t win_get_save_file_name(win_open_file* dialog) { return file_dialog(dialog, true); }

int32_t win_set_clipboard_image(const uint8_t* rgb, int32_t width, int32_t height) {
  if (rgb == nullptr || width <= 0 || height <= 0) return 0;
  hlw.clipboard = {"", width, height, std::vector<uint8_t>(rgb, rgb + 3 * size_t(width) * size_t(height))};
  return 1;
}

int32_t win_save_png(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
  if (path == nullptr || rgb == nullptr || width <= 0 || height <= 0) return 0;
  hlw.saved.push_back(
      {path, width, height, std::vector<uint8_t>(rgb, rgb + 3 * size_t(width) * size_t(height))});
  return 1;
}

void win_set_fullscreen(plat_window window, bool fullscreen) {
  if (!is_our_window(window) || fullscreen == hlw.fullscreen) return;
  hlw.fullscreen = fullscreen;
  if (fullscreen) {
    hlw.normal_width = hl_client_width();
    hlw.normal_height = hl_client_height();
    resize_client(hlw.screen_width, hlw.screen_height);
  } else {
    resize_client(hlw.normal_width, hlw.normal_height);
  }
}

bool win_is_fullscreen(plat_window window) { return is_our_window(window) && hlw.fullscreen; }

void win_set_client_size(plat_window window, int32_t width, int32_t height) {
  if (!is_our_window(window)) return;
  width = std::clamp(width, 1, hlw.max_client_width);
  height = std::clamp(height, 1, hlw.max_client_height);
  if (hlw.fullscreen) {
    hlw.normal_width = width;
    hlw.normal_height = height;
    return;
  }
  resize_client(width, height);
}

int32_t win_max_client_size(plat_window window, int32_t* width, int32_t* height) {
  if (!is_our_window(window) || width == nullptr || height == nullptr) return 0;
  *width = hlw.max_client_width;
  *height = hlw.max_client_height;
  return 1;
}

int64_t win_get_setting(const char* key, char* out, size_t size) {
  if (key == nullptr) return -1;
  auto it = hlw.settings.find(key);
  if (it == hlw.settings.end()) return -1;
  window_copy_fitting(out, size, it->second);
  return static_cast<int64_t>(it->second.size());
}

void win_set_setting(const char* key, const char* value) {
  if (key == nullptr) return;
  if (value == nullptr) {
    hlw.settings.erase(key);
  } else {
    hlw.settings[key] = value;
  }
}

int32_t win_program_dir(char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  std::string dir;
  if (hlw.program_dir_set) {
    dir = hlw.program_dir;
  } else {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return 0;
    exe[n] = '\0';
    dir = exe;
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string() : dir.substr(0, slash);
  }
  if (dir.empty()) return 0;
  return window_copy_fitting(out, size, dir) ? 1 : 0;
}

void hlw_reset() {
  for (const win_msg& msg : hlw.queue) {
    if (msg.message == WIN_MSG_DROP_FILES) win_drag_finish(reinterpret_cast<plat_drop>(msg.wparam));
  }
  hlw = HlwState();
}

void hlw_press_key(int32_t virtual_key, uint32_t modifiers) {
  if (hlw.window == nullptr) return;
  win_post_message(hlw.window, WIN_MSG_KEY_DOWN, static_cast<uintptr_t>(virtual_key),
                   static_cast<intptr_t>(modifiers));
}

void hlw_request_close() {
  if (hlw.window != nullptr) win_post_message(hlw.window, WIN_MSG_CLOSE, 0, 0);
}

void hlw_double_click() {
  if (hlw.window != nullptr) win_post_message(hlw.window, WIN_MSG_LBUTTON_DBLCLK, 0, 0);
}

void hlw_turn_wheel(int32_t notches) {
  if (hlw.window != nullptr)
    win_post_message(hlw.window, WIN_MSG_MOUSE_WHEEL, static_cast<uintptr_t>(static_cast<intptr_t>(notches)),
                     0);
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
  const win_menu_item* item = find_item(id);
  return item != nullptr ? static_cast<int32_t>(item->state) : -1;
}

const char* hlw_menu_text(int32_t id) {
  const win_menu_item* item = find_item(id);
  return item != nullptr ? item->text : nullptr;
}

const std::vector<win_menu_item>& hlw_menu_rows() { return hlw.menu.rows; }
const char* hlw_title() { return hlw.title.c_str(); }
int32_t hlw_menu_check(int32_t id) {
  const win_menu_item* item = find_item(id);
  return item != nullptr ? static_cast<int32_t>(item->state & WIN_MF_CHECKED) : -1;
}
bool hlw_menu_hidden(int32_t id) {
  const win_menu_item* item = find_item(id);
  return item == nullptr || (item->state & WIN_MF_HIDDEN) != 0;
}
const HlwImage& hlw_clipboard() { return hlw.clipboard; }
const std::vector<HlwImage>& hlw_saved_pngs() { return hlw.saved; }
bool hlw_window_alive() { return hlw.window != nullptr; }
bool hlw_paint_pending() { return hlw.paint_pending; }
int32_t hlw_quit_code() { return hlw.quit_code; }
