// A frame's colour chunks take effect for the whole frame, wherever they stand among
// its chunks: a file that puts a frame's colour chunk after its pixel chunk shows
// every frame as the same file with the colour chunk first does, on screen and in
// raw indices, read from the file (frames larger than the stream buffer) or from
// memory.
#include <cstring>
#include <random>

#include "tests/flic/flic_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Film {
  int width, height;
  std::vector<Bytes> frames;  // pixels of each frame
  Bytes first, second;        // the palette of frames 1-2 and the one frame 3 changes to
};

Film make_film(int width, int height) {
  std::mt19937 rng{uint32_t(width)};
  auto byte = [&] { return uint8_t(rng() & 0xFF); };
  Film f{width, height, {}, Bytes(768), Bytes(768)};
  for (auto& c : f.first) c = byte();
  f.second = f.first;
  for (int k = 30; k < 90; ++k) f.second[size_t(k)] = byte();  // entries 10 to 29 change
  Bytes pixels(size_t(width * height));
  for (auto& p : pixels) p = uint8_t(byte() % 40);  // few runs, so frames outgrow the stream buffer
  for (int k = 0; k < 3; ++k) {
    for (int i = k; i < width * height; i += 7) pixels[size_t(i)] = uint8_t(k * 11 + i % 5);
    f.frames.push_back(pixels);
  }
  return f;
}

// Where a frame's colour chunks stand: before or after its pixel chunk.
struct Layout {
  const char* name;
  bool first_late;  // frame 1's colours follow its run-length chunk
  bool third_late;  // frame 3's colour change follows its delta
  bool split;       // frame 1's colours in two chunks, one on each side of its pixels
};

FlicWriter write_film(const Film& f, const Layout& at) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, uint16_t(f.width), uint16_t(f.height), 0);
  fw_begin_frame(w);
  const Bytes low(f.first.begin(), f.first.begin() + 384), high(f.first.begin() + 384, f.first.end());
  auto colours = [&] {
    if (!at.split) return fw_palette(w, FLIC_CHUNK_COLOUR_256, f.first.data());
    fw_colour_chunk(w, FLIC_CHUNK_COLOUR_256, {{128, high}});
  };
  if (at.split) fw_colour_chunk(w, FLIC_CHUNK_COLOUR_256, {{0, low}});
  if (!at.first_late) colours();
  fw_byte_run(w, f.frames[0].data());
  if (at.first_late) colours();
  fw_end_frame(w);
  fw_begin_frame(w);
  fw_byte_delta(w, f.frames[0].data(), f.frames[1].data());
  fw_end_frame(w);
  fw_begin_frame(w);
  if (!at.third_late) fw_palette(w, FLIC_CHUNK_COLOUR_256, f.second.data());
  fw_word_delta(w, f.frames[1].data(), f.frames[2].data());
  if (at.third_late) fw_palette(w, FLIC_CHUNK_COLOUR_256, f.second.data());
  fw_end_frame(w);
  fw_finish(w);
  return w;
}

class LateColours : public Flic {
 protected:
  // Every frame's pixels and logical palette, decoded from a fresh library state.
  std::vector<Bytes> decode(const Film& f, const FlicWriter& w, uint32_t flags) {
    if (opened_) flic_close(&context_);
    opened_ = false;
    hl_reset();
    gfx_load_state();
    start(f.width, f.height);
    open(save(w));
    if (flags & GFX_FLAG_MEMORY) {
      std::memcpy(gfx_state().stream_buffer, w.bytes.data(), w.bytes.size());
      gfx_state().stream_size = uint32_t(w.bytes.size());
      context_.next_offset = FLIC_FIRST_FRAME_OFFSET;
    }
    std::vector<Bytes> out;
    for (size_t k = 0; k < f.frames.size(); ++k) {
      EXPECT_EQ(flic_play(&context_, 1, flags), 1) << "frame " << k + 1;
      Bytes seen = pixels();
      const auto* palette = reinterpret_cast<const uint8_t*>(&gfx_state().logical_palette);
      seen.insert(seen.end(), palette, palette + sizeof gfx_state().logical_palette);
      out.push_back(seen);
    }
    EXPECT_EQ(flic_play(&context_, 1, flags), 0) << "no record left";
    return out;
  }
};

const Layout LAYOUTS[] = {
    {"first frame's colours after its pixels", true, false, false},
    {"a later frame's colours after its pixels", false, true, false},
    {"colours on both sides of the pixels", true, false, true},
    {"every frame's colours after its pixels", true, true, false},
};

}  // namespace

TEST_F(LateColours, FramesShowAsWithTheirColoursFirst) {
  struct Size {
    int width, height;
    bool memory;  // also from memory (the whole file fits the stream buffer)
  };
  for (const Size size : {Size{200, 90, false}, Size{30, 20, true}}) {
    const Film film = make_film(size.width, size.height);
    for (const uint32_t mode : {uint32_t(0), GFX_FLAG_MEMORY}) {
      if (mode && !size.memory) continue;
      for (const uint32_t reduce : {uint32_t(0), GFX_FLAG_NO_REDUCE}) {
        const uint32_t flags = GFX_FLAG_NO_PAUSE | mode | reduce;
        const auto expected = decode(film, write_film(film, {"colours first", false, false, false}), flags);
        if (reduce) {
          EXPECT_EQ(expected[0].front(), film.frames[0].front()) << "raw indices";
        }
        for (const Layout& at : LAYOUTS) {
          SCOPED_TRACE(std::string(at.name) + ", " + std::to_string(size.width) + " wide" +
                       (mode ? ", memory" : "") + (reduce ? ", raw" : ""));
          EXPECT_EQ(decode(film, write_film(film, at), flags), expected);
        }
      }
    }
  }
}
