// Animated GIF output through giflib: the first frame's colours as the global colour
// map, a local map for any frame whose colours differ, only the rectangle of pixels
// whose colour on screen changed, with the unchanged ones sent as a transparent index
// (the previous frame shows through, and long runs of one index compress well),
// delays carried in 1/100 s so the total time stays right, and the application block
// that makes viewers loop forever.
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "converter/export.h"
#include "converter/file_reader.h"

namespace {

constexpr int GIF_COLOUR_BITS = 8;
constexpr int GIF_MIN_CODE_SIZE = 2;
constexpr int GIF_COLOURS = 256;
constexpr int64_t US_PER_CS = 10000;
constexpr int GIF_MAX_DELAY_CS = 65535;
constexpr char LOOP_APPLICATION[] = "NETSCAPE2.0";
constexpr int LOOP_APPLICATION_SIZE = 11;
constexpr int LOOP_SUB_BLOCK_ID = 1;
constexpr int GCB_SIZE = 4;

GifFileType* encoder(GifOut& out) { return static_cast<GifFileType*>(out.gif); }

// The encoder's output: straight to the temporary file, keeping the system's reason
// for a failed write.
int write_bytes(GifFileType* gif, const GifByteType* bytes, int n) {
  auto* out = static_cast<GifOut*>(gif->UserData);
  if (n <= 0) return 0;
  return static_cast<int>(write_fully(out->file.fd, bytes, static_cast<size_t>(n), out->write_error));
}

// The encoder's error in words; a failed write is told by the system's reason.
std::string gif_error(const std::string& what, int code, int system_error) {
  if (system_error != 0) return what + ": " + std::strerror(system_error);
  const char* text = GifErrorString(code);
  return what + ": " + (text ? text : "GIF encoder error");
}

// The first entries colours of a picture's map (a power of two, 2 to 256).
ColorMapObject* make_map(const Picture& picture, int entries = GIF_COLOURS) {
  GifColorType colours[GIF_COLOURS];
  for (int i = 0; i < entries; i++) {
    colours[i].Red = picture.palette[i][0];
    colours[i].Green = picture.palette[i][1];
    colours[i].Blue = picture.palette[i][2];
  }
  return GifMakeMapObject(entries, colours);
}

bool same_palette(const Picture& a, const Picture& b) {
  return std::memcmp(a.palette, b.palette, sizeof a.palette) == 0;
}

// Whether a pixel looks different from the previous frame's: its index, while the
// colours stay; its colour, when the frame brings new ones (the canvas keeps the colours
// it shows, whatever map a later frame carries).
struct FrameDiff {
  const Picture& before;
  const Picture& now;
  bool same_palette;
  uint32_t colour_before[GIF_COLOURS];  // each map's colours as one number
  uint32_t colour_now[GIF_COLOURS];
  uint8_t first_of[GIF_COLOURS];  // the lowest index of the same colour in now's map
  bool differs(uint8_t a, uint8_t b) const {
    return same_palette ? a != b : colour_before[a] != colour_now[b];
  }
  const uint8_t* row_before(int32_t y) const {
    return before.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(now.width);
  }
  const uint8_t* row_now(int32_t y) const {
    return now.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(now.width);
  }
};

// The smallest rectangle holding every pixel that differs from the previous frame
// (at least one pixel, so that an unchanged frame still carries its delay).
void changed_rectangle(const FrameDiff& diff, int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
  const int32_t width = diff.now.width;
  left = width;
  top = diff.now.height;
  right = -1;
  bottom = -1;
  for (int32_t y = 0; y < diff.now.height; y++) {
    const uint8_t* a = diff.row_before(y);
    const uint8_t* b = diff.row_now(y);
    if (diff.same_palette && std::memcmp(a, b, static_cast<size_t>(width)) == 0) continue;
    int32_t x0 = 0, x1 = width - 1;
    while (x0 < width && !diff.differs(a[x0], b[x0])) x0++;
    if (x0 == width) continue;
    while (!diff.differs(a[x1], b[x1])) x1--;
    if (top > y) top = y;
    bottom = y;
    if (left > x0) left = x0;
    if (right < x1) right = x1;
  }
  if (right < 0) left = top = right = bottom = 0;
}

// An index that no changed pixel of the rectangle uses, to mark the unchanged ones;
// NO_TRANSPARENT_COLOR when the changed pixels use all 256.
int unused_index(const FrameDiff& diff, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  bool used[GIF_COLOURS] = {};
  for (int32_t y = top; y <= bottom; y++) {
    const uint8_t* a = diff.row_before(y);
    const uint8_t* b = diff.row_now(y);
    for (int32_t x = left; x <= right; x++)
      if (diff.differs(a[x], b[x])) used[diff.first_of[b[x]]] = true;
  }
  for (int k = 0; k < GIF_COLOURS; k++)
    if (!used[k]) return k;
  return NO_TRANSPARENT_COLOR;
}

bool put_loop_block(GifFileType* gif) {
  const unsigned char loop_forever[3] = {LOOP_SUB_BLOCK_ID, 0, 0};
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, LOOP_APPLICATION_SIZE, LOOP_APPLICATION) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof loop_forever, loop_forever) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
}

}  // namespace

bool gif_begin(GifOut& out, const std::string& name, const Picture& first, std::string& error) {
  out.gif = nullptr;
  out.have_previous = false;
  out.elapsed_us = 0;
  out.emitted_cs = 0;
  out.write_error = 0;
  if (!temp_file_open(out.file, name, error)) return false;
  int code = 0;
  GifFileType* gif = EGifOpen(&out, write_bytes, &code);
  if (!gif) {
    error = gif_error(name + ": cannot start the GIF encoder", code, 0);
    temp_file_discard(out.file);
    return false;
  }
  out.gif = gif;
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = make_map(first);
  bool ok = map && EGifPutScreenDesc(gif, first.width, first.height, GIF_COLOUR_BITS, 0, map) == GIF_OK &&
            put_loop_block(gif);
  GifFreeMapObject(map);
  if (!ok) {
    error = gif_error(name + ": cannot write", gif->Error, out.write_error);
    gif_abandon(out);
    return false;
  }
  out.previous.width = first.width;
  out.previous.height = first.height;
  std::memcpy(out.global_palette, first.palette, sizeof first.palette);
  return true;
}

namespace {

// One frame as it goes into the file: its rectangle, its pixels there (unchanged ones
// as the transparent index when there is one), and once compressed, its data.
struct FrameImage {
  int32_t left, top, width, height;
  int transparent;
  std::vector<GifPixelType> pixels;
  bool any_transparent = false;  // some pixel is sent as the transparent index
  GifPixelType highest = 0;      // the highest index sent
  std::vector<uint8_t> blocks;   // the compressed pixels, empty until compressed
};

FrameImage frame_image(const FrameDiff& diff, int32_t left, int32_t top, int32_t right, int32_t bottom,
                       int transparent) {
  FrameImage image{left, top, right - left + 1, bottom - top + 1, transparent, {}, false, 0, {}};
  image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
  GifPixelType* to = image.pixels.data();
  for (int32_t y = top; y <= bottom; y++, to += image.width) {
    const uint8_t* now = diff.row_now(y) + left;
    GifPixelType highest = image.highest;
    if (transparent == NO_TRANSPARENT_COLOR) {  // also the first frame, with no frame before
      for (int32_t x = 0; x < image.width; x++) {
        to[x] = diff.first_of[now[x]];
        highest = std::max(highest, to[x]);
      }
      image.highest = highest;
      continue;
    }
    const uint8_t* before = diff.row_before(y) + left;
    bool kept = false;
    for (int32_t x = 0; x < image.width; x++) {
      const bool changed = diff.differs(before[x], now[x]);
      kept |= !changed;
      to[x] = changed ? diff.first_of[now[x]] : static_cast<GifPixelType>(transparent);
      highest = std::max(highest, to[x]);
    }
    image.any_transparent |= kept;
    image.highest = highest;
  }
  return image;
}

// The code size of a frame's data: the bits of its colour map (the global map's 8 when
// it has none of its own), at least 2.
int code_size(const ColorMapObject* local) {
  return local ? std::max(GIF_MIN_CODE_SIZE, local->BitsPerPixel) : GIF_COLOUR_BITS;
}

// Compresses a frame's pixels for the colour map it carries, once; the bytes they take.
size_t compress(FrameImage& image, const ColorMapObject* local) {
  if (image.blocks.empty())
    gif_lzw_compress(image.pixels.data(), image.pixels.size(), code_size(local), image.blocks);
  return image.blocks.size();
}

bool put_image(GifFileType* gif, const FrameImage& image, int delay, const ColorMapObject* local,
               const std::vector<uint8_t>& blocks) {
  GraphicsControlBlock control{DISPOSE_DO_NOT, false, delay, image.transparent};
  GifByteType control_bytes[GCB_SIZE];
  EGifGCBToExtension(&control, control_bytes);
  bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, GCB_SIZE, control_bytes) == GIF_OK &&
            EGifPutImageDesc(gif, image.left, image.top, image.width, image.height, false, local) == GIF_OK;
  // The image descriptor has written the code size; the sub-blocks follow as they are.
  for (size_t at = 0; ok && at < blocks.size(); at += blocks[at] + 1u)
    ok = (at == 0 ? EGifPutCode(gif, code_size(local), blocks.data())
                  : EGifPutCodeNext(gif, blocks.data() + at)) == GIF_OK;
  return ok && EGifPutCodeNext(gif, nullptr) == GIF_OK;
}

// The delay of the next frame, shown for frame_us: the running total is rounded, not
// each delay, so the remainders carry over.
int next_delay(GifOut& out, uint32_t frame_us) {
  out.elapsed_us += frame_us;
  int64_t due_cs = (out.elapsed_us + US_PER_CS / 2) / US_PER_CS;
  int64_t delay = due_cs - out.emitted_cs;
  if (delay > GIF_MAX_DELAY_CS) delay = GIF_MAX_DELAY_CS;
  out.emitted_cs += delay;
  return static_cast<int>(delay);
}

// A frame whose colours are not the global map carries its own, no larger than its
// highest index needs: the codes of a smaller map are shorter.
ColorMapObject* local_map(const GifOut& out, const Picture& picture, const FrameImage& image) {
  if (std::memcmp(out.global_palette, picture.palette, sizeof picture.palette) == 0) return nullptr;
  const GifPixelType highest = image.highest;
  int entries = 2;
  while (entries <= highest) entries *= 2;
  return make_map(picture, entries);
}

bool put_frame(GifOut& out, const Picture& colours, FrameImage& image, int delay, std::string& error) {
  GifFileType* gif = encoder(out);
  ColorMapObject* local = local_map(out, colours, image);
  compress(image, local);
  const bool ok = put_image(gif, image, delay, local, image.blocks);
  GifFreeMapObject(local);
  if (!ok) error = gif_error(out.file.final_name + ": cannot write", gif->Error, out.write_error);
  return ok;
}

}  // namespace

bool gif_add_frame(GifOut& out, const Picture& picture, uint32_t frame_us, std::string& error) {
  const int delay = next_delay(out, frame_us);
  const auto local_map_of = [&](const FrameImage& image) { return local_map(out, picture, image); };
  FrameDiff diff{out.previous, picture, out.have_previous && same_palette(out.previous, picture), {}, {}, {}};
  const auto packed = [](const uint8_t* rgb) {
    return uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
  };
  for (int k = 0; k < GIF_COLOURS; k++) {
    if (out.have_previous) diff.colour_before[k] = packed(out.previous.palette[k]);
    diff.colour_now[k] = packed(picture.palette[k]);
  }
  // Pixels of one colour are sent as one index, so that a frame whose map repeats a
  // colour (a fade to black) compresses as well as its picture allows.
  for (int k = 0; k < GIF_COLOURS; k++) {
    int first = 0;
    while (diff.colour_now[first] != diff.colour_now[k]) first++;
    diff.first_of[k] = static_cast<uint8_t>(first);
  }
  FrameImage image;
  if (!out.have_previous) {
    image = frame_image(diff, 0, 0, picture.width - 1, picture.height - 1, NO_TRANSPARENT_COLOR);
  } else {
    // Only the pixels whose colour on screen changes, the others sent as a transparent
    // index. After new colours, where many pixels change, scattered transparent pixels
    // can compress worse than the pixels themselves: both are tried, the smaller kept
    // (when some pixel is left unchanged at all).
    int32_t left, top, right, bottom;
    changed_rectangle(diff, left, top, right, bottom);
    const int transparent = unused_index(diff, left, top, right, bottom);
    image = frame_image(diff, left, top, right, bottom, transparent);
    if (!diff.same_palette && image.any_transparent) {
      FrameImage plain = frame_image(diff, left, top, right, bottom, NO_TRANSPARENT_COLOR);
      ColorMapObject* plain_map = local_map_of(plain);
      ColorMapObject* image_map = local_map_of(image);
      gif_lzw_compress_two(plain.pixels.data(), image.pixels.data(), plain.pixels.size(),
                           code_size(plain_map), code_size(image_map), plain.blocks, image.blocks);
      if (plain.blocks.size() < image.blocks.size()) image = std::move(plain);
      GifFreeMapObject(plain_map);
      GifFreeMapObject(image_map);
    }
  }
  if (!put_frame(out, picture, image, delay, error)) return false;
  out.previous.pixels = picture.pixels;
  std::memcpy(out.previous.palette, picture.palette, sizeof picture.palette);
  out.have_previous = true;
  return true;
}

bool gif_add_same_frame(GifOut& out, uint32_t frame_us, std::string& error) {
  // One transparent pixel carries the delay, as for any frame in which nothing changed.
  FrameImage nothing{0, 0, 1, 1, 0, {0}, true, 0, {}};
  return put_frame(out, out.previous, nothing, next_delay(out, frame_us), error);
}

bool gif_finish(GifOut& out, std::string& error) {
  int code = 0;
  GifFileType* gif = encoder(out);
  out.gif = nullptr;
  if (EGifCloseFile(gif, &code) != GIF_OK || out.write_error != 0) {
    error = gif_error(out.file.final_name + ": cannot write", code, out.write_error);
    temp_file_discard(out.file);
    return false;
  }
  return temp_file_commit(out.file, error);
}

void gif_abandon(GifOut& out) {
  if (out.gif) {
    int code = 0;
    EGifCloseFile(encoder(out), &code);
    out.gif = nullptr;
  }
  temp_file_discard(out.file);
}
