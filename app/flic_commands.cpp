// The FLIC commands: open (dialog or command line), play, frame step, reset, info.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "gfx/gfx.h"
#include "platform/system.h"
#include "resources/commands.h"

namespace {

// The name messages show for the file asked for: the dialog's bare name, or for a name
// from the command line the part after its last '/'.
void name_for_messages(char* out, size_t size) {
  const char* name = app_state.file_title;
  if (name[0] == '\0') {
    const char* slash = std::strrchr(app_state.file_name, '/');
    name = slash != nullptr ? slash + 1 : app_state.file_name;
  }
  size_t length = std::strlen(name);
  if (length >= size) length = size - 1;  // a display name only: cut, never overrun
  std::memcpy(out, name, length);
  out[length] = '\0';
}

void error_box() {
  win_message_box(plat_get_active_window(), app_state.message_text, APP_ERROR_CAPTION,
                  WIN_MB_OK | WIN_MB_ICONERROR);
}

// Shows the first frame of the context in the buffer.
void first_frame() {
  flic_skip(&app_state.context, -1);
  flic_play(&app_state.context, 1, 0);
}

// Loads app_state.file_name. Anything that fails leaves the picture, the buffer, the
// context, the file in use and the menu as they were.
void load() {
  char title[APP_TITLE_SIZE];
  name_for_messages(title, sizeof title);

  uint8_t header[FLIC_HEADER_SIZE];
  FlicContext fresh = {};
  if (flic_check_header(app_state.file_name, header) < 0 || flic_open(app_state.file_name, &fresh) != 0) {
    std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_NOT_FLIC_FORMAT, title);
    error_box();
    return;
  }
  int32_t width = 0;
  int32_t height = 0;
  flic_size(header, &width, &height);
  int32_t old_width = app_state.image_width;
  int32_t old_height = app_state.image_height;
  app_state.image_width = width;
  app_state.image_height = height;
  if (!app_replace_buffer()) {
    app_state.image_width = old_width;
    app_state.image_height = old_height;
    flic_close(&fresh);
    std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_CANNOT_SHOW_FORMAT, title, width,
                  height);
    error_box();
    return;
  }

  if (app_state.context_open) flic_close(&app_state.context);
  app_state.context = fresh;
  app_state.context_open = true;
  std::memcpy(app_state.flic_header, header, sizeof header);
  flic_play(&app_state.context, 1, 0);
  app_show_picture();
  // The frames Info names are those the decoder finds, as the converter counts them:
  // a file that holds fewer than its header gives says how many it holds.
  FlicContext survey = {};
  flic_survey(app_state.file_name, &survey, nullptr);
  app_state.frame_count = static_cast<uint16_t>(flic_frames_decoded(&survey));
  std::memcpy(app_state.loaded_name, app_state.file_name, sizeof app_state.loaded_name);
  std::memcpy(app_state.shown_title, title, sizeof app_state.shown_title);
  app_state.flic_shown = true;
  app_set_flic_items(true);
}

// Plays the file once through, each frame at its due time; the application's own
// context is rewound so that "&Frame" starts again at the first frame.
void play() {
  flic_show(app_state.loaded_name, 1, 0);
  flic_skip(&app_state.context, -1);
}

void step() {
  if (flic_play(&app_state.context, 1, 0) == 0) first_frame();
  app_show_picture();
}

void info() {
  std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_INFO_FORMAT, app_state.shown_title,
                app_state.image_width, app_state.image_height, static_cast<int>(app_state.frame_count));
  win_message_box(plat_get_active_window(), app_state.message_text, APP_INFO_CAPTION,
                  WIN_MB_OK | WIN_MB_ICONINFORMATION);
}

}  // namespace

void app_flic_command(int32_t command) {
  switch (command) {
    case CMD_OPEN:
      if (app_file_dialog(APP_FLIC_FILTER_NAME, APP_FLIC_FILTER_PATTERN) != 1) return;
      load();
      return;
    case CMD_LOAD:
      load();
      return;
    default:
      break;
  }
  // Play, Frame, Reset and Info work on a FLIC on show only (their items are greyed
  // otherwise, but a command may still be sent).
  if (!app_state.flic_shown) return;
  switch (command) {
    case CMD_PLAY:
      play();
      break;
    case CMD_FRAME:
      step();
      break;
    case CMD_RESET:
      first_frame();
      app_show_picture();
      break;
    case CMD_INFO:
      info();
      break;
    default:
      break;
  }
}
