// Fuzzes the image plugins' reader: any bytes either decode or give an error, for every
// frame, after a rewind too, without a fault the sanitizers see or a hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugins/image/image_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ImageReader reader;
  std::string error;
  if (!reader.open(data, size, error)) return 0;
  std::vector<uint8_t> rgba;
  // The first frames, then the first again after a rewind.
  for (int n = 0; n < 8 && reader.next(rgba, error); ++n) {
    if (rgba.size() != static_cast<size_t>(reader.width()) * static_cast<size_t>(reader.height()) * 4)
      __builtin_trap();
  }
  if (reader.rewind()) reader.next(rgba, error);
  return 0;
}
