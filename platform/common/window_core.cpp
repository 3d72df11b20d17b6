// The window system of platform/window.h as every backend shares it: classes, the one
// window, the message queue and loop, dispatch, the default procedure, the quit
// message and the menu's item states. What only the backend can do goes through its
// PlatformBackend (platform_backend).
#include "platform/common/window_core.h"

#include <unistd.h>

#include <climits>
#include <cstring>

#include "platform/backend.h"
#include "platform/common/screen_state.h"
#include "platform/common/window_input.h"

namespace {

WindowCore core;

const win_class* find_class(const char* name) {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < core.class_count; ++i) {
    if (std::strcmp(core.classes[i].class_name, name) == 0) return &core.classes[i];
  }
  return nullptr;
}

bool is_our_window(plat_window window) { return window != nullptr && window == core.window; }

win_menu_item* find_item(plat_menu menu, int32_t id) {
  if (!core.has_menu || menu != &core.menu) return nullptr;
  for (win_menu_item& row : core.menu.rows) {
    if (row.kind == WinMenuKind::item && row.id == id) return &row;
  }
  return nullptr;
}

void menu_changed(const win_menu_item& row) { platform_backend->menu_changed(core.window, row); }

// Sets the bits of an item's state that mask selects: their previous value, or -1 when
// there is no such item.
int32_t set_item_state(plat_menu menu, int32_t id, uint32_t mask, uint32_t state) {
  win_menu_item* item = find_item(menu, id);
  if (item == nullptr) return -1;
  const auto previous = static_cast<int32_t>(item->state & mask);
  item->state = (item->state & ~mask) | (state & mask);
  menu_changed(*item);
  return previous;
}

// Drops the queued messages of a window (null: of every window), with the file lists
// they carry.
void forget_queued(plat_window window) {
  std::deque<win_msg> kept;
  for (const win_msg& msg : core.queue) {
    if (window != nullptr && msg.window != window) {
      kept.push_back(msg);
    } else if (msg.message == WIN_MSG_DROP_FILES) {
      win_drag_finish(reinterpret_cast<plat_drop>(msg.wparam));
    }
  }
  core.queue.swap(kept);
}

bool paint_due() { return !core.quit_posted && core.window != nullptr && core.paint_pending; }

// A message or the quit message is there.
bool anything_waiting() { return core.quit_posted || window_core_message_waiting(); }

// The directory of the running program file, or empty.
std::string running_program_dir() {
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return {};
  exe[n] = '\0';
  const char* slash = std::strrchr(exe, '/');
  return slash == nullptr ? std::string() : std::string(exe, static_cast<size_t>(slash - exe));
}

int32_t file_dialog(win_open_file* dialog, bool save) {
  if (dialog == nullptr || platform_backend == nullptr) return 0;
  std::string path;
  std::string title;
  if (!platform_backend->choose_file(dialog, save, &path, &title)) return 0;
  if (path.size() >= dialog->file_size) return 0;
  if (dialog->file_title != nullptr && title.size() >= dialog->file_title_size) return 0;
  window_copy_fitting(dialog->file, dialog->file_size, path);
  if (dialog->file_title != nullptr) window_copy_fitting(dialog->file_title, dialog->file_title_size, title);
  return 1;
}

}  // namespace

const WindowCore& window_core() { return core; }

void window_core_resized(plat_window window) {
  if (!is_our_window(window)) return;
  win_send_message(window, WIN_MSG_SIZE, 0, win_size_param(window->client_width, window->client_height));
  if ((core.class_style & (WIN_CS_HREDRAW | WIN_CS_VREDRAW)) != 0) win_invalidate(window, true);
}

bool window_core_message_waiting() { return !core.queue.empty() || paint_due(); }

const win_menu_item* window_core_menu_item(int32_t id) { return find_item(&core.menu, id); }

void window_core_reset() {
  forget_queued(nullptr);
  core = WindowCore();
}

// --- Classes and the window -------------------------------------------------------------

int32_t win_register_class(const win_class* window_class) {
  if (window_class == nullptr || window_class->proc == nullptr || window_class->class_name == nullptr) {
    return 0;
  }
  if (find_class(window_class->class_name) != nullptr || core.class_count == WindowCore::MAX_CLASSES)
    return 0;
  core.classes[core.class_count++] = *window_class;
  return 1;
}

plat_window win_create(const char* class_name, const char* title, int32_t width, int32_t height) {
  const win_class* window_class = find_class(class_name);
  if (window_class == nullptr || core.window != nullptr || platform_backend == nullptr) return nullptr;
  plat_window window = platform_backend->create_window(window_class, title, width, height);
  if (window == nullptr) return nullptr;
  core.window = window;
  core.proc = window_class->proc;
  core.class_style = window_class->style;
  core.accelerators = window_class->accelerators;
  core.title = title != nullptr ? title : "";
  core.shown = false;
  core.paint_pending = false;
  const win_menu* menu = window_class->menu;
  core.has_menu = menu != nullptr;
  core.menu.rows.clear();
  core.menu.texts.clear();
  if (menu != nullptr) {
    core.menu.rows.assign(menu->items, menu->items + menu->count);
    core.menu.texts.resize(core.menu.rows.size());
  }
  win_send_message(window, WIN_MSG_CREATE, 0, 0);
  return window;
}

void win_show(plat_window window, int32_t) {
  if (!is_our_window(window) || core.shown) return;
  core.shown = true;
  platform_backend->show_window(window);
  core.paint_pending = true;
}

void win_set_title(plat_window window, const char* title) {
  if (!is_our_window(window)) return;
  core.title = title != nullptr ? title : "";
  platform_backend->set_title(window, core.title.c_str());
}

void win_invalidate(plat_window window, bool) {
  if (!is_our_window(window)) return;
  core.paint_pending = true;
  platform_backend->wake();
}

void win_update(plat_window window) {
  if (is_our_window(window) && core.paint_pending) win_send_message(window, WIN_MSG_PAINT, 0, 0);
}

void win_begin_paint(plat_window window) {
  if (is_our_window(window)) core.paint_pending = false;
}

void win_end_paint(plat_window) {}

// The backend holds the user's input back while a command runs, so that no other
// command can start inside it.
intptr_t win_send_message(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (!is_our_window(window) || core.proc == nullptr) return 0;
  if (screen_probe != nullptr) screen_probe->sent(message, wparam, lparam);
  if (message != WIN_MSG_COMMAND) return core.proc(window, message, wparam, lparam);
  if (core.command_depth++ == 0) platform_backend->hold_input(true);
  const intptr_t answer = core.proc(window, message, wparam, lparam);
  if (--core.command_depth == 0) platform_backend->hold_input(false);
  return answer;
}

int32_t win_post_message(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (!is_our_window(window)) return 0;
  core.queue.push_back({window, message, wparam, lparam});
  platform_backend->wake();
  return 1;
}

intptr_t win_default_proc(plat_window window, uint32_t message, uintptr_t, intptr_t) {
  if (message == WIN_MSG_CLOSE) win_destroy(window);
  if (message == WIN_MSG_PAINT) win_begin_paint(window);
  return 0;
}

void win_destroy(plat_window window) {
  if (!is_our_window(window) || core.destroying) return;
  core.destroying = true;
  win_send_message(window, WIN_MSG_DESTROY, 0, 0);
  forget_queued(window);
  platform_backend->destroy_window(window);
  core.window = nullptr;
  core.proc = nullptr;
  core.accelerators = nullptr;
  core.shown = false;
  core.paint_pending = false;
  core.destroying = false;
  core.has_menu = false;
  core.menu.rows.clear();
  core.menu.texts.clear();
}

// --- Message loop -------------------------------------------------------------------------

int32_t win_peek_message(win_msg* out, uint32_t remove) {
  if (!core.queue.empty()) {
    *out = core.queue.front();
    if (remove == WIN_PM_REMOVE) core.queue.pop_front();
    return 1;
  }
  if (paint_due()) {
    *out = {core.window, WIN_MSG_PAINT, 0, 0};
    return 1;
  }
  return 0;
}

// When no event can come any more (the headless backend with nothing queued), the loop
// ends as if the quit message had come, so that it can never hang.
int32_t win_get_message(win_msg* out) {
  for (;;) {
    if (!core.queue.empty()) return win_peek_message(out, WIN_PM_REMOVE);
    if (core.quit_posted) break;
    if (win_peek_message(out, WIN_PM_REMOVE) == 1) return 1;
    if (platform_backend == nullptr || !platform_backend->wait_events(-1)) break;
  }
  core.quit_posted = false;
  *out = {nullptr, WIN_MSG_QUIT, static_cast<uintptr_t>(core.quit_code), 0};
  return 0;
}

// The quit message counts as a message: the wait ends for it too.
int32_t win_wait_message(int64_t due) {
  while (!anything_waiting()) {
    if (platform_backend == nullptr || !platform_backend->wait_events(due)) return anything_waiting() ? 1 : 0;
  }
  return 1;
}

intptr_t win_dispatch_message(const win_msg* msg) {
  if (msg == nullptr) return 0;
  return win_send_message(msg->window, msg->message, msg->wparam, msg->lparam);
}

void win_post_quit(int32_t exit_code) {
  core.quit_posted = true;
  core.quit_code = exit_code;
}

// --- Menu ---------------------------------------------------------------------------------

plat_menu win_get_menu(plat_window window) {
  return is_our_window(window) && core.has_menu ? &core.menu : nullptr;
}

int32_t win_enable_menu_item(plat_menu menu, int32_t id, uint32_t state) {
  return set_item_state(menu, id, WIN_MF_GRAYED, state);
}

int32_t win_check_menu_item(plat_menu menu, int32_t id, uint32_t check) {
  return set_item_state(menu, id, WIN_MF_CHECKED, check);
}

int32_t win_set_menu_item_text(plat_menu menu, int32_t id, const char* text) {
  win_menu_item* item = find_item(menu, id);
  if (item == nullptr) return 0;
  std::string& kept = core.menu.texts[static_cast<size_t>(item - core.menu.rows.data())];
  kept = text != nullptr ? text : "";
  item->text = kept.c_str();
  item->state = text != nullptr ? item->state & ~WIN_MF_HIDDEN : item->state | WIN_MF_HIDDEN;
  menu_changed(*item);
  return 1;
}

// --- Dialogs and the user's things ---------------------------------------------------------

int32_t win_message_box(plat_window owner, const char* text, const char* caption, uint32_t type) {
  if (platform_backend != nullptr) platform_backend->message_box(owner, text, caption, type);
  return WIN_IDOK;
}

int32_t win_get_open_file_name(win_open_file* dialog) { return file_dialog(dialog, false); }
int32_t win_get_save_file_name(win_open_file* dialog) { return file_dialog(dialog, true); }

int32_t win_set_clipboard_image(const uint8_t* rgb, int32_t width, int32_t height) {
  if (platform_backend == nullptr || rgb == nullptr || width <= 0 || height <= 0) return 0;
  return platform_backend->set_clipboard_image(rgb, width, height);
}

int32_t win_save_png(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
  if (platform_backend == nullptr || path == nullptr || rgb == nullptr || width <= 0 || height <= 0) return 0;
  return platform_backend->save_png(path, rgb, width, height);
}

int64_t win_get_setting(const char* key, char* out, size_t size) {
  std::string value;
  if (key == nullptr || platform_backend == nullptr || !platform_backend->get_setting(key, &value)) return -1;
  window_copy_fitting(out, size, value);
  return static_cast<int64_t>(value.size());
}

void win_set_setting(const char* key, const char* value) {
  if (key != nullptr && platform_backend != nullptr) platform_backend->set_setting(key, value);
}

int32_t win_program_dir(char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  std::string dir;
  if (platform_backend == nullptr || !platform_backend->program_dir(&dir)) dir = running_program_dir();
  if (dir.empty()) return 0;
  return window_copy_fitting(out, size, dir) ? 1 : 0;
}

// --- Size and place -----------------------------------------------------------------------

void win_set_fullscreen(plat_window window, bool fullscreen) {
  if (is_our_window(window)) platform_backend->set_fullscreen(window, fullscreen);
}

bool win_is_fullscreen(plat_window window) {
  return is_our_window(window) && platform_backend->is_fullscreen(window);
}

void win_set_client_size(plat_window window, int32_t width, int32_t height) {
  if (is_our_window(window)) platform_backend->set_client_size(window, width, height);
}

int32_t win_max_client_size(plat_window window, int32_t* width, int32_t* height) {
  if (!is_our_window(window) || width == nullptr || height == nullptr) return 0;
  return platform_backend->max_client_size(window, width, height);
}
