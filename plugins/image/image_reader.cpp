#include "plugins/image/image_reader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "pcx/pcx_io.h"
#include "pcx/pcx_lines.h"
#include "platform/gdi.h"
#include "platform/headless/headless.h"

namespace {

// The reader's context is current while one of its calls runs, and the caller's again after.
class InContext {
 public:
  explicit InContext(GfxContext* context) : before_(gfx_current_context) {
    gfx_context_make_current(context);
  }
  InContext(const InContext&) = delete;
  InContext& operator=(const InContext&) = delete;
  ~InContext() { gfx_context_make_current(before_); }

 private:
  GfxContext* before_;
};

constexpr int64_t MAX_PIXELS = PLAT_MAX_SURFACE_PIXELS;

bool is_flic(const uint8_t* b, size_t size) {
  if (size < FLIC_HEADER_SIZE) return false;
  const uint16_t magic = gfx_le16(b + FLIC_MAGIC_OFFSET);
  return magic == FLIC_MAGIC_FLI || magic == FLIC_MAGIC_FLC;
}

bool is_pcx(const uint8_t* b, size_t size) {
  return size >= PCX_HEADER_SIZE && b[PCX_AT_MANUFACTURER] == PCX_MANUFACTURER &&
         b[PCX_AT_ENCODING] == PCX_ENCODING_RUN_LENGTH;
}

}  // namespace

bool ImageReader::recognises(const uint8_t* bytes, size_t size) {
  return is_flic(bytes, size) || is_pcx(bytes, size);
}

ImageReader::~ImageReader() {
  if (context_ != nullptr) {
    {
      const InContext in(context_);
      if (opened_flic_) flic_close(&playback_);
      if (slot_ >= 0) {
        vb_close();
        vb_free(slot_);
      }
      gfx_finish();
      if (palette_ != nullptr) plat_delete_palette(static_cast<plat_palette>(palette_));
      if (dc_ != nullptr) plat_release_dc(hl_window(), static_cast<plat_dc>(dc_));
    }
    gfx_context_destroy(context_);
  }
  if (memory_fd_ >= 0) close(memory_fd_);
}

bool ImageReader::open(const uint8_t* bytes, size_t size, std::string& error) {
  if (context_ != nullptr) {
    error = "the reader is open already";
    return false;
  }
  if (!recognises(bytes, size)) {
    error = "not a FLIC or PCX file";
    return false;
  }
  flic_ = is_flic(bytes, size);
  // The library reads files by name: the bytes become a file in memory.
  memory_fd_ = memfd_create("moxflic-image", MFD_CLOEXEC);
  if (memory_fd_ < 0) {
    error = "no memory file";
    return false;
  }
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(memory_fd_, bytes + done, size - done);
    if (n <= 0) {
      error = "no room for the file in memory";
      return false;
    }
    done += static_cast<size_t>(n);
  }
  path_ = "/proc/self/fd/" + std::to_string(memory_fd_);
  context_ = gfx_context_create();
  if (context_ == nullptr) {
    error = "no memory";
    return false;
  }
  const InContext in(context_);
  plat_dc dc = plat_get_dc(hl_window());
  dc_ = dc;
  gfx_set_dc(dc);
  plat_palette palette = gfx_default_palette();
  palette_ = palette;
  gfx_realize_palette(palette);
  gfx_init();
  if (!flic_) return open_pcx(error);
  if (flic_open(path_.c_str(), &playback_) != 0) {
    error = "not a FLIC file";
    return false;
  }
  opened_flic_ = true;
  width_ = playback_.width;
  height_ = playback_.height;
  frames_ = playback_.frame_count > 0 ? playback_.frame_count : 1;
  delay_ms_ = static_cast<int32_t>((playback_.frame_us + 500) / 1000);
  return start(error);
}

bool ImageReader::start(std::string& error) {
  if (width_ <= 0 || height_ <= 0 || int64_t{width_} * height_ > MAX_PIXELS) {
    error = "a picture of " + std::to_string(width_) + " x " + std::to_string(height_) +
            " pixels cannot be decoded";
    return false;
  }
  slot_ = vb_alloc(width_, height_);
  if (slot_ < 0 || vb_open(slot_) != 0) {
    slot_ = -1;
    error = "no buffer for the picture";
    return false;
  }
  return true;
}

// A picture in its own colours: the 256-colour block, the header's 16 colours, black
// and white, grey levels for 8 bits without a block, or red, green and blue planes.
bool ImageReader::open_pcx(std::string& error) {
  uint8_t header[PCX_HEADER_SIZE];
  int32_t min_x, max_x, min_y, max_y;
  if (pcx_check_header(path_.c_str(), header) != 0) {
    error = "not a PCX file";
    return false;
  }
  pcx_extents(header, &min_x, &max_x, &min_y, &max_y);
  width_ = max_x - min_x + 1;
  height_ = max_y - min_y + 1;
  frames_ = 1;
  if (!start(error)) return false;
  pcx_set_position(0, 0);
  if (pcx_show(path_.c_str(), GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE) != PCX_SHOWN) {
    error = "the picture cannot be decoded";
    return false;
  }
  const int bits = header[PCX_AT_BITS_PER_PIXEL], planes = header[PCX_AT_PLANES];
  const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  picture_.assign(pixels * 4, 0xFF);
  if (bits == 8 && (planes == 3 || planes == 4)) {
    const uint32_t plane = gfx_le16(header + PCX_AT_BYTES_PER_LINE);
    PcxLineDecoder lines{};
    if (!pcx_io_open(path_.c_str())) return false;
    const bool ok =
        pcx_io_read(header, PCX_HEADER_SIZE) == PCX_HEADER_SIZE && plane >= static_cast<uint32_t>(width_) &&
        pcx_lines_start(lines, PcxReader{gfx_state().stream_buffer, 0, true}, plane * uint32_t(planes));
    if (ok) {
      uint8_t* out = picture_.data();
      for (int32_t y = 0; y < height_; ++y) {
        pcx_next_line(lines);
        for (int32_t x = 0; x < width_; ++x, out += 4)
          for (int p = 0; p < planes; ++p) out[p] = lines.line[uint32_t(p) * plane + uint32_t(x)];
      }
    }
    pcx_io_close();
    if (!ok) error = "the picture cannot be decoded";
    return ok;
  }
  uint8_t colours[GFX_COLOURS * 3] = {};
  const bool black_and_white = bits == 1 && planes == 1;
  const int32_t count = black_and_white ? PCX_HEADER_COLOURS : pcx_read_palette(path_.c_str(), colours);
  int32_t shift = 0;
  if (black_and_white) {
    std::memset(colours, 0, sizeof colours);
    std::memset(colours + 3, 0xFF, 3);
    shift = PAL_FILE_FIRST;
  } else if (count != PCX_BLOCK_COLOURS && bits == 8) {
    for (int i = 0; i < GFX_COLOURS; ++i)
      colours[3 * i] = colours[3 * i + 1] = colours[3 * i + 2] = uint8_t(i);
  } else if (count != PCX_BLOCK_COLOURS) {
    shift = PAL_FILE_FIRST;
  }
  if (shift != 0) {
    // The header's colours are drawn at entries 10 on.
    uint8_t moved[GFX_COLOURS * 3] = {};
    std::memcpy(moved + 3 * PAL_FILE_FIRST, colours, PCX_HEADER_COLOURS * 3);
    std::memcpy(colours, moved, sizeof colours);
  }
  take(picture_, colours);
  return true;
}

void ImageReader::take(std::vector<uint8_t>& rgba, const uint8_t* colours) const {
  rgba.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
  const GfxState& g = gfx_state();
  if (!vb_lock()) {
    vb_unlock();
    std::fill(rgba.begin(), rgba.end(), uint8_t{0});
    return;
  }
  uint8_t* out = rgba.data();
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = g.pixel_address + static_cast<size_t>(y) * static_cast<size_t>(g.row_pitch);
    for (int32_t x = 0; x < width_; ++x, out += 4) {
      const uint8_t* c = colours + 3 * row[x];
      out[0] = c[0];
      out[1] = c[1];
      out[2] = c[2];
      out[3] = 0xFF;
    }
  }
  vb_unlock();
}

bool ImageReader::next(std::vector<uint8_t>& rgba, std::string& error) {
  if (context_ == nullptr || slot_ < 0) {
    error = "the reader is not open";
    return false;
  }
  if (!flic_) {
    if (position_ >= 0) return false;
    position_ = 0;
    rgba = picture_;
    return true;
  }
  if (position_ + 1 >= frames_) return false;
  const InContext in(context_);
  if (flic_play(&playback_, 1, GFX_FLAG_NO_PAUSE | GFX_FLAG_NO_REDUCE) != 1) {
    // The first frame shows what the decoder drew of it, as the viewer does.
    if (position_ >= 0 || playback_.report.damage == FlicDamage::none) {
      error = "frame " + std::to_string(position_ + 2) + " cannot be decoded";
      return false;
    }
    frames_ = 1;
  }
  ++position_;
  take(rgba, gfx_state().flic_file_palette);
  return true;
}

bool ImageReader::rewind() {
  if (context_ == nullptr || slot_ < 0) return false;
  position_ = -1;
  if (!flic_) return true;
  const InContext in(context_);
  return flic_skip(&playback_, -1) == 0;
}
