// The viewer application: its state, the entry, the window procedure and the command
// handlers, in the order the program uses them.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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
constexpr const char* APP_MISSING_FORMAT = "%s does not exist.";
constexpr const char* APP_FOLDER_FORMAT = "%s is a folder, not a file.";
constexpr const char* APP_UNREADABLE_FORMAT = "%s cannot be read: %s.";
constexpr const char* APP_NOT_SAVED_FORMAT = "%s cannot be written.";
// The title while a FLIC is shown: its name, the frame on show, the frames.
constexpr const char* APP_TITLE_FORMAT = "%s \u2014 %d / %d \u2014 %s";
constexpr const char* APP_INFO_FORMAT = "%s\n%dx%d pixels\n%d frames";
constexpr const char* APP_CANNOT_SHOW_FORMAT = "%s cannot be shown: its picture is %dx%d pixels.";
constexpr const char* APP_NAME_TOO_LONG_FORMAT = "The file name is too long: %zu characters, at most %d.";
constexpr const char* APP_HELP_OPTION = "--help";
constexpr const char* APP_VERSION_OPTION = "--version";
constexpr const char* APP_ERROR_CAPTION = "flic";
constexpr const char* APP_INFO_CAPTION = "FLI/FLC";

// What the user's settings are kept under.
constexpr const char* APP_SETTING_VIEW = "view/size";
constexpr const char* APP_SETTING_RECENT = "files/recent";
constexpr const char* APP_SETTING_FOLDER = "files/folder";

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

// How the picture fills the client area: stretched over all of it, as large as the
// client area holds with its own shape (black bars beside it), or at a whole multiple
// of its size, centred.
enum class AppView : uint8_t { stretch, aspect, scale };
constexpr int32_t APP_MAX_SCALE = 64;
// Copies of the decoding state are kept within this many bytes per file.
constexpr uint64_t APP_KEYFRAME_BUDGET = 64ull << 20;
constexpr size_t APP_RECENT_FILES = 8;

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
  uint16_t frame_count;  // the animation frames the decoder finds in the file (its survey)
  // The frame on show (from 1; 0 before any FLIC); the context's place is the frame
  // records it decoded since its start (context.report.records).
  int32_t frame_shown;
  bool has_ring;  // the file ends with a ring frame, which turns the picture back into frame 1
  FlicKeyframes keyframes;
  bool playing;
  bool looping;  // Play runs on after the ring frame until the user stops it
  AppView view;
  int32_t scale;
  // Where the picture was last framed with black bars, and in what client size.
  plat_rect framed;
  int32_t framed_width;
  int32_t framed_height;
  // The files Page Down and Page Up go through (given together), and the one last asked
  // for; with a single file they go through its folder.
  std::vector<std::string> files;
  size_t file_index;
  std::vector<std::string> recent;  // most recent first
};

extern AppState app_state;

// Back to the state at program start (for tests; the program starts that way).
void app_reset();

// --- Entry ----------------------------------------------------------------------------
// The options --help and --version, each alone on the command line: the usage text or
// the version goes to out and the answer is 1 (the program then ends with 0, needing
// no display). Any other command line answers 0: it names a file.
int32_t app_option(int argc, char** argv, FILE* out);
// The program's arguments after the program name: every one names a file.
std::vector<std::string> app_arguments(int argc, char** argv);
// Registers the class, creates and shows the window, brings up the library with a
// 640 x 480 buffer, paints, and opens the first of files (may be none).
void app_start(const std::vector<std::string>& files, int32_t show_state);
// Runs the message loop until the quit message, turning the accelerator keys into
// their commands; returns the quit message's exit code.
int32_t app_run();
// Loads a file by a name given whole (command line, dropped file) as command 308 does,
// with no dialog title. A name longer than the name buffer is refused with a message.
void app_load_named(const char* name, size_t length);
// Makes files the ones Page Down and Page Up go through and loads the first.
void app_open_files(const std::vector<std::string>& files);

// --- Window procedure -----------------------------------------------------------------
intptr_t app_window_proc(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// --- Commands -------------------------------------------------------------------------
// Commands 301-305 and 308, and the steps back and to the last frame; others do nothing.
void app_flic_command(int32_t command);
// Play: every frame at its due time, the window answering meanwhile (play.cpp).
void app_play();
// The View menu's commands (view.cpp), the other files and the recent ones (files.cpp),
// the frame to the clipboard or a PNG file (frame_picture.cpp).
void app_view_command(int32_t command);
void app_file_command(int32_t command);
void app_picture_command(int32_t command);
// The size setting read at start, and the recent files into the menu.
void app_load_settings();
// A FLIC just loaded from path becomes the most recent file.
void app_remember_file(const char* path);
// Leaves full screen if the window is in it: true when it was.
bool app_leave_fullscreen();
// Shows the frame the context decoded last: the picture, the title.
void app_frame_shown();
// The frame a frame record shows (from 1): the ring frame shows frame 1 again.
int32_t app_frame_of(uint32_t record);
// The title: the file and the frame on show while a FLIC is shown.
void app_update_title();
// Commands 306 and 307; others do nothing.
void app_about_command(int32_t command);
// Replaces the application's buffer by one of the image size: 1, or 0 when that size
// cannot be allocated (the old buffer then stays active).
int32_t app_replace_buffer();
// Shows the image in the buffer (image width x height, not the buffer's rounded width)
// in the client area as the View menu says, black around it where it leaves room:
// every command and every paint shows it so.
void app_show_picture();
// The same, with the black bars drawn again whatever was shown before (a paint).
void app_paint_picture();
// Enables (or greys) the items that need a FLIC: Play, Frame, Reset, Info, the steps
// back and to the last frame, Copy and Save.
void app_set_flic_items(bool enabled);
// The open-file dialog with one filter: 1 when a file was chosen (file name and title
// set), -1 otherwise.
int32_t app_file_dialog(const char* description, const char* pattern);
