// Fuzz target: the FLIC encoder against the decoder. The input describes an animation
// (its kind, size, frames made by runs, copies and scattered pixels, and colours that
// change); the frames are encoded with FlicEncoder, written to an anonymous file and
// played back with the library's decoder, which must give every frame's pixels and
// colours exactly, the ring frame's as the first frame's, and find nothing damaged.
// A difference aborts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "flic/flic.h"
#include "flic/flic_writer.h"
#include "fuzz/fuzz_support.h"
#include "gfx/gfx.h"
#include "palette/palette.h"

namespace {

// Sizes that reach every path (skips past 255 columns, rows of more than 255 byte
// delta packets, odd widths, one pixel) in well under a millisecond an input.
constexpr int MOST_WIDTH = 1100;
constexpr int MOST_PIXELS = 6000;
constexpr int MOST_FRAMES = 8;

// The input, read a byte at a time; 0 once it is used up.
struct Bytes {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint32_t next() { return at < size ? data[at++] : 0; }
  uint32_t next16() { return next() | next() << 8; }
};

[[noreturn]] void fail(const char* what, int frame) {
  std::fprintf(stderr, "encode_fuzz: frame %d: %s\n", frame, what);
  std::abort();
}

// The next frame from the one before: runs of one value, copies of other places, and
// single pixels, at places the input gives.
void change(std::vector<uint8_t>& pixels, int width, Bytes& in) {
  const size_t count = pixels.size();
  const uint32_t edits = in.next() % 12;
  for (uint32_t e = 0; e < edits; e++) {
    const uint32_t kind = in.next();
    const size_t at = in.next16() * 7919u % count;
    const size_t length = std::min<size_t>(count - at, 1 + (kind >> 2) * (kind & 1 ? 9u : 1u));
    const uint8_t value = static_cast<uint8_t>(in.next());
    switch (kind & 3) {
      case 0:
        std::memset(&pixels[at], value, length);
        break;
      case 1:  // a pattern of two values, as words repeat
        for (size_t i = 0; i < length; i++) pixels[at + i] = static_cast<uint8_t>(i % 2 ? value : value + 1);
        break;
      case 2: {  // a copy from another row
        const size_t from = (at + static_cast<size_t>(width) * (1 + value % 3)) % count;
        for (size_t i = 0; i < length && from + i < count; i++) pixels[at + i] = pixels[from + i];
        break;
      }
      default:
        for (size_t i = 0; i < length; i += 1 + value % 5) pixels[at + i] = static_cast<uint8_t>(in.next());
        break;
    }
  }
}

void check_frame(const FlicContext& context, const std::vector<uint8_t>& pixels, const uint8_t* rgb,
                 bool six_bit, int width, int height, int frame) {
  if (!vb_lock()) fail("the buffer cannot be locked", frame);
  for (int y = 0; y < height; y++)
    if (std::memcmp(
            gfx_state().pixel_address + static_cast<size_t>(y) * static_cast<size_t>(gfx_state().row_pitch),
            &pixels[static_cast<size_t>(y) * static_cast<size_t>(width)], static_cast<size_t>(width)) != 0)
      fail("pixels differ", frame);
  vb_unlock();
  for (int i = 0; i < 768; i++) {
    const uint8_t want = six_bit ? static_cast<uint8_t>((rgb[i] >> 2) * 255 / 63) : rgb[i];
    if (gfx_state().flic_file_palette[i] != want) fail("colours differ", frame);
  }
  if (context.report.damage != FlicDamage::none || context.report.quirks != 0) fail("damage or quirk", frame);
}

int32_t slots[FUZZ_BUFFER_KINDS];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    fuzz_start_library(slots);
    started = true;
  }
  Bytes in{data, size};
  const uint32_t kind = in.next();
  const bool fli = kind & 1;
  const bool ring = !(kind & 2);
  const int width = 1 + static_cast<int>(in.next16() % MOST_WIDTH);
  const int height =
      1 + static_cast<int>(in.next() % static_cast<uint32_t>(std::max(1, MOST_PIXELS / width)));
  const int frames = 1 + static_cast<int>(in.next() % MOST_FRAMES);

  FlicEncoder encoder;
  if (!fe_begin(encoder, fli ? FLIC_MAGIC_FLI : FLIC_MAGIC_FLC, static_cast<uint16_t>(width),
                static_cast<uint16_t>(height)))
    return 0;
  std::vector<std::vector<uint8_t>> pictures, colours;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (uint8_t& p : pixels) p = static_cast<uint8_t>(in.next());
  std::vector<uint8_t> rgb(768);
  for (size_t i = 0; i < rgb.size(); i++) rgb[i] = static_cast<uint8_t>(i * 37 + in.next());
  std::vector<uint8_t> file(FLIC_HEADER_SIZE), record;
  for (int k = 0; k < frames; k++) {
    if (k > 0) {
      change(pixels, width, in);
      for (uint32_t c = in.next() % 4; c > 0; c--)
        rgb[in.next() * 3 % 768 + c % 3] = static_cast<uint8_t>(in.next());
    }
    fe_frame(encoder, pixels.data(), rgb.data(), record);
    file.insert(file.end(), record.begin(), record.end());
    pictures.push_back(pixels);
    colours.push_back(rgb);
  }
  if (ring) {
    fe_ring(encoder, record);
    file.insert(file.end(), record.begin(), record.end());
  }
  fe_header(encoder, 5, static_cast<uint32_t>(file.size()), file.data());

  const int fd = fuzz_memory_file("encode_fuzz", file.data(), file.size());
  if (fd < 0) return 0;
  const std::string name = "/proc/self/fd/" + std::to_string(fd);
  const int32_t slot = vb_alloc(width, height);
  if (slot < 0 || vb_open(slot) != 0) fail("no buffer", 0);
  FlicContext context{};
  if (flic_open(name.c_str(), &context) != 0) fail("the file does not open", 0);
  gfx_reduce_palette(GFX_FLAG_NO_REDUCE);  // every pixel keeps its index
  const uint32_t flags = GFX_FLAG_NO_PAUSE | GFX_FLAG_NO_REDUCE;
  for (int k = 0; k < frames; k++) {
    if (flic_play(&context, 1, flags) != 1) fail("the frame does not decode", k + 1);
    check_frame(context, pictures[static_cast<size_t>(k)], colours[static_cast<size_t>(k)].data(), fli, width,
                height, k + 1);
  }
  if (ring) {
    if (flic_play(&context, 1, flags) != 1) fail("the ring frame does not decode", 0);
    check_frame(context, pictures[0], colours[0].data(), fli, width, height, 0);
  }
  if (flic_play(&context, 1, flags) != 0) fail("a record after the last", 0);
  flic_close(&context);
  vb_close();
  vb_free(slot);
  close(fd);
  return 0;
}
