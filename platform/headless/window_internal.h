// What the headless window system and the headless keyboard share.
#pragma once

// A close request waits for the running command to end: Escape reads as down meanwhile.
// The flag lives with the keyboard, so that a program without the window system (the
// converter) links none of it.
void hl_hold_close(bool held);
bool hl_close_held();
