// PCX header check, extents, drawing position and palette read.
#include <cstring>

#include "gfx/gfx.h"
#include "pcx/pcx.h"
#include "pcx/pcx_io.h"

namespace {}  // namespace

int32_t pcx_check_header(const char* file_name, uint8_t* header) {
  if (!pcx_io_open(file_name)) return -1;
  const uint32_t got = pcx_io_read(header, PCX_HEADER_SIZE);
  pcx_io_close();
  if (got < PCX_HEADER_SIZE || header[PCX_AT_MANUFACTURER] != PCX_MANUFACTURER) return -2;
  return 0;
}

int32_t pcx_extents(const uint8_t* header, int32_t* min_x, int32_t* max_x, int32_t* min_y, int32_t* max_y) {
  if (header[PCX_AT_MANUFACTURER] != PCX_MANUFACTURER) {
    *min_x = *max_x = *min_y = *max_y = -1;
    return 0;
  }
  *min_x = gfx_le16(header + PCX_AT_MIN_X);
  *max_x = gfx_le16(header + PCX_AT_MAX_X);
  *min_y = gfx_le16(header + PCX_AT_MIN_Y);
  *max_y = gfx_le16(header + PCX_AT_MAX_Y);
  return 0;
}

int32_t pcx_set_position(int32_t x, int32_t y) {
  gfx_state().draw_x = x;
  gfx_state().draw_y = y;
  return 0;
}

int32_t pcx_read_palette(const char* file_name, uint8_t* palette) {
  if (!pcx_io_open(file_name)) return -1;
  uint8_t* header = gfx_header_buffer();
  if (pcx_io_read(header, PCX_HEADER_SIZE) < PCX_HEADER_SIZE ||
      header[PCX_AT_MANUFACTURER] != PCX_MANUFACTURER) {
    pcx_io_close();
    return -2;
  }
  int32_t result = PCX_HEADER_COLOURS;
  // Versions 5 to 127 may end with a colour block; the version byte is signed here.
  if (static_cast<int8_t>(header[PCX_AT_VERSION]) >= static_cast<int8_t>(PCX_VERSION_PALETTE_BLOCK)) {
    uint8_t* block = gfx_palette_read_area();
    if (pcx_io_seek_from_end(PCX_PALETTE_BLOCK_SIZE) &&
        pcx_io_read(block, PCX_PALETTE_BLOCK_SIZE) == PCX_PALETTE_BLOCK_SIZE &&
        block[0] == PCX_PALETTE_MARKER) {
      std::memcpy(palette, block + 1, PCX_BLOCK_COLOURS * 3);
      result = PCX_BLOCK_COLOURS;
    }
  }
  if (result == PCX_HEADER_COLOURS) {
    std::memcpy(palette, header + PCX_AT_HEADER_PALETTE, PCX_HEADER_COLOURS * 3);
  }
  pcx_io_close();
  return result;
}
