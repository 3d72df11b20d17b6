// The entry: window class, main window, first buffer, the file named on the command
// line, and the message loop.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "gfx/gfx.h"
#include "platform/system.h"
#include "resources/commands.h"
#include "resources/resources.h"

AppState app_state;

namespace {

// What each key of the accelerator table does, for the usage text.
struct KeyUse {
  int32_t command;
  const char* use;
};

constexpr KeyUse key_uses[] = {
    {CMD_OPEN, "open a FLIC file"},
    {CMD_PLAY, "play it through once (Escape ends Play)"},
    {CMD_FRAME, "the next frame (after the last, the first)"},
    {CMD_RESET, "back to the first frame"},
    {CMD_INFO, "the file's name, size and frame count"},
    {CMD_ABOUT, "the about picture"},
    {CMD_QUIT, "quit"},
};

void print_usage(FILE* out) {
  std::fprintf(out,
               "Usage: moxflic [FILE]\n"
               "Shows FLI and FLC animations: the first frame of FILE stretched over the window,\n"
               "then played through, stepped frame by frame, or described, from the menu or keys.\n"
               "Everything after the program name is the name of FILE, spaces included; a file\n"
               "can also be opened from the menu or dropped on the window.\n"
               "\nKeys:\n");
  const win_accel_table* keys = res_find_accelerators(RES_ACCEL_NAME);
  for (int32_t i = 0; keys != nullptr && i < keys->count; ++i) {
    const win_accel& key = keys->items[i];
    char name[32] = "";
    win_key_name(key.modifiers, key.virtual_key, name, sizeof name);
    const char* use = "";
    for (const KeyUse& k : key_uses) {
      if (k.command == key.command) use = k.use;
    }
    std::fprintf(out, "  %-8s %s\n", name, use);
  }
  std::fprintf(out,
               "\n  %-10s this text\n  %-10s the version\n"
               "\nTo turn animations into PNG or GIF files, use moxflic-export.\n",
               APP_HELP_OPTION, APP_VERSION_OPTION);
}

}  // namespace

int32_t app_option(int argc, char** argv, FILE* out) {
  if (argc != 2 || argv == nullptr || argv[1] == nullptr) return 0;
  if (std::strcmp(argv[1], APP_HELP_OPTION) == 0) {
    print_usage(out);
    return 1;
  }
  if (std::strcmp(argv[1], APP_VERSION_OPTION) == 0) {
    std::fprintf(out, "moxflic %s\n", MOXFLIC_VERSION);
    return 1;
  }
  return 0;
}

void app_reset() {
  app_state = AppState();
  app_state.buffer_slot = -1;
}

size_t app_command_tail(int argc, char** argv, char* out, size_t size) {
  size_t length = 0;
  for (int i = 1; i < argc; ++i) length += (i > 1 ? 1 : 0) + std::strlen(argv[i]);
  if (out == nullptr || size == 0) return length;
  out[0] = '\0';
  if (length >= size) return length;
  size_t at = 0;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) out[at++] = ' ';
    size_t n = std::strlen(argv[i]);
    std::memcpy(out + at, argv[i], n);
    at += n;
  }
  out[at] = '\0';
  return length;
}

void app_start(const char* tail, size_t tail_length, int32_t show_state) {
  app_state.accelerators = res_find_accelerators(RES_ACCEL_NAME);
  win_class window_class = {WIN_CS_HREDRAW | WIN_CS_VREDRAW, app_window_proc, res_find_icon(RES_ICON_NAME),
                            res_find_menu(RES_MENU_NAME),    APP_CLASS_NAME,  app_state.accelerators};
  win_register_class(&window_class);
  plat_window window = win_create(APP_CLASS_NAME, APP_WINDOW_TITLE, APP_WINDOW_WIDTH, APP_WINDOW_HEIGHT);
  win_show(window, show_state);
  gfx_init();
  // Until a file is opened, the picture is this first buffer, blank.
  app_state.image_width = APP_WINDOW_WIDTH;
  app_state.image_height = APP_WINDOW_HEIGHT;
  app_state.buffer_slot = vb_alloc(app_state.image_width, app_state.image_height);
  vb_open(app_state.buffer_slot);
  win_update(window);

  if (tail == nullptr || tail_length == 0) return;
  app_load_named(tail, tail_length);
}

int32_t app_run() {
  win_msg msg;
  while (win_get_message(&msg) != 0) {
    if (win_translate_accelerator(app_state.window, app_state.accelerators, &msg) == 0) {
      win_dispatch_message(&msg);
    }
  }
  return static_cast<int32_t>(msg.wparam);
}

// A name longer than the name buffer is refused whole rather than cut.
void app_load_named(const char* name, size_t length) {
  if (length >= sizeof app_state.file_name) {
    std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_NAME_TOO_LONG_FORMAT, length,
                  static_cast<int>(sizeof app_state.file_name - 1));
    win_message_box(plat_get_active_window(), app_state.message_text, APP_ERROR_CAPTION,
                    WIN_MB_OK | WIN_MB_ICONERROR);
    return;
  }
  std::memmove(app_state.file_name, name, length);
  app_state.file_name[length] = '\0';
  app_state.file_title[0] = '\0';
  win_send_message(app_state.window, WIN_MSG_COMMAND, CMD_LOAD, 0);
}
