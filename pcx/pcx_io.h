// File access of the PCX operations: the library's one I/O handle, opened for
// reading, read by count, positioned from the end, closed before each call returns.
#pragma once

#include <cstdint>

// Opens a file for reading into the I/O handle; false when it cannot be opened.
bool pcx_io_open(const char* file_name);
// Reads up to count bytes at the current position; the count that arrived (also kept
// as the bytes-read count). Errors count as the end of the file.
uint32_t pcx_io_read(uint8_t* into, uint32_t count);
// Moves the position to distance bytes before the end; false when the file is shorter
// or cannot be positioned.
bool pcx_io_seek_from_end(uint32_t distance);
// Closes the I/O handle (which keeps the closed descriptor's number).
void pcx_io_close();
