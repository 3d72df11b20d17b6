// Animated GIF output through giflib: the first frame's colours as the global colour
// map, a local map for any frame whose colours differ, only the changed rectangle of a
// frame whose colours stayed, with its unchanged pixels sent as a transparent index
// (the previous frame shows through, and long runs of one index compress well),
// delays carried in 1/100 s so the total time stays right, and the application block
// that makes viewers loop forever.
#include <gif_lib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "tools/export/export.h"
#include "tools/export/file_reader.h"

namespace {

constexpr int GIF_COLOUR_BITS = 8;
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

ColorMapObject* make_map(const Picture& picture) {
  GifColorType colours[GIF_COLOURS];
  for (int i = 0; i < GIF_COLOURS; i++) {
    colours[i].Red = picture.palette[i][0];
    colours[i].Green = picture.palette[i][1];
    colours[i].Blue = picture.palette[i][2];
  }
  return GifMakeMapObject(GIF_COLOURS, colours);
}

bool same_palette(const Picture& a, const Picture& b) {
  return std::memcmp(a.palette, b.palette, sizeof a.palette) == 0;
}

// The smallest rectangle holding every pixel that differs from the previous frame
// (at least one pixel, so that an unchanged frame still carries its delay).
void changed_rectangle(const Picture& before, const Picture& now, int32_t& left, int32_t& top, int32_t& right,
                       int32_t& bottom) {
  left = now.width;
  top = now.height;
  right = -1;
  bottom = -1;
  for (int32_t y = 0; y < now.height; y++) {
    const uint8_t* a = before.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(now.width);
    const uint8_t* b = now.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(now.width);
    if (std::memcmp(a, b, static_cast<size_t>(now.width)) == 0) continue;
    if (top > y) top = y;
    bottom = y;
    int32_t x0 = 0, x1 = now.width - 1;
    while (a[x0] == b[x0]) x0++;
    while (a[x1] == b[x1]) x1--;
    if (left > x0) left = x0;
    if (right < x1) right = x1;
  }
  if (right < 0) left = top = right = bottom = 0;
}

// An index that no changed pixel of the rectangle uses, to mark the unchanged ones;
// NO_TRANSPARENT_COLOR when the changed pixels use all 256.
int unused_index(const Picture& before, const Picture& now, int32_t left, int32_t top, int32_t right,
                 int32_t bottom) {
  bool used[GIF_COLOURS] = {};
  for (int32_t y = top; y <= bottom; y++) {
    const uint8_t* a = before.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(now.width);
    const uint8_t* b = now.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(now.width);
    for (int32_t x = left; x <= right; x++)
      if (a[x] != b[x]) used[b[x]] = true;
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

bool gif_add_frame(GifOut& out, const Picture& picture, uint32_t frame_us, std::string& error) {
  GifFileType* gif = encoder(out);
  // Round the running total, not each delay, so the remainders carry over.
  out.elapsed_us += frame_us;
  int64_t due_cs = (out.elapsed_us + US_PER_CS / 2) / US_PER_CS;
  int64_t delay = due_cs - out.emitted_cs;
  if (delay > GIF_MAX_DELAY_CS) delay = GIF_MAX_DELAY_CS;
  out.emitted_cs += delay;

  bool palette_kept = out.have_previous && same_palette(out.previous, picture);
  int32_t left = 0, top = 0, right = picture.width - 1, bottom = picture.height - 1;
  int transparent = NO_TRANSPARENT_COLOR;
  if (palette_kept) {
    changed_rectangle(out.previous, picture, left, top, right, bottom);
    transparent = unused_index(out.previous, picture, left, top, right, bottom);
  }
  GraphicsControlBlock control{DISPOSE_DO_NOT, false, static_cast<int>(delay), transparent};
  GifByteType control_bytes[GCB_SIZE];
  EGifGCBToExtension(&control, control_bytes);
  // A frame whose colours changed is written whole, since a palette change recolours
  // every pixel on screen; one whose colours are not the global map carries its own.
  bool global_colours = std::memcmp(out.global_palette, picture.palette, sizeof picture.palette) == 0;
  ColorMapObject* local = global_colours ? nullptr : make_map(picture);

  bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, GCB_SIZE, control_bytes) == GIF_OK &&
            EGifPutImageDesc(gif, left, top, right - left + 1, bottom - top + 1, false, local) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<size_t>(right - left + 1));
  for (int32_t y = top; ok && y <= bottom; y++) {
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(left);
    const uint8_t* now = picture.pixels.data() + at;
    if (transparent == NO_TRANSPARENT_COLOR) {
      std::memcpy(line.data(), now, line.size());
    } else {
      const uint8_t* before = out.previous.pixels.data() + at;
      for (size_t x = 0; x < line.size(); x++)
        line[x] = static_cast<uint8_t>(now[x] == before[x] ? transparent : now[x]);
    }
    ok = EGifPutLine(gif, line.data(), static_cast<int>(line.size())) == GIF_OK;
  }
  GifFreeMapObject(local);
  if (!ok) {
    error = gif_error(out.file.final_name + ": cannot write", gif->Error, out.write_error);
    return false;
  }
  out.previous.pixels = picture.pixels;
  std::memcpy(out.previous.palette, picture.palette, sizeof picture.palette);
  out.have_previous = true;
  return true;
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
