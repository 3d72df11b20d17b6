// The FLIC commands: open (dialog or command line), play, the steps forward and back,
// the first and last frame, info; and the title that names the file and the frame.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
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

// Why the file asked for cannot be opened, as the message text: false when it can be.
// Only a file that opens and reads and is no FLIC is called "not an FLI or FLC file".
bool cannot_open(const char* title) {
  const char* path = app_state.file_name;
  char reason[128] = "";
  struct stat info = {};
  if (stat(path, &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_MISSING_FORMAT, title);
      return true;
    }
    std::snprintf(reason, sizeof reason, "%s", std::strerror(errno));
  } else if (S_ISDIR(info.st_mode)) {
    std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_FOLDER_FORMAT, title);
    return true;
  } else {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      close(fd);
      return false;
    }
    std::snprintf(reason, sizeof reason, "%s", std::strerror(errno));
  }
  reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_UNREADABLE_FORMAT, title, reason);
  return true;
}

void show_frame(uint32_t record) {
  app_state.frame_shown = app_frame_of(record);
  app_frame_shown();
}

// Loads app_state.file_name. Anything that fails leaves the picture, the buffer, the
// context, the file in use and the menu as they were.
void load() {
  char title[APP_TITLE_SIZE];
  name_for_messages(title, sizeof title);

  if (cannot_open(title)) {
    error_box();
    return;
  }
  uint8_t header[FLIC_HEADER_SIZE];
  FlicContext fresh = {};
  const int32_t checked = flic_check_header(app_state.file_name, header);
  if (checked < 0 || flic_open(app_state.file_name, &fresh) != 0) {
    if (checked == -1) {
      std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_UNREADABLE_FORMAT, title,
                    "it cannot be opened");
    } else {
      std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_NOT_FLIC_FORMAT, title);
    }
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
  // The first frame is shown as soon as it is decoded: the file's delay comes between
  // frames, not before the first.
  flic_play(&app_state.context, 1, GFX_FLAG_NO_PAUSE);
  app_state.frame_shown = 1;
  app_state.flic_shown = true;
  app_show_picture();
  // The frames Info names are those the decoder finds, as the converter counts them:
  // a file that holds fewer than its header gives says how many it holds.
  FlicContext survey = {};
  flic_survey(app_state.file_name, &survey, nullptr);
  app_state.frame_count = static_cast<uint16_t>(flic_frames_decoded(&survey));
  app_state.has_ring = survey.report.records > app_state.frame_count;
  flic_keyframes_reset(
      &app_state.keyframes,
      flic_keyframe_interval(app_state.frame_count, gfx_state().buffer_size, APP_KEYFRAME_BUDGET));
  flic_keyframes_note(&app_state.keyframes, &app_state.context);
  std::memcpy(app_state.loaded_name, app_state.file_name, sizeof app_state.loaded_name);
  std::memcpy(app_state.shown_title, title, sizeof app_state.shown_title);
  app_set_flic_items(true);
  app_update_title();
  app_remember_file(app_state.loaded_name);
}

// The last animation frame in the buffer (or the ring frame after it): the next is frame 1.
bool at_last_frame() {
  const uint32_t at = app_state.context.report.records;
  return app_state.frame_count > 0 && at >= app_state.frame_count;
}

// Each step forward waits the file's delay before the new frame is shown.
void step() {
  plat_wait_until_us(flic_next_due(&app_state.context));
  if (at_last_frame() || flic_play(&app_state.context, 1, GFX_FLAG_NO_PAUSE) == 0) {
    flic_seek(&app_state.context, &app_state.keyframes, 1);
  } else {
    flic_keyframes_note(&app_state.keyframes, &app_state.context);
  }
  show_frame(app_state.context.report.records);
}

void first_frame() {
  plat_wait_until_us(flic_next_due(&app_state.context));
  show_frame(static_cast<uint32_t>(flic_seek(&app_state.context, &app_state.keyframes, 1)));
}

// Going back decodes from a kept copy, with no pause.
void go_to(int32_t frame) {
  if (frame < 1) return;
  show_frame(static_cast<uint32_t>(
      flic_seek(&app_state.context, &app_state.keyframes, static_cast<uint32_t>(frame))));
}

void back() { go_to(app_state.frame_shown > 1 ? app_state.frame_shown - 1 : app_state.frame_count); }

void info() {
  std::snprintf(app_state.message_text, sizeof app_state.message_text, APP_INFO_FORMAT, app_state.shown_title,
                app_state.image_width, app_state.image_height, static_cast<int>(app_state.frame_count));
  win_message_box(plat_get_active_window(), app_state.message_text, APP_INFO_CAPTION,
                  WIN_MB_OK | WIN_MB_ICONINFORMATION);
}

}  // namespace

int32_t app_frame_of(uint32_t record) {
  const uint32_t frames = app_state.frame_count;
  if (frames == 0 || record == 0) return static_cast<int32_t>(record);
  return static_cast<int32_t>((record - 1) % frames + 1);
}

void app_frame_shown() {
  app_show_picture();
  app_update_title();
}

void app_update_title() {
  if (app_state.window == nullptr) return;
  if (!app_state.flic_shown) {
    win_set_title(app_state.window, APP_WINDOW_TITLE);
    return;
  }
  char title[APP_TITLE_SIZE + 96];
  std::snprintf(title, sizeof title, APP_TITLE_FORMAT, app_state.shown_title,
                static_cast<int>(app_state.frame_shown), static_cast<int>(app_state.frame_count),
                APP_WINDOW_TITLE);
  win_set_title(app_state.window, title);
}

void app_flic_command(int32_t command) {
  switch (command) {
    case CMD_OPEN:
      if (app_file_dialog(APP_FLIC_FILTER_NAME, APP_FLIC_FILTER_PATTERN) != 1) return;
      app_state.files.assign(1, app_state.file_name);
      app_state.file_index = 0;
      load();
      return;
    case CMD_LOAD:
      load();
      return;
    default:
      break;
  }
  // The other commands work on a FLIC on show only (their items are greyed otherwise,
  // but a command may still be sent).
  if (!app_state.flic_shown) return;
  switch (command) {
    case CMD_PLAY:
      app_play();
      break;
    case CMD_FRAME:
      step();
      break;
    case CMD_RESET:
      first_frame();
      break;
    case CMD_BACK:
      back();
      break;
    case CMD_LAST:
      go_to(app_state.frame_count);
      break;
    case CMD_INFO:
      info();
      break;
    default:
      break;
  }
}
