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
