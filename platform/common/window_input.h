// What both window systems share for the user's input beyond the key poll: lists of
// dropped files, handed to the window procedure as a plat_drop, and the answers of
// dialogs and queries copied out to the caller.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"

// A drop holding these file names (full paths), for WIN_MSG_DROP_FILES.
plat_drop window_drop_create(const std::vector<std::string>& names);

// Copies text, with its terminating zero, into the caller's size bytes at out; false,
// with nothing copied, when it does not fit.
bool window_copy_fitting(char* out, size_t size, const std::string& text);
