// pcx_show: decodes a PCX picture into the active buffer, clipped at every edge, and
// installs its colours (fitted into entries 10 to 245, or the 16 header colours at
// entries 10 to 25; black and white for one plane of one bit a pixel).
#include <algorithm>
#include <cstring>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "pcx/pcx_convert.h"
#include "pcx/pcx_io.h"
#include "pcx/pcx_lines.h"

namespace {

constexpr uint32_t FLAGS_TESTED = 0xFFFF;

// Where the picture lands in the active buffer, after clipping.
struct Placement {
  int64_t skipped_rows;  // lines decoded above the top edge and not drawn
  int64_t rows;          // rows drawn
  int32_t top;           // first row drawn
  int32_t left;          // first column drawn
  int32_t first;         // first pixel of each line that is drawn
  int32_t columns;       // columns drawn
};

// One axis: the picture spans [at, at + size); the buffer [0, limit).
void clip_span(int64_t at, int64_t size, int64_t limit, int64_t* skipped, int64_t* start, int64_t* count) {
  const int64_t from = std::max<int64_t>(at, 0);
  const int64_t to = std::min<int64_t>(at + size, limit);
  *skipped = from - at;
  *start = from;
  *count = to - from;
}

Placement place(const uint8_t* header, uint32_t flags) {
  const GfxState& g = gfx_state();
  const int64_t min_x = gfx_le16(header + PCX_AT_MIN_X);
  const int64_t min_y = gfx_le16(header + PCX_AT_MIN_Y);
  const int64_t width = int64_t{gfx_le16(header + PCX_AT_MAX_X)} - min_x + 1;
  const int64_t height = int64_t{gfx_le16(header + PCX_AT_MAX_Y)} - min_y + 1;
  const bool at_position = (flags & GFX_FLAG_AT_POSITION) != 0;
  const int64_t x = at_position ? g.draw_x : min_x;
  const int64_t y = at_position ? g.draw_y : min_y;

  Placement p{};
  int64_t skipped_columns = 0, left = 0, columns = 0, top = 0;
  clip_span(y, height, g.active_height, &p.skipped_rows, &top, &p.rows);
  clip_span(x, width, g.active_width, &skipped_columns, &left, &columns);
  if (p.rows <= 0 || columns <= 0) {
    p.rows = 0;
    return p;
  }
  p.top = static_cast<int32_t>(top);
  p.left = static_cast<int32_t>(left);
  p.first = static_cast<int32_t>(skipped_columns);
  p.columns = static_cast<int32_t>(columns);
  return p;
}

void draw_rows(PcxLineDecoder& d, const Placement& p) {
  GfxState& g = gfx_state();
  const PcxRowFormat format = pcx_row_format(g.pcx_header, p.first, p.columns);
  for (int64_t r = 0; r < p.skipped_rows && !d.ended; ++r) pcx_next_line(d);
  uint8_t* row = g.pixel_address + int64_t{p.top} * g.row_pitch + p.left;
  for (int64_t r = 0; r < p.rows; ++r, row += g.row_pitch) {
    pcx_next_line(d);
    pcx_convert_row(d.line, format, row);
  }
}

// Fetches the 769 bytes that end the file into the start of the scan-line buffer, so
// that the colour fitting never rewrites the caller's bytes in the stream buffer.
bool fetch_palette_block(bool memory, uint32_t data_length) {
  uint8_t* block = gfx_state().scan_line_buffer;
  if (memory) {
    if (data_length < PCX_PALETTE_BLOCK_SIZE) return false;
    std::memcpy(block, gfx_state().stream_buffer + data_length - PCX_PALETTE_BLOCK_SIZE,
                PCX_PALETTE_BLOCK_SIZE);
    return true;
  }
  return pcx_io_seek_from_end(PCX_PALETTE_BLOCK_SIZE) &&
         pcx_io_read(block, PCX_PALETTE_BLOCK_SIZE) == PCX_PALETTE_BLOCK_SIZE;
}

// A picture of one plane at one bit a pixel is black and white, whatever its header
// colours say: many writers leave them unset or fill them with leftovers.
bool black_and_white(const uint8_t* header) {
  return header[PCX_AT_BITS_PER_PIXEL] == 1 && header[PCX_AT_PLANES] == 1;
}

void install_colours(uint32_t flags, bool memory, uint32_t data_length) {
  if (flags & GFX_FLAG_NO_PAUSE) return;
  const uint8_t* header = gfx_state().pcx_header;
  if (!black_and_white(header) && header[PCX_AT_VERSION] == PCX_VERSION_PALETTE_BLOCK &&
      fetch_palette_block(memory, data_length) && gfx_state().scan_line_buffer[0] == PCX_PALETTE_MARKER) {
    uint8_t* colours = gfx_state().scan_line_buffer + 1;
    if (!(flags & GFX_FLAG_NO_REDUCE)) gfx_reduce_image_colours(PAL_FILE_FIRST, PAL_FILE_COUNT, colours);
    gfx_set_palette_range(PAL_FILE_FIRST, PAL_FILE_COUNT, colours + 3 * PAL_FILE_FIRST);
    return;
  }
  uint8_t colours[3 * PAL_HEADER_COUNT];
  std::memcpy(colours, header + PCX_AT_HEADER_PALETTE, sizeof colours);
  if (black_and_white(header)) {
    std::memset(colours, 0, 3);
    std::memset(colours + 3, 0xFF, 3);
  }
  gfx_set_palette_range(PAL_FILE_FIRST, PAL_HEADER_COUNT, colours);
}

// Everything after the lock: header, lines, colours.
int32_t show_locked(const char* file_name, uint32_t flags) {
  GfxState& g = gfx_state();
  const bool memory = (flags & GFX_FLAG_MEMORY) != 0;
  PcxReader reader{};
  uint32_t data_length = 0;
  if (memory) {
    data_length = std::min<uint32_t>(g.stream_size, GFX_STREAM_BUFFER_SIZE);
    if (data_length < PCX_HEADER_SIZE) return PCX_NOT_A_PCX;
    std::memcpy(g.pcx_header, g.stream_buffer, PCX_HEADER_SIZE);
    reader = {g.stream_buffer + PCX_HEADER_SIZE, data_length - PCX_HEADER_SIZE, false};
  } else {
    if (!pcx_io_open(file_name)) return PCX_CANNOT_OPEN;
    if (pcx_io_read(g.pcx_header, PCX_HEADER_SIZE) < PCX_HEADER_SIZE) {
      pcx_io_close();
      return PCX_NOT_A_PCX;
    }
    reader = {g.stream_buffer, 0, true};
  }

  const uint8_t* header = g.pcx_header;
  const uint32_t line_length = uint32_t{header[PCX_AT_PLANES]} * gfx_le16(header + PCX_AT_BYTES_PER_LINE);
  PcxLineDecoder decoder{};
  if (header[PCX_AT_MANUFACTURER] != PCX_MANUFACTURER || !pcx_lines_start(decoder, reader, line_length)) {
    if (!memory) pcx_io_close();
    return PCX_NOT_A_PCX;
  }

  const Placement placement = place(header, flags);
  if (placement.rows > 0) draw_rows(decoder, placement);
  install_colours(flags, memory, data_length);
  if (!memory) pcx_io_close();
  return PCX_SHOWN;
}

}  // namespace

int32_t pcx_show(const char* file_name, uint32_t flags) {
  flags &= FLAGS_TESTED;
  // No active buffer, or a surface that cannot be locked: nothing to draw into.
  if (!vb_lock()) {
    vb_unlock();
    return PCX_SHOWN;
  }
  const int32_t result = show_locked(file_name, flags);
  vb_unlock();
  return result;
}

uint32_t pcx_load_stream(const uint8_t* bytes, uint32_t count) {
  const uint32_t n = bytes ? std::min<uint32_t>(count, GFX_STREAM_BUFFER_SIZE) : 0;
  if (n > 0) std::memcpy(gfx_state().stream_buffer, bytes, n);
  gfx_state().stream_size = n;
  return n;
}
