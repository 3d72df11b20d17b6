// PCX pictures: header check, extents, drawing position, palette read, and decoding
// into the active buffer with the colours installed in the logical palette.
#pragma once

#include <cstdint>

constexpr uint8_t PCX_MANUFACTURER = 10;
constexpr uint8_t PCX_VERSION_PALETTE_BLOCK = 5;
constexpr uint8_t PCX_PALETTE_MARKER = 12;
constexpr int PCX_HEADER_SIZE = 128;
constexpr int PCX_PALETTE_BLOCK_SIZE = 769;

// Reads a file's 128-byte header into header: 0 for a PCX, -1 when it cannot be opened,
// -2 when it is too short or its first byte is not 10.
int32_t pcx_check_header(const char* file_name, uint8_t* header);
// Minimum x, maximum x, minimum y, maximum y from a header (-1 each if not a PCX); 0.
int32_t pcx_extents(const uint8_t* header, int32_t* min_x, int32_t* max_x, int32_t* min_y,
                    int32_t* max_y);
// Sets the drawing position; 0.
int32_t pcx_set_position(int32_t x, int32_t y);
// Reads a file's colours into palette (768 bytes): 256 or 16, -1 or -2.
int32_t pcx_read_palette(const char* file_name, uint8_t* palette);
// Draws a picture into the active buffer and installs its colours: 0, 1 (cannot be
// opened) or 2 (short header or not a PCX).
int32_t pcx_show(const char* file_name, uint32_t flags);
