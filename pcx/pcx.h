// PCX pictures: header check, extents, drawing position, palette read, and decoding
// into the active buffer with the colours installed in the logical palette.
#pragma once

#include <cstdint>

constexpr uint8_t PCX_MANUFACTURER = 10;
constexpr uint8_t PCX_VERSION_PALETTE_BLOCK = 5;
constexpr uint8_t PCX_ENCODING_RUN_LENGTH = 1;
constexpr uint8_t PCX_PALETTE_MARKER = 12;
constexpr int PCX_HEADER_SIZE = 128;
constexpr int PCX_PALETTE_BLOCK_SIZE = 769;
// Run-length data: a byte with both top bits set is a run of the next byte, counted
// by its low six bits; any other byte stands for itself.
constexpr uint8_t PCX_RUN_FLAG = 0xC0;
constexpr uint8_t PCX_RUN_COUNT_MASK = 0x3F;
constexpr uint32_t PCX_MAX_RUN = 63;
// The most planes a header can give a line.
constexpr uint32_t PCX_MAX_PLANES = 4;

// Header layout: byte offsets of the fields the library reads (16-bit fields little-endian).
constexpr int PCX_AT_MANUFACTURER = 0;
constexpr int PCX_AT_VERSION = 1;
constexpr int PCX_AT_ENCODING = 2;
constexpr int PCX_AT_BITS_PER_PIXEL = 3;
constexpr int PCX_AT_MIN_X = 4;
constexpr int PCX_AT_MIN_Y = 6;
constexpr int PCX_AT_MAX_X = 8;
constexpr int PCX_AT_MAX_Y = 10;
constexpr int PCX_AT_HEADER_PALETTE = 16;  // 16 RGB triples
constexpr int PCX_AT_PLANES = 65;
constexpr int PCX_AT_BYTES_PER_LINE = 66;
constexpr int PCX_HEADER_COLOURS = 16;
constexpr int PCX_HEADER_PALETTE_SIZE = PCX_HEADER_COLOURS * 3;
constexpr int PCX_BLOCK_COLOURS = 256;

// Results of pcx_show (failures are positive).
constexpr int32_t PCX_SHOWN = 0;
constexpr int32_t PCX_CANNOT_OPEN = 1;
constexpr int32_t PCX_NOT_A_PCX = 2;  // short header, not a PCX, or a line longer than four planes

// Reads a file's 128-byte header into header: 0 for a PCX, -1 when it cannot be opened,
// -2 when it is too short or its first byte is not 10.
int32_t pcx_check_header(const char* file_name, uint8_t* header);
// Minimum x, maximum x, minimum y, maximum y from a header (-1 each if not a PCX); 0.
int32_t pcx_extents(const uint8_t* header, int32_t* min_x, int32_t* max_x, int32_t* min_y, int32_t* max_y);

// Sets the drawing position; 0.
int32_t pcx_set_position(int32_t x, int32_t y);
// Reads a file's colours into palette (768 bytes): 256 or 16, -1 or -2.
int32_t pcx_read_palette(const char* file_name, uint8_t* palette);
// Puts a whole file into the stream buffer for pcx_show with GFX_FLAG_MEMORY: copies at
// most GFX_STREAM_BUFFER_SIZE bytes and sets the stream buffer's size word to the count
// copied, which it returns.
uint32_t pcx_load_stream(const uint8_t* bytes, uint32_t count);
// Draws a picture into the active buffer and installs its colours: 0, 1 (cannot be
// opened) or 2 (short header, not a PCX, or lines longer than four planes of 65,535 bytes).
// The picture is clipped at all four edges of the buffer.
int32_t pcx_show(const char* file_name, uint32_t flags);
