// The entry: window class, main window, first buffer, the file named on the command
// line, and the message loop.
#include <cstdio>
#include <cstring>
#include <string>

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
    {CMD_PLAY, "play it through once from the first frame; during Play, pause and go on"},
    {CMD_FRAME, "the next frame (after the last, the first)"},
    {CMD_RESET, "back to the first frame"},
    {CMD_INFO, "the file's name, size and frame count"},
    {CMD_ABOUT, "the about picture"},
    {CMD_QUIT, "quit"},
    {CMD_BACK, "the frame before (before the first, the last)"},
    {CMD_LAST, "the last frame"},
    {CMD_LOOP, "Play runs on, round and round, until Escape (on or off)"},
    {CMD_NEXT_FILE, "the next file given, or the next FLIC in the folder"},
    {CMD_PREVIOUS_FILE, "the file before"},
    {CMD_COPY, "copy the frame on show to the clipboard"},
    {CMD_SAVE, "save the frame on show as a PNG file"},
    {CMD_FULLSCREEN, "full screen (on or off)"},
    {CMD_STRETCH, "the picture stretched over the window"},
    {CMD_ASPECT, "the picture as large as the window holds, with its own shape"},
    {CMD_ACTUAL, "the picture at its own size (1:1), centred"},
    {CMD_DOUBLE, "the picture at twice its size (2:1)"},
    {CMD_TRIPLE, "the picture at three times its size (3:1)"},
    {CMD_ZOOM_IN, "the picture one whole size larger"},
    {CMD_ZOOM_OUT, "the picture one whole size smaller"},
    {CMD_FIT_WINDOW, "the window to the picture at the largest whole size the screen holds"},
};

void print_usage(FILE* out) {
  std::fprintf(out,
               "Usage: moxflic [FILE]...\n"
               "Shows FLI and FLC animations: the first frame of the first FILE stretched over the\n"
               "window, then played, stepped frame by frame, or described, from the menu or keys.\n"
               "Page Down and Page Up go through the FILEs given, or with one FILE through the FLICs\n"
               "in its folder. Files can also be opened from the menu or dropped on the window.\n"
               "\nKeys:\n");
  // One line a command, its keys first; a key with Shift that the same key without it
  // already stands for is not named again.
  const win_accel_table* keys = res_find_accelerators(RES_ACCEL_NAME);
  for (const KeyUse& use : key_uses) {
    std::string names;
    for (int32_t i = 0; keys != nullptr && i < keys->count; ++i) {
      const win_accel& key = keys->items[i];
      if (key.command != use.command) continue;
      const bool plain_bound =
          (key.modifiers & WIN_MOD_SHIFT) != 0 &&
          res_find_command(keys, key.modifiers & ~WIN_MOD_SHIFT, key.virtual_key) == use.command;
      if (plain_bound) continue;
      char name[32] = "";
      win_key_name(key.modifiers, key.virtual_key, name, sizeof name);
      names += (names.empty() ? "" : ", ") + std::string(name);
    }
    std::fprintf(out, "  %-12s %s\n", names.c_str(), use.use);
  }
  std::fprintf(out,
               "  %-12s end Play; otherwise leave full screen\n"
               "  %-12s full screen (on or off)\n"
               "  %-12s the frame before (turned away) or after (towards you)\n"
               "\nDuring Play every other key, menu item or dropped file ends Play, then does what it\n"
               "does. The picture size, the recent files and the last folder are remembered.\n",
               "Esc", "double-click", "wheel");
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

std::vector<std::string> app_arguments(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc && argv != nullptr && argv[i] != nullptr; ++i) files.emplace_back(argv[i]);
  return files;
}

void app_start(const std::vector<std::string>& files, int32_t show_state) {
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
  app_load_settings();
  win_update(window);

  if (!files.empty()) app_open_files(files);
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

void app_open_files(const std::vector<std::string>& files) {
  if (files.empty()) return;
  app_state.files = files;
  app_state.file_index = 0;
  app_load_named(files[0].c_str(), files[0].size());
}
