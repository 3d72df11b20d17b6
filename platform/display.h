// The surface service: one display object, a primary surface that stands for the
// whole screen, a clipper that keeps copies inside one window's client area, and
// off-screen 8-bit palette-indexed surfaces in system memory.
//
// Every operation returns a result code: 0 for success, a negative code for a
// refusal. Handles are opaque; a null handle is never a valid object.
#pragma once

#include "platform/types.h"

// Result codes.
constexpr int32_t PLAT_OK = 0;
constexpr int32_t PLAT_ERR_SURFACE_LOST = static_cast<int32_t>(0x887601C2u);
constexpr int32_t PLAT_ERR_INVALID_PARAMS = static_cast<int32_t>(0x80070057u);
constexpr int32_t PLAT_ERR_OUT_OF_MEMORY = static_cast<int32_t>(0x8007000Eu);
constexpr int32_t PLAT_ERR_NO_OBJECT = static_cast<int32_t>(0x88760082u);  // null handle
constexpr int32_t PLAT_ERR_GENERIC = static_cast<int32_t>(0x80004005u);

// Cooperative level: windowed, shared use of the display.
constexpr uint32_t PLAT_SCL_NORMAL = 0x8;

// Surface capabilities.
constexpr uint32_t PLAT_CAPS_PRIMARY_SURFACE = 0x200;
constexpr uint32_t PLAT_CAPS_SYSTEM_MEMORY = 0x800;

// Pixel format flags.
constexpr uint32_t PLAT_PF_PALETTE_INDEXED8 = 0x20;
constexpr uint32_t PLAT_PF_RGB = 0x40;

// Lock flags.
constexpr uint32_t PLAT_LOCK_WAIT = 0x1;

// Copy flags and raster operation.
constexpr uint32_t PLAT_BLT_WAIT = 0x01000000;
constexpr uint32_t PLAT_BLT_ROP = 0x00020000;
constexpr uint32_t PLAT_BLT_COLOURFILL = 0x00000400;  // fill the destination with fx->fill_colour
constexpr uint32_t PLAT_ROP_SRCCOPY = 0x00CC0020;

// Largest off-screen surface, in pixels; larger requests are refused.
constexpr int64_t PLAT_MAX_SURFACE_PIXELS = 64ll * 1024 * 1024;

struct plat_pixel_format {
  uint32_t size;           // sizeof(plat_pixel_format)
  uint32_t flags;          // PLAT_PF_*
  uint32_t rgb_bit_count;  // 8
};

// Shared by surface creation (in) and lock (out).
struct plat_surface_desc {
  uint32_t size;  // sizeof(plat_surface_desc); set once, never written by the library
  int32_t width;
  int32_t height;
  int32_t pitch;     // out of lock; the library never reads it
  uint8_t* surface;  // out of lock: address of the first pixel
  plat_pixel_format pixel_format;
  uint32_t caps;  // PLAT_CAPS_*
};

// Effects of one copy.
struct plat_blt_fx {
  uint32_t size;         // sizeof(plat_blt_fx)
  uint32_t rop;          // PLAT_ROP_SRCCOPY
  uint32_t fill_colour;  // the palette index of PLAT_BLT_COLOURFILL
};

// Creates the display object.
int32_t plat_display_create(plat_display* out);
// Sets how the display is shared; PLAT_SCL_NORMAL is windowed.
int32_t plat_display_set_cooperative_level(plat_display display, plat_window window, uint32_t flags);
// Creates the primary surface (caps PLAT_CAPS_PRIMARY_SURFACE, no size) or an
// off-screen 8-bit surface (caps PLAT_CAPS_SYSTEM_MEMORY, width and height).
// Pixels of a new off-screen surface are 0. Sizes of 0 or less, or more than
// PLAT_MAX_SURFACE_PIXELS pixels, are refused with PLAT_ERR_INVALID_PARAMS.
int32_t plat_display_create_surface(plat_display display, plat_surface_desc* desc, plat_surface* out);
// Creates a clipper.
int32_t plat_display_create_clipper(plat_display display, uint32_t flags, plat_clipper* out);
// Binds a clipper to a window: copies through it stay inside the window's client area.
int32_t plat_clipper_set_window(plat_clipper clipper, uint32_t flags, plat_window window);
// Attaches a clipper to the primary surface.
int32_t plat_surface_set_clipper(plat_surface surface, plat_clipper clipper);
// Locks a whole off-screen surface; desc->surface receives the first pixel's address.
int32_t plat_surface_lock(plat_surface surface, plat_surface_desc* desc, uint32_t flags);
// Unlocks a surface.
int32_t plat_surface_unlock(plat_surface surface);
// Stretching copy (nearest neighbour) from an off-screen surface onto the primary
// surface. Rectangles are right- and bottom-exclusive; the destination is in screen
// coordinates. May answer PLAT_ERR_SURFACE_LOST, after which plat_surface_restore helps.
// With PLAT_BLT_COLOURFILL the destination is filled with fx->fill_colour instead (src
// and src_rect are not used and may be null).
int32_t plat_surface_blt(plat_surface dest, const plat_rect* dest_rect, plat_surface src,
                         const plat_rect* src_rect, uint32_t flags, plat_blt_fx* fx);
// Restores a lost surface.
int32_t plat_surface_restore(plat_surface surface);
// Releases a surface, a clipper, the display object.
int32_t plat_surface_release(plat_surface surface);
int32_t plat_clipper_release(plat_clipper clipper);
int32_t plat_display_release(plat_display display);
