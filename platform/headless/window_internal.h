// What the headless window system tells the rest of the headless backend.
#pragma once

// A close request waits for the running command to end: Escape then reads as down.
bool hlw_close_held();
