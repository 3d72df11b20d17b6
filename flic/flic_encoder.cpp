// The FLIC encoder: frame records whose colour chunk holds only the entries that
// changed and whose pixel chunk is of the kind that takes the fewest bytes.
#include <algorithm>
#include <cstring>

#include "flic/encode_rows.h"
#include "flic/flic_writer.h"

namespace {

constexpr size_t COLOUR_BYTES = 768;
constexpr int SIX_BIT_SHIFT = 2;
constexpr uint16_t HEADER_DEPTH = 8;
constexpr int HEADER_DEPTH_OFFSET = 12;
constexpr int HEADER_FIRST_FRAME_OFFSET = 80;   // FLC: offset of frame 1
constexpr int HEADER_SECOND_FRAME_OFFSET = 84;  // FLC: offset of frame 2
constexpr uint32_t MOST_PACKET_ENTRIES = 256;   // written as a count of 0

void put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

void set16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void set32(uint8_t* at, uint32_t value) {
  set16(at, value & 0xFFFF);
  set16(at + 2, value >> 16);
}

// The chunk's bytes once padded to an even size.
size_t padded(size_t bytes) { return bytes + (bytes & 1); }

void put_chunk(std::vector<uint8_t>& record, uint16_t type, const std::vector<uint8_t>& data) {
  put32(record, static_cast<uint32_t>(FLIC_CHUNK_HEADER_SIZE + padded(data.size())));
  put16(record, type);
  record.insert(record.end(), data.begin(), data.end());
  if (data.size() & 1) record.push_back(0);
}

// A colour chunk's data: a packet for every run of entries that differ from before
// (null: every entry, in one packet). Empty when no entry changed.
std::vector<uint8_t> colour_data(const uint8_t* before, const uint8_t* now) {
  std::vector<uint8_t> data;
  put16(data, 0);
  uint32_t packets = 0, index = 0;
  const auto differs = [&](uint32_t i) {
    return before == nullptr || std::memcmp(before + 3 * i, now + 3 * i, 3) != 0;
  };
  for (uint32_t i = 0; i < MOST_PACKET_ENTRIES;) {
    if (!differs(i)) {
      ++i;
      continue;
    }
    uint32_t end = i + 1;
    while (end < MOST_PACKET_ENTRIES && differs(end)) ++end;
    data.push_back(static_cast<uint8_t>(i - index));  // at most 255: the entries passed over
    data.push_back(static_cast<uint8_t>(end - i));    // 256 entries as 0
    data.insert(data.end(), now + 3 * i, now + 3 * end);
    ++packets;
    index = end;
    i = end;
  }
  if (packets == 0) return {};
  data[0] = static_cast<uint8_t>(packets);
  data[1] = static_cast<uint8_t>(packets >> 8);
  return data;
}

void begin_record(std::vector<uint8_t>& record) {
  record.assign(FLIC_RECORD_HEADER_SIZE, 0);
  set16(record.data() + FLIC_RECORD_TYPE_OFFSET, FLIC_FRAME_TYPE);
}

void end_record(std::vector<uint8_t>& record, uint32_t chunks) {
  set32(record.data(), static_cast<uint32_t>(record.size()));
  set16(record.data() + FLIC_RECORD_CHUNKS_OFFSET, chunks);
}

// A pixel chunk kind and the bytes it is thought to take.
struct Kind {
  uint16_t type;
  int64_t estimate;
};

// Frames that change in at least this many rows are judged on a sample of them first:
// every SAMPLE_EVERY-th row. A kind is made when its estimate is within 1/NEAR_ESTIMATE
// of the smallest, or when the smallest turned out larger than its estimate said.
constexpr int32_t SAMPLE_FROM_ROWS = 64;
constexpr int32_t SAMPLE_EVERY = 8;
constexpr int64_t NEAR_ESTIMATE = 50;
constexpr int64_t CANNOT = INT64_MAX / 64;  // the estimate of a kind that cannot write a sampled row

// Estimates the bytes of each kind from every SAMPLE_EVERY-th row and sorts the kinds
// by them, smallest first (a kind that cannot write a sampled row last); false, with
// the kinds as they were, for a frame that changes in too few rows to need it.
bool estimate_kinds(RowCoder& coder, const uint8_t* prev, const uint8_t* next, int32_t width, int32_t height,
                    std::vector<Kind>& kinds) {
  const size_t row = static_cast<size_t>(width);
  int32_t changed_rows = 0;
  for (int32_t y = 0; y < height; ++y)
    changed_rows += !std::equal(prev + static_cast<size_t>(y) * row, prev + static_cast<size_t>(y + 1) * row,
                                next + static_cast<size_t>(y) * row);
  if (changed_rows < SAMPLE_FROM_ROWS) return false;
  for (Kind& kind : kinds) {
    const RowKind rows = kind.type == FLIC_CHUNK_WORD_DELTA   ? RowKind::word_delta
                         : kind.type == FLIC_CHUNK_BYTE_DELTA ? RowKind::byte_delta
                                                              : RowKind::byte_run;
    int64_t bytes = 0;
    for (int32_t y = 0; y < height && bytes < CANNOT; y += SAMPLE_EVERY) {
      const uint8_t* p = prev + static_cast<size_t>(y) * row;
      const uint8_t* n = next + static_cast<size_t>(y) * row;
      if (rows != RowKind::byte_run && std::equal(p, p + row, n)) {
        bytes += 1;  // a byte delta's row without packets, a share of a word delta's skip
        continue;
      }
      const int64_t cost = row_plan(coder, rows, rows == RowKind::byte_run ? nullptr : p, n, width);
      bytes = cost < 0 ? CANNOT : bytes + cost + (rows == RowKind::word_delta ? 2 : 1);
    }
    kind.estimate = bytes;
  }
  std::stable_sort(kinds.begin(), kinds.end(),
                   [](const Kind& a, const Kind& b) { return a.estimate < b.estimate; });
  for (Kind& kind : kinds) kind.estimate = std::min(kind.estimate, CANNOT) * SAMPLE_EVERY;
  return true;
}

// The record that turns the frame before (pixels and stored colours, null before the
// first frame) into the next.
void make_record(FlicEncoder& e, const uint8_t* prev, const uint8_t* prev_colours, const uint8_t* next,
                 const uint8_t* next_colours, std::vector<uint8_t>& record) {
  begin_record(record);
  uint32_t chunks = 0;
  const std::vector<uint8_t> colours = colour_data(prev_colours, next_colours);
  if (!colours.empty()) {
    put_chunk(record, e.magic == FLIC_MAGIC_FLI ? FLIC_CHUNK_COLOUR_64 : FLIC_CHUNK_COLOUR_256, colours);
    ++e.tally.colour;
    ++chunks;
  }
  const int32_t width = e.width, height = e.height;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  RowCoder coder;
  std::vector<uint8_t> best, trial;
  uint16_t best_type = 0;
  // Each kind is tried with the smallest size so far as its limit, so that a kind that
  // cannot win stops early; on a tie the kind tried first, the quicker to decode, stays.
  const auto consider = [&](uint16_t type, bool made) {
    if (!made || (best_type != 0 && padded(trial.size()) >= padded(best.size()))) return;
    best.swap(trial);
    best_type = type;
  };
  const auto limit = [&] { return best_type == 0 ? SIZE_MAX : padded(best.size()); };
  if (prev == nullptr) {
    consider(FLIC_CHUNK_BYTE_RUN, encode_byte_run(coder, next, width, height, SIZE_MAX, trial));
  } else if (!std::equal(prev, prev + pixels, next)) {
    // The kinds in the order to try them: the likely smallest first, so that the
    // others stop at its size.
    std::vector<Kind> kinds;
    if (e.magic == FLIC_MAGIC_FLC) kinds.push_back({FLIC_CHUNK_WORD_DELTA, 0});
    kinds.push_back({FLIC_CHUNK_BYTE_DELTA, 0});
    kinds.push_back({FLIC_CHUNK_BYTE_RUN, 0});
    const bool sampled = estimate_kinds(coder, prev, next, width, height, kinds);
    for (size_t k = 0; k < kinds.size(); ++k) {
      // A frame that changes in many rows: the kinds are judged on a sample of its
      // rows, and only those whose estimate comes near the smallest are made.
      if (sampled && k > 0 && kinds[k].estimate > kinds[0].estimate + kinds[0].estimate / NEAR_ESTIMATE &&
          best_type != 0 &&
          static_cast<int64_t>(best.size()) <= kinds[0].estimate + kinds[0].estimate / NEAR_ESTIMATE)
        break;
      trial.clear();
      bool made = false;
      switch (kinds[k].type) {
        case FLIC_CHUNK_WORD_DELTA:
          made = encode_word_delta(coder, prev, next, width, height, limit(), trial);
          break;
        case FLIC_CHUNK_BYTE_DELTA:
          made = encode_byte_delta(coder, prev, next, width, height, limit(), trial);
          break;
        default:
          made = encode_byte_run(coder, next, width, height, limit(), trial);
          break;
      }
      consider(kinds[k].type, made);
    }
  }
  switch (best_type) {
    case FLIC_CHUNK_BYTE_RUN:
      ++e.tally.byte_run;
      break;
    case FLIC_CHUNK_BYTE_DELTA:
      ++e.tally.byte_delta;
      break;
    case FLIC_CHUNK_WORD_DELTA:
      ++e.tally.word_delta;
      break;
    default:
      ++e.tally.unchanged;
      break;
  }
  if (best_type != 0) {
    put_chunk(record, best_type, best);
    ++chunks;
  }
  end_record(record, chunks);
}

}  // namespace

bool fe_begin(FlicEncoder& e, uint16_t magic, uint16_t width, uint16_t height) {
  e = FlicEncoder{};
  e.magic = magic == FLIC_MAGIC_FLI ? FLIC_MAGIC_FLI : FLIC_MAGIC_FLC;
  e.width = width;
  e.height = height;
  const int64_t pixels = int64_t{width} * height;
  return pixels > 0 && pixels <= FLIC_ENCODE_MAX_PIXELS;
}

void fe_frame(FlicEncoder& e, const uint8_t* pixels, const uint8_t* rgb, std::vector<uint8_t>& record) {
  const size_t count = static_cast<size_t>(e.width) * static_cast<size_t>(e.height);
  uint8_t colours[COLOUR_BYTES];
  for (size_t i = 0; i < COLOUR_BYTES; ++i)
    colours[i] = e.magic == FLIC_MAGIC_FLI ? static_cast<uint8_t>(rgb[i] >> SIX_BIT_SHIFT) : rgb[i];
  if (e.frames == 0) {
    make_record(e, nullptr, nullptr, pixels, colours, record);
    e.first.assign(pixels, pixels + count);
    std::memcpy(e.first_colours, colours, COLOUR_BYTES);
    e.first_record_size = static_cast<uint32_t>(record.size());
  } else {
    make_record(e, e.last.data(), e.last_colours, pixels, colours, record);
  }
  e.last.assign(pixels, pixels + count);
  std::memcpy(e.last_colours, colours, COLOUR_BYTES);
  ++e.frames;
}

void fe_ring(FlicEncoder& e, std::vector<uint8_t>& record) {
  make_record(e, e.last.data(), e.last_colours, e.first.data(), e.first_colours, record);
}

void fe_header(const FlicEncoder& e, uint32_t speed, uint32_t file_size, uint8_t header[FLIC_HEADER_SIZE]) {
  std::memset(header, 0, FLIC_HEADER_SIZE);
  set32(header, file_size);
  set16(header + FLIC_MAGIC_OFFSET, e.magic);
  set16(header + FLIC_FRAMES_OFFSET, e.frames);
  set16(header + FLIC_WIDTH_OFFSET, e.width);
  set16(header + FLIC_HEIGHT_OFFSET, e.height);
  set16(header + HEADER_DEPTH_OFFSET, HEADER_DEPTH);
  if (e.magic == FLIC_MAGIC_FLI) {
    set16(header + FLIC_SPEED_OFFSET, speed & 0xFFFF);
    return;
  }
  set32(header + FLIC_SPEED_OFFSET, speed);
  set32(header + HEADER_FIRST_FRAME_OFFSET, FLIC_FIRST_FRAME_OFFSET);
  set32(header + HEADER_SECOND_FRAME_OFFSET, FLIC_FIRST_FRAME_OFFSET + e.first_record_size);
}
