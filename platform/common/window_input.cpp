// Accelerators, key names and dropped-file lists, the same on every window system.
#include "platform/common/window_input.h"

#include <cstdio>
#include <cstring>

#include "platform/input.h"

struct plat_drop_obj {
  std::vector<std::string> names;
};

namespace {

struct KeyName {
  int32_t virtual_key;
  const char* name;
};

constexpr KeyName key_names[] = {
    {PLAT_VK_BACK, "Backspace"}, {PLAT_VK_TAB, "Tab"},     {PLAT_VK_RETURN, "Enter"}, {PLAT_VK_ESCAPE, "Esc"},
    {PLAT_VK_SPACE, "Space"},    {PLAT_VK_END, "End"},     {PLAT_VK_HOME, "Home"},    {PLAT_VK_LEFT, "Left"},
    {PLAT_VK_UP, "Up"},          {PLAT_VK_RIGHT, "Right"}, {PLAT_VK_DOWN, "Down"},    {PLAT_VK_PRIOR, "PgUp"},
    {PLAT_VK_NEXT, "PgDown"},    {PLAT_VK_OEM_PLUS, "+"},  {PLAT_VK_OEM_MINUS, "-"},
};
constexpr int32_t FUNCTION_KEYS = 12;

}  // namespace

int32_t win_find_accelerator(plat_window window, const win_accel_table* table, const win_msg* msg) {
  if (table == nullptr || msg == nullptr || msg->message != WIN_MSG_KEY_DOWN || msg->window != window) {
    return 0;
  }
  const uint32_t held = static_cast<uint32_t>(msg->lparam) & (WIN_MOD_SHIFT | WIN_MOD_CTRL | WIN_MOD_ALT);
  for (int32_t i = 0; i < table->count; ++i) {
    const win_accel& a = table->items[i];
    if (static_cast<uintptr_t>(a.virtual_key) == msg->wparam && a.modifiers == held) return a.command;
  }
  return 0;
}

int32_t win_translate_accelerator(plat_window window, const win_accel_table* table, const win_msg* msg) {
  const int32_t command = win_find_accelerator(window, table, msg);
  if (command == 0) return 0;
  win_send_message(window, WIN_MSG_COMMAND, static_cast<uintptr_t>(command), 0);
  return 1;
}

size_t win_key_name(uint32_t modifiers, int32_t virtual_key, char* out, size_t size) {
  char key[8] = {};
  const char* name = key;
  if ((virtual_key >= 'A' && virtual_key <= 'Z') || (virtual_key >= '0' && virtual_key <= '9')) {
    key[0] = static_cast<char>(virtual_key);
  } else if (virtual_key >= PLAT_VK_F1 && virtual_key < PLAT_VK_F1 + FUNCTION_KEYS) {
    std::snprintf(key, sizeof key, "F%d", virtual_key - PLAT_VK_F1 + 1);
  } else {
    name = "?";
    for (const KeyName& k : key_names) {
      if (k.virtual_key == virtual_key) name = k.name;
    }
  }
  char text[32];
  int length = std::snprintf(text, sizeof text, "%s%s%s%s", (modifiers & WIN_MOD_CTRL) ? "Ctrl+" : "",
                             (modifiers & WIN_MOD_ALT) ? "Alt+" : "",
                             (modifiers & WIN_MOD_SHIFT) ? "Shift+" : "", name);
  const size_t n = static_cast<size_t>(length);
  if (out != nullptr && n < size) std::memcpy(out, text, n + 1);
  return n;
}

plat_drop window_drop_create(const std::vector<std::string>& names) { return new plat_drop_obj{names}; }

int64_t win_drag_query_file(plat_drop drop, int32_t index, char* out, size_t size) {
  if (drop == nullptr || index < 0 || static_cast<size_t>(index) >= drop->names.size()) return -1;
  const std::string& name = drop->names[static_cast<size_t>(index)];
  if (out != nullptr && name.size() < size) std::memcpy(out, name.c_str(), name.size() + 1);
  return static_cast<int64_t>(name.size());
}

void win_drag_finish(plat_drop drop) { delete drop; }

bool window_copy_fitting(char* out, size_t size, const std::string& text) {
  if (out == nullptr || size == 0 || text.size() >= size) return false;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}
