// The graphics library: its state block, the contexts that hold it, and the operations
// every module uses.
//
// Every operation works on the calling thread's current context: the whole of the
// library's state (the state block below, the stream buffer and scan-line scratch in
// it, the buffers, the colour reduction's memory). Contexts are independent: several
// threads decode at once, each in its own context, with no lock between them. A thread
// that never makes a context current uses one of its own, made on its first call, so a
// program with one thread need not know contexts exist. A context may move from thread
// to thread, but is used by one thread at a time.
//
// All drawing goes to the active virtual buffer, an off-screen 8-bit palette-indexed
// surface in one of 32 slots. Pixel (x, y) lies at pixel_address + y * row_pitch + x
// while the surface is locked (vb_lock / vb_unlock).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/display.h"
#include "platform/gdi.h"
#include "platform/types.h"

// Sizes of the library's fixed tables.
constexpr int GFX_SLOT_COUNT = 32;
constexpr int8_t GFX_NO_SLOT = -1;
constexpr uint32_t GFX_STREAM_BUFFER_SIZE = 4096;
constexpr int GFX_HEADER_SIZE = 128;
constexpr int GFX_SCAN_LINE_SIZE = 10240;
constexpr int GFX_KEY_STATES = 256;
constexpr int GFX_COLOURS = 256;

// Image flags of flic_play and pcx_show.
constexpr uint32_t GFX_FLAG_NO_PAUSE = 1;     // flic_play: no pause; pcx_show: palette untouched
constexpr uint32_t GFX_FLAG_AT_POSITION = 2;  // place the image at the drawing position
constexpr uint32_t GFX_FLAG_MEMORY = 4;       // the file's bytes are in the stream buffer
constexpr uint32_t GFX_FLAG_NO_REDUCE = 8;    // skip the colour reduction or fitting
// flic_play: walk and judge the frames without drawing: no buffer is needed, no pixel
// is written, the colours are left alone and no pause is made.
constexpr uint32_t GFX_FLAG_SURVEY = 16;

// The fewest retries of a copy onto a lost primary surface before the blit gives up.
constexpr int GFX_BLIT_RETRIES = 4;

struct GfxTextMetrics {
  plat_font font;
  int32_t line_height;
  int32_t external_leading;
  int32_t ave_char_width;
};

// A platform record with its size field set and the rest zero.
template <class Record>
constexpr Record gfx_sized() {
  Record r{};
  r.size = sizeof(Record);
  return r;
}

// The library state block. Zero at load except where a field's initialiser says.
struct GfxState {
  // Display device.
  plat_display display_object;
  plat_surface primary_surface;
  plat_clipper clipper;
  plat_window display_window;
  int32_t last_display_result;
  plat_surface_desc surface_desc = gfx_sized<plat_surface_desc>();  // shared by every creation and lock
  plat_blt_fx blit_fx = gfx_sized<plat_blt_fx>();                   // passed to every blit

  // Device contexts and text.
  plat_dc palette_dc;
  plat_dc text_dc;
  plat_palette current_palette;
  GfxTextMetrics text_metrics;

  // Drawing colour.
  uint8_t colour_index;
  uint8_t drawn_value;
  uint32_t fill_word;
  uint8_t drawing_colour_map[GFX_COLOURS];

  // Drawing position of flic_play and pcx_show under GFX_FLAG_AT_POSITION.
  int32_t draw_x;
  int32_t draw_y;

  // Active virtual buffer: copies of the slot's fields taken by vb_open.
  int8_t active_slot = GFX_NO_SLOT;
  plat_surface active_surface;
  int32_t active_width;
  int32_t row_pitch;
  int32_t active_height;
  uint32_t buffer_size;
  uint8_t* pixel_address;  // valid only while lock_count > 0
  int32_t clip_min_x;
  int32_t clip_max_x;
  int32_t clip_min_y;
  int32_t clip_max_y;
  int32_t lock_count;

  // Virtual buffer table; a null surface marks a free slot.
  plat_surface slot_surface[GFX_SLOT_COUNT];
  int32_t slot_width[GFX_SLOT_COUNT];
  int32_t slot_height[GFX_SLOT_COUNT];
  int32_t slot_clip_min_x[GFX_SLOT_COUNT];
  int32_t slot_clip_max_x[GFX_SLOT_COUNT];
  int32_t slot_clip_min_y[GFX_SLOT_COUNT];
  int32_t slot_clip_max_y[GFX_SLOT_COUNT];

  // File input.
  int32_t io_handle = -1;  // POSIX file descriptor of the library's one open file
  uint32_t bytes_read;
  uint8_t* stream_address = stream_buffer;
  uint32_t stream_size = GFX_STREAM_BUFFER_SIZE;
  uint8_t stream_buffer[GFX_STREAM_BUFFER_SIZE];
  // Scan-line scratch; begins with the header buffer and the palette read area.
  alignas(16) uint8_t scan_line_buffer[GFX_SCAN_LINE_SIZE];

  // Keyboard state scratch.
  uint8_t key_state[GFX_KEY_STATES];

  // Logical palette.
  plat_logpalette logical_palette = [] {
    plat_logpalette p{};
    p.version = PLAT_LOGPALETTE_VERSION;
    p.entry_count = PLAT_PALETTE_ENTRIES;
    return p;
  }();

  // Image colour fitting.
  uint16_t colour_usage[GFX_COLOURS];
  uint8_t image_colour_map[GFX_COLOURS];

  // FLIC palette reduction and colour chunks.
  uint8_t flic_file_palette[GFX_COLOURS * 3];
  uint8_t work_palette[GFX_COLOURS * 3];
  uint8_t live_flags[GFX_COLOURS];
  uint8_t flic_colour_map[GFX_COLOURS];

  // FLIC frame timing: when the next frame is due, on the platform's microsecond
  // clock, and whether that time belongs to a frame just shown.
  int64_t frame_due_us;
  int32_t frame_due_valid;

  // PCX header of the image being shown.
  uint8_t pcx_header[GFX_HEADER_SIZE];
};

// --- Contexts -----------------------------------------------------------------------
struct PalReductionCache;  // palette/reduce_palette.cpp
void pal_free_reduction_cache(PalReductionCache* cache);
struct FdPairMap;  // flic/decoder.h
void fdec_free_pair_map(FdPairMap* pairs);

// The vector code the library's inner loops run, as `moxflic-export --version` names it:
// "portable", "avx2" or "avx512", with a note in brackets when the environment variable
// MOXFLIC_SIMD asked for a level (and what came of it when this processor lacks it).
const char* gfx_vector_code();

// A context: the state block and the memory made for it on first use.
struct GfxContext {
  GfxState state;
  PalReductionCache* reductions = nullptr;  // reductions kept for reuse, made by the first
  uint8_t* pcx_line_scratch = nullptr;      // the PCX line decoder's line, made by the first PCX
  FdPairMap* pair_map = nullptr;            // the FLIC colour map over pairs, made by the first large frame
  const std::atomic<bool>* stop = nullptr;  // set by another thread: reading stops (gfx_stop_when)

  GfxContext() = default;
  GfxContext(const GfxContext&) = delete;
  GfxContext& operator=(const GfxContext&) = delete;
  ~GfxContext();
};

// Makes a context with the state block's values at load (no display device yet: call
// gfx_init once it is current); null when there is no memory for one.
GfxContext* gfx_context_create();
// Frees a context made by gfx_context_create, with every buffer and display object it
// still holds. A thread whose current context it was goes back to its own.
void gfx_context_destroy(GfxContext* context);
// Makes a context the calling thread's current one (null: the thread's own).
void gfx_context_make_current(GfxContext* context);
// The calling thread's current context (its own until it makes another current).
GfxContext* gfx_context_current();

// From now on, the current context's reads of its files give nothing once *flag is
// true (null: never), so that a decode another thread gave up on ends as at the end of
// its file, at the next read; the caller then judges the file itself, not by that end.
void gfx_stop_when(const std::atomic<bool>* flag);
// Whether the current context was told to stop reading.
bool gfx_stopped();

// The calling thread's current context, when it has made one current.
extern thread_local constinit GfxContext* gfx_current_context;
// The calling thread's own context, made on first use, and made current.
GfxContext& gfx_thread_context();

inline GfxContext& gfx_context() {
  GfxContext* current = gfx_current_context;
  return current != nullptr ? *current : gfx_thread_context();
}
// The current context's state block.
inline GfxState& gfx_state() { return gfx_context().state; }

// Returns the current state block to its values at load (for tests and tools that start
// over; any platform objects it held are forgotten, not released).
void gfx_load_state();

// Little-endian numbers in the files' headers and records.
inline uint16_t gfx_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t gfx_le32(const uint8_t* p) { return gfx_le16(p) | uint32_t{gfx_le16(p + 2)} << 16; }

// The header buffer and the palette read area lie at the start of the scan-line buffer.
inline uint8_t* gfx_header_buffer() { return gfx_state().scan_line_buffer; }
inline uint8_t* gfx_palette_read_area() { return gfx_state().scan_line_buffer + GFX_HEADER_SIZE; }

// --- Display device and state block -------------------------------------------------
// Sets the device context used for palettes and text.
int32_t gfx_set_dc(plat_dc dc);
// Brings up the display device and gives the state block its starting values; always 0.
int32_t gfx_init();
// Frees every buffer still allocated and releases the display device; 0.
int32_t gfx_finish();
// Selects a stock font into the text device context and records its metrics; 0.
int32_t gfx_select_font(int32_t number);
// Bits per pixel times planes of the palette device context.
uint32_t gfx_colour_depth();
// Starts pixel work on the active buffer: 1 when pixel_address may be used, 0 when the
// work must be skipped (no active buffer, or the lock failed). Always pair with vb_unlock.
int32_t vb_lock();
// Ends pixel work begun by vb_lock.
void vb_unlock();

// --- Virtual buffers ------------------------------------------------------------------
// Allocates a buffer (width rounded up to a multiple of 4): the slot, -1 when none is
// free, or the refused creation's negative code.
int32_t vb_alloc(int32_t width, int32_t height);
// Makes a slot the active buffer: 0, -1 for a bad number, -2 for a free slot.
int32_t vb_open(int32_t slot);
// Leaves no buffer active; 0.
int32_t vb_close();
// Frees a slot unless it is active; 0.
int32_t vb_free(int32_t slot);
// Active width - 1 and active height - 1.
int32_t gfx_max_x();
int32_t gfx_max_y();

// --- Window blit and fill -------------------------------------------------------------
// Stretches a rectangle of the active buffer onto a rectangle of the display window's
// client area; corners inclusive (min x, max x, min y, max y); 0.
int32_t vb_blit_scaled(int32_t sx1, int32_t sx2, int32_t sy1, int32_t sy2, int32_t dx1, int32_t dx2,
                       int32_t dy1, int32_t dy2);
// Fills a rectangle of the display window's client area with a palette index, corners
// inclusive (min x, max x, min y, max y); needs no active buffer; 0.
int32_t vb_fill_window(int32_t dx1, int32_t dx2, int32_t dy1, int32_t dy2, uint8_t colour);
// The top-left width x height pixels of the active buffer in the colours the screen
// shows them in (the logical palette): 3 bytes (red, green, blue) a pixel, rows top
// first, into rgb. 1, or 0 when there is no such picture or it cannot be read.
int32_t vb_read_rgb(int32_t width, int32_t height, uint8_t* rgb);
// Fills the whole active buffer with the drawing colour; 0.
int32_t gfx_erase();

// --- Files ----------------------------------------------------------------------------
// Opens a file for reading: its descriptor, or -1. A named pipe without a writer is not
// waited for (its reads come up short).
int32_t gfx_open_file(const char* file_name);
// Reads up to n bytes, as many as the file gives, into out; the count, also kept in
// bytes_read.
uint32_t gfx_read_fully(int32_t fd, uint8_t* out, uint32_t n);

// --- Keyboard -------------------------------------------------------------------------
// 1 when the key with this scan code is down now; with code 0, when any key is down.
int32_t gfx_key_down(int32_t code);
