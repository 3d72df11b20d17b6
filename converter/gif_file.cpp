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
// A frame with new colours of at least this many pixels is judged by a sample of its
// rows: every SAMPLE_ROW_STEP-th.
constexpr size_t SAMPLE_FROM_PIXELS = size_t{1} << 18;
constexpr int32_t SAMPLE_ROW_STEP = 8;
// The fewest unchanged pixels in a row that Unchanged::transparent_runs sends as the
// transparent index.
constexpr size_t TRANSPARENT_RUN_LEAST = 16;

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
  GifPixelType highest = 0;     // the highest index sent
  std::vector<uint8_t> blocks;  // the compressed pixels, empty until compressed
};

// What one pass over a frame's rectangle finds: every pixel as the lowest index of its
// colour, which of them look different from the previous frame, and an index that no
// changed pixel uses, to mark the unchanged ones. Every changed pixel lies inside the
// rectangle, so the pass sees all the indices they use.
struct FrameParts {
  int32_t left, top, width, height;
  std::vector<GifPixelType> pixels;
  std::vector<uint8_t> changed;  // all ones where the pixel looks different, else 0
  bool any_unchanged = false;
  GifPixelType highest = 0;                // of all the pixels
  GifPixelType highest_changed = 0;        // of the changed ones
  int transparent = NO_TRANSPARENT_COLOR;  // unused by the changed pixels (none when all 256 are)
};

// One row of a frame's parts: each pixel's lowest index, whether it differs from the
// pixel before it on screen, and the indices met (an unchanged pixel marks the extra
// entry of `used`) with plain stores, no load waiting for the store before it. All
// that the loop reads is handed in, as a byte store could change any of it otherwise.
template <typename Differs>
void mark_row(const uint8_t* before, const uint8_t* now, int32_t width, const uint8_t* first_of,
              GifPixelType* to, uint8_t* changed, bool* seen, bool* used, Differs differs) {
  for (int32_t x = 0; x < width; x++) {
    const GifPixelType index = first_of[now[x]];
    const bool moved = differs(before[x], now[x]);
    to[x] = index;
    changed[x] = moved ? 0xFF : 0;
    seen[index] = true;
    used[moved ? index : GIF_COLOURS] = true;
  }
}

// The parts of the rectangle; with no frame before (the first), every pixel is changed.
FrameParts frame_parts(const FrameDiff& diff, bool have_previous, int32_t left, int32_t top, int32_t right,
                       int32_t bottom) {
  FrameParts parts{left, top, right - left + 1, bottom - top + 1, {}, {}};
  const size_t count = static_cast<size_t>(parts.width) * static_cast<size_t>(parts.height);
  parts.pixels.resize(count);
  if (have_previous) parts.changed.resize(count);
  bool seen[GIF_COLOURS] = {}, used[GIF_COLOURS + 1] = {};
  for (int32_t y = top; y <= bottom; y++) {
    const size_t row = static_cast<size_t>(y - top) * static_cast<size_t>(parts.width);
    GifPixelType* to = parts.pixels.data() + row;
    const uint8_t* now = diff.row_now(y) + left;
    if (!have_previous) {
      for (int32_t x = 0; x < parts.width; x++) {
        to[x] = diff.first_of[now[x]];
        seen[to[x]] = true;
      }
      continue;
    }
    const uint8_t* before = diff.row_before(y) + left;
    uint8_t* changed = parts.changed.data() + row;
    if (diff.same_palette)
      mark_row(before, now, parts.width, diff.first_of, to, changed, seen, used,
               [](uint8_t a, uint8_t b) { return a != b; });
    else
      mark_row(before, now, parts.width, diff.first_of, to, changed, seen, used,
               [before_colour = diff.colour_before, now_colour = diff.colour_now](uint8_t a, uint8_t b) {
                 return before_colour[a] != now_colour[b];
               });
  }
  for (int k = 0; k < GIF_COLOURS; k++) {
    if (seen[k]) parts.highest = static_cast<GifPixelType>(k);
    if (used[k]) parts.highest_changed = static_cast<GifPixelType>(k);
  }
  if (!have_previous) {
    parts.highest_changed = parts.highest;
    return parts;
  }
  parts.any_unchanged = used[GIF_COLOURS];
  for (int k = 0; k < GIF_COLOURS; k++)
    if (!used[k]) {
      parts.transparent = k;
      break;
    }
  return parts;
}

// How a frame sends the pixels that look as they did: as themselves, as the transparent
// index, or as the transparent index only where at least TRANSPARENT_RUN_LEAST of them
// follow one another in a row (a few scattered among changed pixels cost more as breaks
// in the runs of colours around them than they save).
enum class Unchanged { sent, transparent, transparent_runs };

// The rows of the rectangle from `first`, every `step`-th, with the unchanged pixels
// sent the given way (the transparent index is the parts').
std::vector<GifPixelType> frame_rows(const FrameParts& parts, Unchanged way, int32_t first, int32_t step) {
  const size_t width = static_cast<size_t>(parts.width);
  const size_t rows =
      parts.height > first ? static_cast<size_t>((parts.height - first + step - 1) / step) : 0;
  std::vector<GifPixelType> out(rows * width);
  GifPixelType* to = out.data();
  const auto mark = static_cast<GifPixelType>(parts.transparent);
  const uint64_t marks = mark * uint64_t{0x0101010101010101};
  for (int32_t y = first; y < parts.height; y += step, to += width) {
    const size_t at = static_cast<size_t>(y) * width;
    const GifPixelType* from = parts.pixels.data() + at;
    if (way == Unchanged::sent) {
      std::memcpy(to, from, width);
      continue;
    }
    const uint8_t* changed = parts.changed.data() + at;
    size_t x = 0;
    if (way == Unchanged::transparent_runs) {
      while (x < width) {
        size_t end = x;
        while (end < width && changed[end] == 0) end++;
        const bool hidden = end - x >= TRANSPARENT_RUN_LEAST;
        for (; x < end; x++) to[x] = hidden ? mark : from[x];
        for (; x < width && changed[x] != 0; x++) to[x] = from[x];
      }
      continue;
    }
    // Eight pixels a step: each byte of the mask is all ones or all zeros.
    for (; x + 8 <= width; x += 8) {
      uint64_t pixels, mask;
      std::memcpy(&pixels, from + x, 8);
      std::memcpy(&mask, changed + x, 8);
      pixels = (pixels & mask) | (marks & ~mask);
      std::memcpy(to + x, &pixels, 8);
    }
    for (; x < width; x++) to[x] = static_cast<GifPixelType>((from[x] & changed[x]) | (mark & ~changed[x]));
  }
  return out;
}

// The frame as it goes into the file, with the unchanged pixels sent the given way.
FrameImage frame_image(FrameParts& parts, Unchanged way) {
  const int transparent = way == Unchanged::sent ? NO_TRANSPARENT_COLOR : parts.transparent;
  FrameImage image{parts.left, parts.top, parts.width, parts.height, transparent, {}, parts.highest, {}};
  switch (way) {
    case Unchanged::sent:
      image.pixels = std::move(parts.pixels);
      break;
    case Unchanged::transparent:
      image.pixels = frame_rows(parts, way, 0, 1);
      image.highest = parts.any_unchanged
                          ? std::max(parts.highest_changed, static_cast<GifPixelType>(transparent))
                          : parts.highest_changed;
      break;
    case Unchanged::transparent_runs:
      image.pixels = frame_rows(parts, way, 0, 1);
      image.highest = *std::max_element(image.pixels.begin(), image.pixels.end());
      break;
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
  // The encoder keeps a copy of the last frame's own map and, when a frame has none,
  // drops it without freeing it: it is freed here.
  if (!local && gif->Image.ColorMap) {
    GifFreeMapObject(gif->Image.ColorMap);
    gif->Image.ColorMap = nullptr;
  }
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

// The code size of a frame's data whose highest index is `highest`, as local_map and
// code_size make it: 8 for a frame of the global map's colours.
int code_size_for(const GifOut& out, const Picture& picture, GifPixelType highest) {
  if (std::memcmp(out.global_palette, picture.palette, sizeof picture.palette) == 0) return GIF_COLOUR_BITS;
  int bits = 1;
  while ((1 << bits) <= highest) bits++;
  return std::max(GIF_MIN_CODE_SIZE, bits);
}

// A frame with new colours and some pixels left unchanged, in whichever way takes fewer
// bytes. A large frame is judged by every eighth row of it, compressed with the
// unchanged pixels transparent and sent, which picks the smaller way for all but a few
// frames (whose sizes are close then) at a fraction of the work. A small one is judged
// whole, as a few rows can mislead there, the transparent runs tried too, and comes
// back compressed.
FrameImage smaller_image(const GifOut& out, const Picture& picture, FrameParts& parts) {
  if (static_cast<size_t>(parts.width) * static_cast<size_t>(parts.height) >= SAMPLE_FROM_PIXELS) {
    const int marked_bits = code_size_for(
        out, picture, std::max(parts.highest_changed, static_cast<GifPixelType>(parts.transparent)));
    const std::vector<GifPixelType> marked =
        frame_rows(parts, Unchanged::transparent, SAMPLE_ROW_STEP / 2, SAMPLE_ROW_STEP);
    const std::vector<GifPixelType> plain =
        frame_rows(parts, Unchanged::sent, SAMPLE_ROW_STEP / 2, SAMPLE_ROW_STEP);
    std::vector<uint8_t> marked_blocks, plain_blocks;
    gif_lzw_compress_two(marked.data(), plain.data(), marked.size(), marked_bits,
                         code_size_for(out, picture, parts.highest), marked_blocks, plain_blocks);
    return frame_image(parts,
                       plain_blocks.size() < marked_blocks.size() ? Unchanged::sent : Unchanged::transparent);
  }
  // Ties go to the first: the transparent index, then its runs.
  FrameImage images[] = {frame_image(parts, Unchanged::transparent),
                         frame_image(parts, Unchanged::transparent_runs),
                         frame_image(parts, Unchanged::sent)};
  gif_lzw_compress_two(images[0].pixels.data(), images[1].pixels.data(), images[0].pixels.size(),
                       code_size_for(out, picture, images[0].highest),
                       code_size_for(out, picture, images[1].highest), images[0].blocks, images[1].blocks);
  gif_lzw_compress(images[2].pixels.data(), images[2].pixels.size(),
                   code_size_for(out, picture, images[2].highest), images[2].blocks);
  size_t best = 0;
  for (size_t k = 1; k < std::size(images); k++)
    if (images[k].blocks.size() < images[best].blocks.size()) best = k;
  return std::move(images[best]);
}

}  // namespace

bool gif_add_frame(GifOut& out, const Picture& picture, uint32_t frame_us, std::string& error) {
  const int delay = next_delay(out, frame_us);
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
    FrameParts parts = frame_parts(diff, false, 0, 0, picture.width - 1, picture.height - 1);
    image = frame_image(parts, Unchanged::sent);
  } else {
    // Only the pixels whose colour on screen changes, the others sent as a transparent
    // index. After new colours, where many pixels change, scattered transparent pixels
    // can compress worse than the pixels themselves: the smaller way is kept (when some
    // pixel is left unchanged at all).
    int32_t left, top, right, bottom;
    changed_rectangle(diff, left, top, right, bottom);
    FrameParts parts = frame_parts(diff, true, left, top, right, bottom);
    const int transparent = parts.transparent;
    if (!diff.same_palette && parts.any_unchanged && transparent != NO_TRANSPARENT_COLOR)
      image = smaller_image(out, picture, parts);
    else
      image =
          frame_image(parts, transparent == NO_TRANSPARENT_COLOR ? Unchanged::sent : Unchanged::transparent);
  }
  if (!put_frame(out, picture, image, delay, error)) return false;
  out.previous.pixels = picture.pixels;
  std::memcpy(out.previous.palette, picture.palette, sizeof picture.palette);
  out.have_previous = true;
  return true;
}

bool gif_add_same_frame(GifOut& out, uint32_t frame_us, std::string& error) {
  // One transparent pixel carries the delay, as for any frame in which nothing changed.
  FrameImage nothing{0, 0, 1, 1, 0, {0}, 0, {}};
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
