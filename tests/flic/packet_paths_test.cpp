// The pixel chunks decode the same wherever their packets fall: inside the stream
// buffer, across a refill, across the end of the chunk or of the file, and partly or
// wholly outside the buffer. A plain byte-at-a-time decoder of the four pixel chunks
// is the reference; each case places a random packet stream at a different offset of
// the file and a different drawing position, and compares every pixel.
#include <cstring>
#include <random>

#include "flic/decoder.h"
#include "tests/flic/flic_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t WORD_DELTA = 7, BYTE_DELTA = 12, BYTE_RUN = 15, UNCOMPRESSED = 16;
constexpr int BUFFER_W = 64, BUFFER_H = 40;  // smaller than the frames, so rows and columns are cut
constexpr int FRAME_W = 80, FRAME_H = 60;

// --- The reference decoder ------------------------------------------------------

// Bytes of a chunk as its decoder may fetch them: past the end every fetch gives 0.
struct Source {
  const Bytes& data;
  size_t at = 0;
  bool stopped = false;
  uint32_t byte() {
    if (at >= data.size()) {
      stopped = true;
      return 0;
    }
    return data[at++];
  }
  uint32_t word() {
    const uint32_t low = byte();
    return low | byte() << 8;
  }
  Bytes read(size_t n) {
    Bytes out;
    while (out.size() < n && at < data.size()) out.push_back(data[at++]);
    if (out.size() < n) stopped = true;
    return out;
  }
};

struct Picture {
  Bytes pixels;
  const uint8_t* map;
  int64_t origin_x, origin_y;
  void put(int64_t row, int64_t x, uint8_t value) {
    if (row >= 0 && row < BUFFER_H && x >= 0 && x < BUFFER_W) pixels[size_t(row * BUFFER_W + x)] = map[value];
  }
};

void reference_word_delta(Source& s, Picture& p) {
  int64_t row = p.origin_y;
  const uint32_t lines = s.word();
  for (uint32_t done = 0; done < lines && !s.stopped;) {
    const uint32_t word = s.word();
    if (s.stopped) return;
    if ((word & 0xC000) == 0xC000) {
      row += 0x10000 - word;
      continue;
    }
    if ((word & 0xC000) == 0x8000) {
      p.put(row, p.origin_x + FRAME_W - 1, uint8_t(word));
      continue;
    }
    int64_t x = p.origin_x;
    for (uint32_t k = 0; k < word && !s.stopped; ++k) {
      x += s.byte();
      const int count = int8_t(s.byte());
      if (count >= 0) {
        const Bytes got = s.read(2 * size_t(count));
        for (size_t i = 0; i < got.size(); ++i) p.put(row, x + int64_t(i), got[i]);
        x += 2 * count;
      } else {
        const uint8_t low = uint8_t(s.byte()), high = uint8_t(s.byte());
        if (s.stopped) break;
        for (int i = 0; i < -count; ++i, x += 2) {
          p.put(row, x, low);
          p.put(row, x + 1, high);
        }
      }
    }
    ++row;
    ++done;
  }
}

void reference_byte_delta(Source& s, Picture& p) {
  int64_t row = p.origin_y + s.word();
  const uint32_t lines = s.word();
  for (uint32_t line = 0; line < lines && !s.stopped; ++line, ++row) {
    const uint32_t packets = s.byte();
    int64_t x = p.origin_x;
    for (uint32_t k = 0; k < packets && !s.stopped; ++k) {
      x += s.byte();
      const int count = int8_t(s.byte());
      if (count >= 0) {
        const Bytes got = s.read(size_t(count));
        for (size_t i = 0; i < got.size(); ++i) p.put(row, x + int64_t(i), got[i]);
        x += count;
      } else {
        const uint8_t value = uint8_t(s.byte());
        if (!s.stopped)
          for (int i = 0; i < -count; ++i) p.put(row, x + i, value);
        x += -count;
      }
    }
  }
}

void reference_byte_run(Source& s, Picture& p) {
  for (int y = 0; y < FRAME_H && !s.stopped; ++y) {
    const int64_t row = p.origin_y + y;
    s.byte();
    int64_t left = FRAME_W, x = p.origin_x;
    while (left > 0 && !s.stopped) {
      const int count = int8_t(s.byte());
      if (count >= 0) {
        const uint8_t value = uint8_t(s.byte());
        if (s.stopped) return;
        for (int64_t i = 0; i < std::min<int64_t>(count, left); ++i) p.put(row, x + i, value);
        x += count;
        left -= count;
      } else {
        const Bytes got = s.read(size_t(-count));
        for (int64_t i = 0; i < std::min<int64_t>(int64_t(got.size()), left); ++i)
          p.put(row, x + i, got[size_t(i)]);
        x += -count;
        left -= -count;
      }
    }
  }
}

void reference_uncompressed(Source& s, Picture& p) {
  for (int y = 0; y < FRAME_H && !s.stopped; ++y) {
    const Bytes got = s.read(FRAME_W);
    for (size_t i = 0; i < got.size(); ++i) p.put(p.origin_y + y, p.origin_x + int64_t(i), got[i]);
  }
}

// --- Random packet streams ------------------------------------------------------

struct Maker {
  std::mt19937 rng;
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
  bool chance(int percent) { return pick(1, 100) <= percent; }
  void bytes(Bytes& out, int n) {
    for (int i = 0; i < n; ++i) out.push_back(uint8_t(pick(0, 255)));
  }
  void word(Bytes& out, uint32_t v) { fw_put16(out, v); }
  // A packet length: mostly short, sometimes the longest there is.
  int length(int most) { return chance(10) ? most : pick(1, chance(70) ? 3 : 40); }
  uint8_t skip() { return uint8_t(chance(5) ? 255 : pick(0, 9)); }

  Bytes word_delta() {
    Bytes out;
    const int lines = pick(1, 70);
    word(out, uint32_t(lines));
    for (int line = 0; line < lines; ++line) {
      if (chance(15)) word(out, uint32_t(0x10000 - pick(1, 3)));   // skip rows
      if (chance(10)) word(out, 0x8000 | uint32_t(pick(0, 255)));  // last byte
      const int packets = pick(0, 14);
      word(out, uint32_t(packets));
      for (int k = 0; k < packets; ++k) {
        out.push_back(skip());
        if (chance(55)) {
          const int n = length(127);
          out.push_back(uint8_t(n));
          bytes(out, 2 * n);
        } else {
          out.push_back(uint8_t(-length(128)));
          bytes(out, 2);
        }
      }
    }
    return out;
  }
  Bytes byte_delta() {
    Bytes out;
    const int lines = pick(1, 70);
    word(out, uint32_t(pick(0, 8)));
    word(out, uint32_t(lines));
    for (int line = 0; line < lines; ++line) {
      const int packets = pick(0, 14);
      out.push_back(uint8_t(packets));
      for (int k = 0; k < packets; ++k) {
        out.push_back(skip());
        if (chance(55)) {
          const int n = length(127);
          out.push_back(uint8_t(n));
          bytes(out, n);
        } else {
          out.push_back(uint8_t(-length(128)));
          bytes(out, 1);
        }
      }
    }
    return out;
  }
  Bytes byte_run() {
    Bytes out;
    for (int y = 0; y < FRAME_H; ++y) {
      out.push_back(uint8_t(pick(0, 255)));
      for (int left = FRAME_W; left > 0;) {
        const int n = std::min(length(127), chance(20) ? 127 : left);
        if (chance(50)) {
          out.push_back(uint8_t(n));
          bytes(out, 1);
        } else {
          out.push_back(uint8_t(-n));
          bytes(out, n);
        }
        left -= n;
      }
    }
    return out;
  }
  Bytes uncompressed() {
    Bytes out;
    bytes(out, FRAME_W * FRAME_H);
    return out;
  }
};

// --- The cases ------------------------------------------------------------------

struct Placement {
  const char* name;
  int32_t draw_x, draw_y;
  uint32_t padding;  // bytes in a prefix record in front of the frame: moves the chunk against refills
  int cut;           // bytes of chunk data dropped from the end of the file (-1: none)
  int short_by;      // bytes the chunk's size field claims less than its data (0: none)
  bool record_short = true;  // the frame record's size is short by as much (else it holds the data)
};

const Placement placements[] = {
    {"top left", 0, 0, 6, -1, 0},
    {"odd column", 7, 3, 1000, -1, 0},
    {"left and top cut", -9, -5, 2500, -1, 0},
    {"right and bottom cut", 23, 11, 3999, -1, 0},
    {"odd column left of the buffer", -1, 0, 4000, -1, 0},
    {"right edge of the frame inside the buffer", -21, 4, 3000, -1, 0},
    {"wholly left of the buffer", -200, 0, 4090, -1, 0},
    {"wholly below the buffer", 0, 100, 77, -1, 0},
    {"file ends early", 3, 2, 1500, 700, 0},
    {"file ends after a few bytes", 0, 0, 4050, 3, 0},
    {"chunk shorter than its packets", -4, 1, 3000, -1, 900},
    {"chunk shorter by one byte", 5, -2, 4096, -1, 1},
    {"chunk shorter than its packets, all in the record", 2, 0, 3000, -1, 900, false},
    {"chunk shorter by two bytes, all in the record", 0, 0, 4094, -1, 2, false},
};

// The placement's cut and shortfall, held to the data there is.
size_t cut_of(const Placement& at, const Bytes& data) {
  return at.cut < 0 ? data.size() : std::min(data.size(), size_t(at.cut));
}
size_t short_of(const Placement& at, const Bytes& data) { return std::min(data.size(), size_t(at.short_by)); }

// One file: header, a prefix record of the placement's size, and one frame holding
// the chunk (its size field, and the record's when the placement says so, short_by
// less than its data), cut as the placement says.
Bytes file_with(const Placement& at, uint16_t type, const Bytes& data) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, FRAME_W, FRAME_H, 0);
  fw_begin_prefix(w);
  fw_raw(w, Bytes(at.padding, 0));
  fw_end_frame(w);
  const size_t record = w.bytes.size();
  fw_begin_frame(w);
  fw_chunk_sized(w, uint32_t(6 + data.size() - short_of(at, data)), type, data);
  fw_end_frame(w);
  if (at.record_short) {
    uint32_t size;
    std::memcpy(&size, &w.bytes[record], 4);  // little-endian, as the machine
    size -= uint32_t(short_of(at, data));
    std::memcpy(&w.bytes[record], &size, 4);
  }
  fw_finish(w);
  Bytes bytes = w.bytes;
  bytes.resize(bytes.size() - data.size() + cut_of(at, data));
  return bytes;
}

class PacketPaths : public Flic {
 protected:
  void check(const Placement& at, uint16_t type, const Bytes& data, const char* kind, int seed) {
    SCOPED_TRACE(std::string(kind) + ", " + at.name + ", stream " + std::to_string(seed));
    const Bytes file = file_with(at, type, data);
    // The bytes the decoder may fetch: the frame record's end and the file's end hold it.
    const size_t in_record = at.record_short ? data.size() - short_of(at, data) : data.size();
    const size_t usable = std::min(in_record, cut_of(at, data));
    const Bytes fetchable(data.begin(), data.begin() + long(usable));

    uint8_t map[256];
    for (int k = 0; k < 256; ++k) map[k] = uint8_t(k * 7 + 3);
    Picture expected{Bytes(BUFFER_W * BUFFER_H, 0xEE), map, at.draw_x, at.draw_y};
    Source source{fetchable};
    switch (type) {
      case WORD_DELTA:
        reference_word_delta(source, expected);
        break;
      case BYTE_DELTA:
        reference_byte_delta(source, expected);
        break;
      case BYTE_RUN:
        reference_byte_run(source, expected);
        break;
      default:
        reference_uncompressed(source, expected);
        break;
    }

    std::memcpy(gfx_state().flic_colour_map, map, 256);
    gfx_state().draw_x = at.draw_x;
    gfx_state().draw_y = at.draw_y;
    const std::string name = save_bytes(file);
    // The code of every vector level this processor runs.
    for (const GfxVector level : GFX_VECTOR_LEVELS) {
      if (!gfx_vector_runs(level)) continue;
      SCOPED_TRACE(std::string("vector code ") + gfx_vector_name(level));
      gfx_use_vector(level);
      fill_buffer(0xEE);
      open(name);
      flic_play(&context_, -1, GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION);
      EXPECT_EQ(pixels(), expected.pixels);
      if (file.size() <= GFX_STREAM_BUFFER_SIZE) {  // the same bytes from memory
        fill_buffer(0xEE);
        std::memcpy(gfx_state().stream_buffer, file.data(), file.size());
        gfx_state().stream_size = uint32_t(file.size());
        context_.next_offset = FLIC_FIRST_FRAME_OFFSET;
        flic_play(&context_, -1, GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION | GFX_FLAG_MEMORY);
        EXPECT_EQ(pixels(), expected.pixels) << "memory mode";
      }
      flic_close(&context_);
      opened_ = false;
    }
    gfx_use_vector(gfx_vector());
  }
};

}  // namespace

TEST_F(PacketPaths, PixelChunksDecodeAlikeWhereverTheirPacketsFall) {
  start(BUFFER_W, BUFFER_H);
  for (int seed = 0; seed < 3; ++seed) {
    for (const Placement& at : placements) {
      Maker make{std::mt19937(static_cast<uint32_t>(seed * 1000) + at.padding)};
      check(at, WORD_DELTA, make.word_delta(), "word delta", seed);
      check(at, BYTE_DELTA, make.byte_delta(), "byte delta", seed);
      check(at, BYTE_RUN, make.byte_run(), "byte run", seed);
      check(at, UNCOMPRESSED, make.uncompressed(), "uncompressed", seed);
    }
  }
}

TEST_F(PacketPaths, SmallFilesDecodeAlikeFromMemory) {
  // Short streams, so that every placement also runs in memory mode.
  start(BUFFER_W, BUFFER_H);
  const Placement at[] = {{"odd column", 7, 3, 6, -1, 0},
                          {"cut left", -3, 0, 100, -1, 0},
                          {"file ends early", 1, 1, 6, 200, 0},
                          {"chunk short", 0, -1, 50, -1, 33}};
  for (int seed = 0; seed < 8; ++seed) {
    for (const Placement& p : at) {
      Maker make{std::mt19937(uint32_t(seed))};
      Bytes w = make.word_delta(), b = make.byte_delta();
      w.resize(std::min<size_t>(w.size(), 1500));
      b.resize(std::min<size_t>(b.size(), 1500));
      check(p, WORD_DELTA, w, "word delta", seed);
      check(p, BYTE_DELTA, b, "byte delta", seed);
    }
  }
}

TEST_F(PacketPaths, EveryPacketBoundaryMeetsARefillAndTheChunkEnd) {
  // The frame moved one byte at a time, so that each packet of the stream in turn
  // straddles the refill; then the chunk ended one byte at a time earlier.
  start(BUFFER_W, BUFFER_H);
  Maker make{std::mt19937(5)};
  Bytes long_literals;  // every row one literal that runs past the frame's width
  for (int y = 0; y < FRAME_H; ++y) {
    long_literals.insert(long_literals.end(), {1, uint8_t(-127)});
    make.bytes(long_literals, 127);
  }
  const Bytes streams[] = {make.word_delta(), make.byte_delta(), make.byte_run(), long_literals};
  const uint16_t types[] = {WORD_DELTA, BYTE_DELTA, BYTE_RUN, BYTE_RUN};
  const char* kinds[] = {"word delta", "byte delta", "byte run", "byte run of long literals"};
  const int32_t columns[] = {0, 5, -3, -30};  // the last: the frame's right edge inside the buffer
  for (int k = 0; k < 4; ++k) {
    for (uint32_t padding = 3900; padding < 3980; ++padding) {
      const Placement at{"moved", columns[padding % 4], int32_t(padding % 5) - 2, padding, -1, 0};
      check(at, types[k], streams[k], kinds[k], int(padding));
    }
    for (int short_by = 1; short_by <= 24; ++short_by) {
      const Placement at{"chunk ends early", columns[short_by % 4], 0, 500, -1, short_by};
      check(at, types[k], streams[k], kinds[k], short_by);
    }
  }
}

// Uncompressed frames larger than the stream buffer are read straight into the
// buffer's rows: the pixels and the file position after each frame must be those of
// the byte-at-a-time reference, with rows in memory one after another or apart, with
// every form of the colour map translation (through the pair map too, for frames of
// enough pixels, made again as the map changes), and when the file ends inside a frame.
TEST_F(PacketPaths, LargeUncompressedFramesDecodeAlikeReadStraightIntoTheRows) {
  struct Shape {
    int buffer_w, buffer_h, frame_w, frame_h, x, y;
  };
  const Shape shapes[] = {{152, 70, 152, 70, 0, 0},
                          {150, 70, 141, 61, 4, 3},
                          {149, 50, 149, 50, 0, 0},
                          {270, 260, 263, 250, 5, 2}};
  static_assert(263 * 250 >= FDEC_PAIR_MAP_UNCOMPRESSED);
  struct Form {
    FdTranslateRun run;
    FdTranslatePairs pairs;
  };
  std::vector<Form> forms = {{fdec_translate_plain, nullptr}};
  for (const GfxVector level : GFX_VECTOR_LEVELS)
    if (gfx_vector_runs(level))
      forms.push_back({fdec_translate_form(level), fdec_translate_pairs_form(level)});
  std::mt19937 rng(99);
  start(1, 1);
  for (const Shape& shape : shapes) {
    ASSERT_EQ(vb_open(vb_alloc(shape.buffer_w, shape.buffer_h)), 0);
    const size_t frame_bytes = size_t(shape.frame_w) * static_cast<size_t>(shape.frame_h);
    std::vector<Bytes> frames(3, Bytes(frame_bytes));
    for (Bytes& f : frames)
      for (uint8_t& b : f) b = uint8_t(rng());
    for (uint32_t padding : {6u, 1000u, 4090u}) {
      FlicWriter w;
      fw_begin(w, FLIC_MAGIC_FLC, uint16_t(shape.frame_w), uint16_t(shape.frame_h), 0);
      fw_begin_prefix(w);
      fw_raw(w, Bytes(padding, 0));
      fw_end_frame(w);
      std::vector<size_t> data_at;  // where each frame's pixels begin in the file
      for (const Bytes& f : frames) {
        fw_begin_frame(w);
        data_at.push_back(w.bytes.size() + FLIC_CHUNK_HEADER_SIZE);
        fw_uncompressed(w, f.data());
        fw_end_frame(w);
      }
      fw_finish(w);
      for (long cut : {-1L, 1L, 5000L, long(frame_bytes) - 1}) {  // file cut inside the second frame's pixels
        Bytes file = w.bytes;
        if (cut >= 0) file.resize(data_at[1] + size_t(cut));
        for (size_t form = 0; form < forms.size(); ++form) {
          SCOPED_TRACE("frame " + std::to_string(shape.frame_w) + " x " + std::to_string(shape.frame_h) +
                       ", padding " + std::to_string(padding) + ", cut " + std::to_string(cut) + ", form " +
                       std::to_string(form));
          fdec_translate_run = forms[form].run;
          fdec_translate_pairs = forms[form].pairs;
          uint8_t map[256];
          for (uint8_t& m : map) m = uint8_t(rng());
          std::memcpy(gfx_state().flic_colour_map, map, 256);
          Bytes expected(gfx_state().buffer_size, 0xEE);  // rows a pitch apart
          fill_buffer(0xEE);
          gfx_state().draw_x = shape.x;
          gfx_state().draw_y = shape.y;
          open(save_bytes(file));
          for (size_t f = 0; f < frames.size(); ++f) {
            const size_t arrived =
                std::min(frame_bytes, file.size() > data_at[f] ? file.size() - data_at[f] : 0);
            for (size_t b = 0; b < arrived; ++b)
              expected[size_t(shape.y + int(b) / shape.frame_w) * size_t(gfx_state().row_pitch) +
                       size_t(shape.x) + b % size_t(shape.frame_w)] = map[frames[f][b]];
            const int32_t decoded = flic_play(&context_, 1, GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION);
            EXPECT_EQ(decoded, arrived == frame_bytes ? 1 : 0) << "frame " << f;
            ASSERT_EQ(pixels(), expected) << "frame " << f;
            if (arrived < frame_bytes) break;
          }
          flic_close(&context_);
          opened_ = false;
        }
      }
    }
  }
  gfx_use_vector(gfx_vector());
}

// The pair map's forms give the plain translation's bytes for every length a step and
// its tail can leave, in place and apart, the highest pair (the last entry) included,
// and the map is made again when the colour map changes.
TEST(PairMap, TranslatesAsThePlainForm) {
  std::mt19937 rng(7);
  for (int maps = 0; maps < 2; ++maps) {
    uint8_t map[256];
    for (uint8_t& m : map) m = uint8_t(rng());
    const FdPairMap* pairs = fdec_pair_map(map);
    ASSERT_NE(pairs, nullptr);
    for (const GfxVector level : GFX_VECTOR_LEVELS) {
      const FdTranslatePairs form = fdec_translate_pairs_form(level);
      if (!gfx_vector_runs(level) || form == nullptr) continue;
      for (int64_t n = 0; n <= 100; ++n) {
        SCOPED_TRACE(std::string(gfx_vector_name(level)) + ", " + std::to_string(n) + " pixels");
        Bytes values(size_t(n) + 3);
        for (uint8_t& v : values) v = rng() % 4 == 0 ? 255 : uint8_t(rng());
        Bytes expected = values, in_place = values, apart(values.size(), 0xEE);
        fdec_translate_plain(expected.data() + 1, expected.data() + 1, n, map);
        form(in_place.data() + 1, in_place.data() + 1, n, *pairs);
        form(apart.data() + 1, values.data() + 1, n, *pairs);
        EXPECT_EQ(in_place, expected);
        std::copy(expected.begin() + 1, expected.end() - 2, values.begin() + 1);
        std::fill(values.begin(), values.begin() + 1, 0xEE);
        std::fill(values.end() - 2, values.end(), 0xEE);
        EXPECT_EQ(apart, values);
      }
    }
  }
}

// Long literals of delta frames go through the pair map made by a large first frame
// while the colour map stays as it was, and not once a colour chunk changes it: every
// level's forms draw what the portable form without a pair map draws, frame by frame.
TEST_F(PacketPaths, DeltaLiteralsThroughThePairMapWhileTheColourMapStays) {
  constexpr int W = 520, H = 510;
  static_assert(W * H >= FDEC_PAIR_MAP_BYTE_RUN);
  std::mt19937 rng(5);
  const auto palette = [&rng] {
    Bytes rgb(768);
    for (uint8_t& c : rgb) c = uint8_t(rng());
    return rgb;
  };
  std::vector<Bytes> pictures(5, Bytes(W * H));
  for (uint8_t& v : pictures[0]) v = uint8_t(rng());
  for (size_t k = 1; k < pictures.size(); ++k) {  // long stretches changed, in varying places
    pictures[k] = pictures[k - 1];
    for (int y = int(k); y < H; y += 9)
      for (int x = 7 * int(k); x < W - 5; ++x) pictures[k][size_t(y * W + x)] = uint8_t(rng());
  }
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, W, H, 0);
  for (size_t k = 0; k < pictures.size(); ++k) {
    fw_begin_frame(w);
    if (k == 0 || k == 3) fw_palette(w, FLIC_CHUNK_COLOUR_256, palette().data());
    if (k == 0)
      fw_byte_run(w, pictures[0].data());
    else if (k == 2)
      ASSERT_TRUE(fw_byte_delta(w, pictures[k - 1].data(), pictures[k].data()));
    else
      ASSERT_TRUE(fw_word_delta(w, pictures[k - 1].data(), pictures[k].data()));
    fw_end_frame(w);
  }
  fw_finish(w);
  const std::string name = save(w);
  start(W, H);
  const auto decode = [&] {
    std::vector<Bytes> drawn;
    fill_buffer(0xEE);
    open(name);
    for (size_t k = 0; k < pictures.size(); ++k) {
      EXPECT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
      drawn.push_back(pixels());
    }
    flic_close(&context_);
    opened_ = false;
    return drawn;
  };
  gfx_use_vector(GfxVector::portable);
  fdec_translate_pairs = nullptr;
  const std::vector<Bytes> expected = decode();
  for (const GfxVector level : GFX_VECTOR_LEVELS) {
    if (!gfx_vector_runs(level)) continue;
    SCOPED_TRACE(gfx_vector_name(level));
    gfx_use_vector(level);
    EXPECT_EQ(decode(), expected);
  }
  gfx_use_vector(gfx_vector());
}
