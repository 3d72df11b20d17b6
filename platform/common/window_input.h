// What both window systems share for the user's input beyond the key poll: lists of
// dropped files, handed to the window procedure as a plat_drop.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"

// A drop holding these file names (full paths), for WIN_MSG_DROP_FILES.
plat_drop window_drop_create(const std::vector<std::string>& names);
