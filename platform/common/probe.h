// What the shared screen and the window core tell a test backend, and what such a backend may ask of it.
// The screen keeps no record of its own: with no probe installed it counts nothing and
// every step succeeds. The headless backend installs one for its tests
// (platform/headless/controls.h); the programs never do.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Display steps a probe can make fail.
enum class ScreenStep {
  display_create,
  cooperative_level,
  primary_surface,
  clipper,
  clipper_bind,
  set_clipper,
  surface_create,
  lock,
  count
};

// Every member must be set.
struct ScreenProbe {
  void (*call)();                     // a call into the platform layer
  void (*dead_handle)();              // a handle of no live object was passed in
  int32_t (*fault)(ScreenStep step);  // the code the step answers (0: it proceeds)
  bool (*lose_copy)();                // true: this copy onto the primary answers "lost"
  void (*copied)(const plat_rect& dest, const plat_rect& src, int32_t result);
  void (*animated)(uint32_t start, uint32_t count);
  // The window core sent a message to the window procedure.
  void (*sent)(uint32_t message, uintptr_t wparam, intptr_t lparam);
};

// Installs a probe (null removes it).
void screen_set_probe(const ScreenProbe* probe);

// Settings a test may change.
void screen_set_depth(int32_t bits_per_pixel, int32_t planes);
void screen_set_system_palette(const plat_palette_entry entries[256]);

// Display objects, surfaces, clippers and palettes alive, and surfaces locked now.
int32_t screen_live_objects();
int32_t screen_locked_surfaces();

// Frees every object still alive and returns every setting to its default.
void screen_reset();
