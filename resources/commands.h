// Command numbers of the viewer's menu items, and of the command the entry sends to
// open the file named on the command line.
#pragma once

#include <cstdint>

constexpr int32_t CMD_QUIT = 4;
constexpr int32_t CMD_OPEN = 301;
constexpr int32_t CMD_PLAY = 302;
constexpr int32_t CMD_FRAME = 303;
constexpr int32_t CMD_RESET = 304;
constexpr int32_t CMD_INFO = 305;
constexpr int32_t CMD_ABOUT = 306;
constexpr int32_t CMD_ABOUT_TITLE = 307;  // the top-level item that names the program
constexpr int32_t CMD_LOAD = 308;         // no menu item
// Stepping, looping, the other files, the frame as a picture.
constexpr int32_t CMD_BACK = 309;  // the frame before the one on show
constexpr int32_t CMD_LAST = 310;  // the last frame
constexpr int32_t CMD_LOOP = 311;  // Play runs on until stopped (checked)
constexpr int32_t CMD_NEXT_FILE = 312;
constexpr int32_t CMD_PREVIOUS_FILE = 313;
constexpr int32_t CMD_COPY = 314;  // the frame on show to the clipboard
constexpr int32_t CMD_SAVE = 315;  // the frame on show as a PNG file
// The View menu: how the picture fills the window.
constexpr int32_t CMD_FULLSCREEN = 316;
constexpr int32_t CMD_STRETCH = 317;
constexpr int32_t CMD_ASPECT = 318;
constexpr int32_t CMD_ACTUAL = 319;  // 1:1
constexpr int32_t CMD_DOUBLE = 320;  // 2:1
constexpr int32_t CMD_TRIPLE = 321;  // 3:1
constexpr int32_t CMD_ZOOM_IN = 322;
constexpr int32_t CMD_ZOOM_OUT = 323;
constexpr int32_t CMD_FIT_WINDOW = 324;  // the window to the picture at a whole multiple
// The recent files, most recent first.
constexpr int32_t CMD_RECENT_FIRST = 330;
constexpr int32_t CMD_RECENT_COUNT = 8;
