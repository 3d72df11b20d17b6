// Animated GIF files read through giflib, one frame at a time: each image is drawn
// over the picture before it as a GIF viewer draws it (its transparent pixels leave
// what was there, its disposal says what the next image starts from), and the whole
// picture is handed on in red, green and blue with the image's delay.
#include <gif_lib.h>

#include <cstring>
#include <string>
#include <vector>

#include "converter/encode.h"
#include "platform/display.h"

namespace {

constexpr int GIF_INTERLACE_PASSES = 4;
constexpr int INTERLACE_START[GIF_INTERLACE_PASSES] = {0, 4, 2, 1};
constexpr int INTERLACE_STEP[GIF_INTERLACE_PASSES] = {8, 8, 4, 2};

std::string gif_reason(int code) {
  const char* text = GifErrorString(code);
  return text ? text : "not a GIF file";
}

struct GifReader {
  GifFileType* gif = nullptr;
  ~GifReader() {
    int code = 0;
    if (gif) DGifCloseFile(gif, &code);
  }
};

bool open_gif(GifReader& r, const std::string& name, std::string& error) {
  int code = 0;
  r.gif = DGifOpenFileName(name.c_str(), &code);
  if (!r.gif) {
    error = gif_reason(code);
    return false;
  }
  const int64_t pixels = int64_t{r.gif->SWidth} * r.gif->SHeight;
  if (r.gif->SWidth <= 0 || r.gif->SHeight <= 0) {
    error = "its screen has no size";
    return false;
  }
  if (pixels > PLAT_MAX_SURFACE_PIXELS) {
    error = "a picture of " + std::to_string(r.gif->SWidth) + " x " + std::to_string(r.gif->SHeight) +
            " pixels is too large for a FLIC file (at most " + std::to_string(PLAT_MAX_SURFACE_PIXELS) +
            " pixels)";
    return false;
  }
  return true;
}

void fill(Picture& canvas, int left, int top, int width, int height, const uint8_t* rgb) {
  for (int y = std::max(top, 0); y < top + height && y < canvas.height; y++)
    for (int x = std::max(left, 0); x < left + width && x < canvas.width; x++)
      std::memcpy(&canvas.pixels[3 * (static_cast<size_t>(y) * static_cast<size_t>(canvas.width) +
                                      static_cast<size_t>(x))],
                  rgb, 3);
}

}  // namespace

bool gif_read_screen(const std::string& name, int32_t& width, int32_t& height, std::string& error) {
  GifReader r;
  if (!open_gif(r, name, error)) return false;
  width = r.gif->SWidth;
  height = r.gif->SHeight;
  return true;
}

bool gif_read_frames(const std::string& name, const FrameVisitor& each, std::string& error) {
  GifReader r;
  if (!open_gif(r, name, error)) return false;
  GifFileType* gif = r.gif;
  Picture canvas{};
  canvas.width = gif->SWidth;
  canvas.height = gif->SHeight;
  canvas.channels = 3;
  uint8_t background[3] = {0, 0, 0};
  if (gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount) {
    const GifColorType& c = gif->SColorMap->Colors[gif->SBackGroundColor];
    background[0] = c.Red;
    background[1] = c.Green;
    background[2] = c.Blue;
  }
  canvas.pixels.resize(3 * static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height));
  fill(canvas, 0, 0, canvas.width, canvas.height, background);
  std::vector<uint8_t> saved;
  std::vector<GifPixelType> line;
  GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  int frames = 0;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) != GIF_OK) {
      error = gif_reason(gif->Error);
      return false;
    }
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) != GIF_OK) {
        error = gif_reason(gif->Error);
        return false;
      }
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
        DGifExtensionToGCB(block[0], block + 1, &control);
      while (block) {
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) {
          error = gif_reason(gif->Error);
          return false;
        }
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) != GIF_OK) {
      error = gif_reason(gif->Error);
      return false;
    }
    const GifImageDesc& image = gif->Image;
    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
    ++frames;
    if (!map) {
      error = "frame " + std::to_string(frames) + " has no colour map";
      return false;
    }
    if (image.Width <= 0 || image.Height <= 0) {
      error = "frame " + std::to_string(frames) + " has no size";
      return false;
    }
    if (control.DisposalMode == DISPOSE_PREVIOUS) saved = canvas.pixels;
    line.resize(static_cast<size_t>(image.Width));
    std::vector<int> rows;  // the order in which the image's rows come
    if (image.Interlace) {
      for (int pass = 0; pass < GIF_INTERLACE_PASSES; pass++)
        for (int y = INTERLACE_START[pass]; y < image.Height; y += INTERLACE_STEP[pass]) rows.push_back(y);
    } else {
      for (int y = 0; y < image.Height; y++) rows.push_back(y);
    }
    for (const int row : rows) {
      if (DGifGetLine(gif, line.data(), image.Width) != GIF_OK) {
        error = "frame " + std::to_string(frames) + ": " + gif_reason(gif->Error);
        return false;
      }
      const int y = image.Top + row;
      if (y < 0 || y >= canvas.height) continue;
      uint8_t* to = &canvas.pixels[3 * static_cast<size_t>(y) * static_cast<size_t>(canvas.width)];
      for (int i = 0; i < image.Width; i++) {
        const int x = image.Left + i;
        if (x >= canvas.width) break;
        const int index = line[static_cast<size_t>(i)];
        if (x < 0 || index == control.TransparentColor) continue;
        uint8_t* pixel = to + 3 * static_cast<size_t>(x);
        if (index < map->ColorCount) {
          pixel[0] = map->Colors[index].Red;
          pixel[1] = map->Colors[index].Green;
          pixel[2] = map->Colors[index].Blue;
        } else {
          pixel[0] = pixel[1] = pixel[2] = 0;
        }
      }
    }
    if (!each(canvas, control.DelayTime, error)) return false;
    if (control.DisposalMode == DISPOSE_BACKGROUND)
      fill(canvas, image.Left, image.Top, image.Width, image.Height, background);
    else if (control.DisposalMode == DISPOSE_PREVIOUS)
      canvas.pixels.swap(saved);
    control = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  }
  if (frames == 0) {
    error = "holds no image";
    return false;
  }
  return true;
}
