// What the shared screen records about its use, and the faults it can be told to
// produce. The headless backend's controls are built on these.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/types.h"

// Counts one call into the platform layer.
void screen_count_call();
int64_t screen_calls();

// A handle that is not (or no longer) a live object was passed in.
void screen_note_dead_handle();
int32_t screen_dead_handle_uses();

void screen_set_fault(HlStep step, int32_t code);
void screen_set_lost_copies(int32_t n);

const std::vector<HlBlit>& screen_blit_log();
const std::vector<HlAnimation>& screen_animation_log();
int32_t screen_live_objects();
int32_t screen_locked_surfaces();

// Frees every object still alive and returns every setting to its default.
void screen_reset();
