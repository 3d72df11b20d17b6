// A bounded reader over a file: every read names its offset and length and fails when
// they reach past the end of the file, so no size taken from the file is trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct FileReader {
  int fd;
  uint64_t size;
};

// Opens a file for reading: true, or false with the system's reason.
bool reader_open(FileReader& reader, const std::string& name, std::string& reason);
// Reads exactly n bytes at offset: false when they are not all in the file.
bool reader_read(const FileReader& reader, uint64_t offset, void* out, uint32_t n);
// Closes the file.
void reader_close(FileReader& reader);

// Writes n bytes to fd, going on after interruptions: the count written. A failed
// write leaves the system's reason in error (EIO when it wrote nothing).
size_t write_fully(int fd, const void* bytes, size_t n, int& error);
