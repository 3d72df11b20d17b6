// A FLIC animation or a PCX picture read from bytes in memory into 8-bit RGBA frames,
// in a library context of its own: the image plugins' one decoder. Readers in different
// threads decode at once; one reader is used by one thread at a time. Damaged or hostile
// data ends in an error for that reader alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "flic/flic.h"

struct GfxContext;

class ImageReader {
 public:
  ImageReader() = default;
  ImageReader(const ImageReader&) = delete;
  ImageReader& operator=(const ImageReader&) = delete;
  ~ImageReader();

  // True when the bytes begin as a FLIC or a PCX file does.
  static bool recognises(const uint8_t* bytes, size_t size);

  // Takes a whole file; false, with the reason in error, when it is not one that decodes.
  bool open(const uint8_t* bytes, size_t size, std::string& error);
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool animated() const { return flic_; }
  // The frames the file announces (1 for a picture).
  int32_t frame_count() const { return frames_; }
  // Time between frames, in milliseconds (0 for a picture).
  int32_t delay_ms() const { return delay_ms_; }
  // The frame decoded last (from 0; -1 before the first).
  int32_t position() const { return position_; }

  // Decodes the next frame into rgba (width * height * 4 bytes, rows top first); false
  // after the last frame or at damage (error says which).
  bool next(std::vector<uint8_t>& rgba, std::string& error);
  // Goes back before the first frame.
  bool rewind();

 private:
  bool start(std::string& error);
  bool open_pcx(std::string& error);
  void take(std::vector<uint8_t>& rgba, const uint8_t* colours) const;

  GfxContext* context_ = nullptr;
  int memory_fd_ = -1;
  std::string path_;
  bool flic_ = false;
  bool opened_flic_ = false;
  FlicContext playback_{};
  int32_t slot_ = -1;
  void* dc_ = nullptr;
  void* palette_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t frames_ = 0;
  int32_t delay_ms_ = 0;
  int32_t position_ = -1;
  std::vector<uint8_t> picture_;  // a PCX picture's RGBA, made by open
};
