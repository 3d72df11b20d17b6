// The viewer application: its state, the entry, the window procedure and the command
// handlers, in the order the program uses them.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "flic/flic.h"
#include "platform/types.h"
#include "platform/window.h"

// Texts of the window and the messages.
constexpr const char* APP_CLASS_NAME = "FGimage";
constexpr const char* APP_WINDOW_TITLE = "MOX Flic-Fli File Viewer v0.4";
constexpr const char* APP_ABOUT_FILE = "moxflic.res";
constexpr const char* APP_FLIC_FILTER_NAME = "flic files (*.FLI,*.FLC)";
constexpr const char* APP_FLIC_FILTER_PATTERN = "*.FLI;*.FLC";
constexpr const char* APP_NOT_FLIC_FORMAT = "%s is not an FLI or FLC file.";
constexpr const char* APP_INFO_FORMAT = "%s\n%dx%d pixels\n%d frames";
constexpr const char* APP_CANNOT_SHOW_FORMAT = "%s cannot be shown: its picture is %dx%d pixels.";
constexpr const char* APP_NAME_TOO_LONG_FORMAT = "The file name is too long: %zu characters, at most %d.";
constexpr const char* APP_HELP_OPTION = "--help";
constexpr const char* APP_VERSION_OPTION = "--version";
constexpr const char* APP_ERROR_CAPTION = "flic";
constexpr const char* APP_INFO_CAPTION = "FLI/FLC";

// Size of the window at start and of the first buffer.
constexpr int32_t APP_WINDOW_WIDTH = 640;
constexpr int32_t APP_WINDOW_HEIGHT = 480;
// Drawing colour set at window creation.
constexpr int32_t APP_START_COLOUR = 25;

// Name buffers: a full path and a bare file name, each with its terminating zero.
constexpr size_t APP_NAME_SIZE = PATH_MAX;
constexpr size_t APP_TITLE_SIZE = NAME_MAX + 1;
constexpr size_t APP_MESSAGE_SIZE = PATH_MAX + 128;
constexpr size_t APP_FILTER_SIZE = 96;

// The application's variables, all zero at start.
struct AppState {
  plat_window window;
  plat_dc window_dc;
  plat_palette palette;
  plat_menu menu;
  const win_accel_table* accelerators;
  int32_t client_width;
  int32_t client_height;
  int32_t buffer_slot;
  // The name the next load is asked for (dialog or command line) and its bare name.
  char file_name[APP_NAME_SIZE];
  char file_title[APP_TITLE_SIZE];
  // The FLIC in use: its path and the name "&Info" shows.
  char loaded_name[APP_NAME_SIZE];
  char shown_title[APP_TITLE_SIZE];
  char message_text[APP_MESSAGE_SIZE];
  uint8_t flic_header[FLIC_HEADER_SIZE];
  FlicContext context;
  bool context_open;
  bool flic_shown;  // a FLIC is in the buffer (not the about picture): 302-305 work
  // The picture in the buffer: the FLIC's or the about picture's size, or the first
  // buffer's before either is shown.
  int32_t image_width;
  int32_t image_height;
  uint16_t frame_count;
};

extern AppState app_state;

// Back to the state at program start (for tests; the program starts that way).
void app_reset();

// --- Entry ----------------------------------------------------------------------------
// The options --help and --version, each alone on the command line: the usage text or
// the version goes to out and the answer is 1 (the program then ends with 0, needing
// no display). Any other command line answers 0: it names a file.
int32_t app_option(int argc, char** argv, FILE* out);
// Joins the program's arguments after the program name with single spaces into out:
// the length of the whole tail (out holds it only when that is below size).
size_t app_command_tail(int argc, char** argv, char* out, size_t size);
// Registers the class, creates and shows the window, brings up the library with a
// 640 x 480 buffer, paints, and opens the file named by tail (may be empty).
void app_start(const char* tail, size_t tail_length, int32_t show_state);
// Runs the message loop until the quit message, turning the accelerator keys into
// their commands; returns the quit message's exit code.
int32_t app_run();
// Loads a file by a name given whole (command line, dropped file) as command 308 does,
// with no dialog title. A name longer than the name buffer is refused with a message.
void app_load_named(const char* name, size_t length);

// --- Window procedure -----------------------------------------------------------------
intptr_t app_window_proc(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// --- Commands -------------------------------------------------------------------------
// Commands 301-305 and 308; others do nothing.
void app_flic_command(int32_t command);
// Commands 306 and 307; others do nothing.
void app_about_command(int32_t command);
// Replaces the application's buffer by one of the image size: 1, or 0 when that size
// cannot be allocated (the old buffer then stays active).
int32_t app_replace_buffer();
// Stretches the image in the buffer (image width x height, not the buffer's rounded
// width) over the whole client area: every command and every paint shows it so.
void app_show_picture();
// Enables (or greys) the items that need a FLIC: Play, Frame, Reset, Info.
void app_set_flic_items(bool enabled);
// The open-file dialog with one filter: 1 when a file was chosen (file name and title
// set), -1 otherwise.
int32_t app_file_dialog(const char* description, const char* pattern);
