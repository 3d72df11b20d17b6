// The row coder of the FLIC writer: the fewest bytes for one row of a byte run, a
// byte delta or a word delta (see encode_rows.h).
//
// cost[e]: the cheapest packets that write every changed pixel left of column e and
// leave the decoder's column at e. start[x]: the cheapest cost of beginning a packet's
// data at column x, reached by a skip of at most 255 unchanged pixels from some
// cost[c]. A literal from x to e costs start[x] + header + (e - x); a run, start[x] +
// header + one value (a byte or a word) when the pixels from x to e repeat it. Each
// minimum over a window of columns is kept in a monotone queue, so a row costs time in
// proportion to its width.
#include "flic/encode_rows.h"

#include <algorithm>

namespace {

constexpr int32_t UNREACHED = INT32_MAX / 4;
constexpr int32_t FROM_OUTSIDE = -1;                // a packet's skip starts left of the columns planned
constexpr int32_t MAX_SKIP = 255;                   // one skip byte
constexpr int32_t MAX_BYTE_DELTA_PACKETS = 255;     // one count byte
constexpr int32_t MAX_WORD_DELTA_PACKETS = 0x3FFF;  // a count word without the top bits of the other words

enum Kind : uint8_t { FROM_START, BY_SKIP, BY_LITERAL, BY_RUN };

struct Shape {
  int32_t unit;         // 1: bytes, 2: words
  int32_t header;       // bytes before a packet's data: count, or skip and count
  int32_t literal_max;  // units of one literal
  int32_t run_max;      // units of one run
  int32_t skip_max;     // 0: no skips, every pixel is written
};

Shape shape_of(RowKind kind) {
  switch (kind) {
    case RowKind::byte_run:
      return {1, 1, 128, 127, 0};
    case RowKind::byte_delta:
      return {1, 2, 127, 128, MAX_SKIP};
    case RowKind::word_delta:
      break;
  }
  return {2, 2, 127, 128, MAX_SKIP};
}

// A queue of columns whose keys rise from front to back.
struct Window {
  int32_t* at;
  int32_t head = 0;
  int32_t tail = 0;
  bool empty() const { return head == tail; }
  int32_t front() const { return at[head]; }
  void drop_before(int32_t column) {
    while (head != tail && at[head] < column) ++head;
  }
  template <class Key>
  void push(int32_t column, Key key) {
    const int32_t k = key(column);
    while (head != tail && key(at[tail - 1]) >= k) --tail;
    at[tail++] = column;
  }
};

}  // namespace

int64_t row_plan(RowCoder& coder, RowKind kind, const uint8_t* prev, const uint8_t* next, int32_t width) {
  const Shape s = shape_of(kind);
  coder.packets.clear();
  if (width <= 0) return 0;
  if (kind == RowKind::word_delta && width < 2) return -1;
  const size_t n = static_cast<size_t>(width) + 1;
  if (coder.cost.size() < n) {
    coder.cost.resize(n);
    coder.start.resize(n);
    coder.cost_from.resize(n);
    coder.start_from.resize(n);
    coder.cost_kind.resize(n);
    for (std::vector<int32_t>& q : coder.queue) q.resize(n);
  }
  int32_t* const cost = coder.cost.data();
  int32_t* const start = coder.start.data();
  int32_t* const cost_from = coder.cost_from.data();
  int32_t* const start_from = coder.start_from.data();
  uint8_t* const cost_kind = coder.cost_kind.data();
  Window starts{coder.queue[0].data()};
  Window literals[2] = {{coder.queue[1].data()}, {coder.queue[2].data()}};
  Window runs[2] = {{coder.queue[3].data()}, {coder.queue[4].data()}};
  const auto by_cost = [cost](int32_t c) { return cost[c]; };
  const auto by_literal = [start](int32_t x) { return start[x] - x; };
  const auto by_run = [start](int32_t x) { return start[x]; };
  const int32_t unit = s.unit;
  const int32_t literal_reach = unit * s.literal_max;
  const int32_t run_reach = unit * s.run_max;

  // A delta's pixels left of its first change and right of its last are passed over:
  // the columns start a little left of the first change (where a packet's data may
  // start after packets that only skip, from column 0, 255, 510, ...), and end where
  // no packet that writes anything changed can end.
  int32_t origin = 0, end_column = width, first = 0;
  if (prev != nullptr) {
    while (first < width && prev[first] == next[first]) ++first;
    if (first == width) return 0;
    int32_t last = width - 1;
    while (prev[last] == next[last]) --last;
    // A run may start left of the first change, where the unchanged pixels already
    // repeat its value: it can save the packet that only skips.
    int32_t repeats = first + 1 - unit;  // where a run that ends on the first change may start
    while (repeats > 0 && first - repeats < run_reach && next[repeats - 1] == next[repeats - 1 + unit])
      --repeats;
    origin = std::max(0, repeats - 2 * unit);
    end_column = std::min(width, last + 1 + std::max(literal_reach, run_reach));
  }
  // The cheapest way to start data at column x <= first from column 0: packets that
  // only skip, then a skip of at most 255.
  const auto skipped_to = [&](int32_t x) { return std::max(0, (x + MAX_SKIP - 1) / MAX_SKIP - 1); };
  const auto begin_at = [&](int32_t e) {
    start[e] = cost[starts.front()];
    start_from[e] = starts.front();
    if (prev != nullptr && e <= first && skipped_to(e) * s.header < start[e]) {
      start[e] = skipped_to(e) * s.header;
      start_from[e] = FROM_OUTSIDE;
    }
  };
  cost[origin] = origin == 0 ? 0 : UNREACHED;
  cost_kind[origin] = FROM_START;
  starts.push(origin, by_cost);
  begin_at(origin);
  literals[origin % unit].push(origin, by_literal);
  runs[origin % unit].push(origin, by_run);
  int32_t unchanged_from = origin;  // the first column of the unchanged pixels left of e
  int32_t repeat_from = origin;     // the first column from which the pixels left of e repeat one value
  for (int32_t e = origin + 1; e <= end_column; ++e) {
    if (prev == nullptr || prev[e - 1] != next[e - 1]) unchanged_from = e;
    if (e - origin > unit && next[e - 1 - unit] != next[e - 1]) repeat_from = e - unit;
    const int32_t parity = e % unit;
    int32_t best = UNREACHED, from = 0;
    uint8_t how = BY_LITERAL;
    Window& literal = literals[parity];
    literal.drop_before(e - literal_reach);
    if (!literal.empty() && literal.front() <= e - unit) {
      const int32_t x = literal.front();
      best = start[x] + s.header + (e - x);
      from = x;
    }
    Window& run = runs[parity];
    run.drop_before(std::max(e - run_reach, repeat_from));
    if (!run.empty() && run.front() <= e - unit) {
      const int32_t x = run.front();
      const int32_t c = start[x] + s.header + unit;
      if (c < best) {
        best = c;
        from = x;
        how = BY_RUN;
      }
    }
    if (s.skip_max > 0 && e - origin >= MAX_SKIP && unchanged_from <= e - MAX_SKIP) {
      const int32_t c = cost[e - MAX_SKIP] + s.header;
      if (c < best) {
        best = c;
        from = e - MAX_SKIP;
        how = BY_SKIP;
      }
    }
    cost[e] = best;
    cost_from[e] = from;
    cost_kind[e] = how;
    starts.push(e, by_cost);
    starts.drop_before(std::max(e - s.skip_max, unchanged_from));
    begin_at(e);
    literals[parity].push(e, by_literal);
    runs[parity].push(e, by_run);
  }
  // The pixels right of the last packet are unchanged: no packet needs to reach the end.
  int32_t end = end_column;
  for (int32_t c = unchanged_from; c <= end_column; ++c)
    if (cost[c] < cost[end]) end = c;
  // A word delta cannot reach the last column of an odd width when no odd skip of
  // unchanged pixels turns its packets onto odd columns (the word that sets the last
  // pixel alone is left out: some readers put its pixel elsewhere).
  if (cost[end] >= UNREACHED) return -1;

  int32_t c = end;
  while (c > origin) {
    if (cost_kind[c] == BY_SKIP) {
      coder.packets.push_back({MAX_SKIP, c, 0, false});
      c -= MAX_SKIP;
      continue;
    }
    const int32_t x = cost_from[c];
    const int32_t back = start_from[x];
    if (back == FROM_OUTSIDE) {
      const int32_t skips = skipped_to(x);
      coder.packets.push_back({x - skips * MAX_SKIP, x, (c - x) / unit, cost_kind[c] == BY_RUN});
      for (int32_t k = 0; k < skips; ++k) coder.packets.push_back({MAX_SKIP, 0, 0, false});
      break;
    }
    coder.packets.push_back({x - back, x, (c - x) / unit, cost_kind[c] == BY_RUN});
    c = back;
  }
  std::reverse(coder.packets.begin(), coder.packets.end());
  const int64_t most = kind == RowKind::byte_delta   ? MAX_BYTE_DELTA_PACKETS
                       : kind == RowKind::word_delta ? MAX_WORD_DELTA_PACKETS
                                                     : INT32_MAX;
  if (static_cast<int64_t>(coder.packets.size()) > most) return -1;
  return cost[end];
}

void row_emit(const RowCoder& coder, RowKind kind, const uint8_t* next, std::vector<uint8_t>& out) {
  const Shape s = shape_of(kind);
  for (const RowCoder::Packet& p : coder.packets) {
    if (s.skip_max > 0) out.push_back(static_cast<uint8_t>(p.skip));
    const uint8_t* data = next + p.at;
    // The byte run counts a run as positive and a literal as negative; the deltas the
    // other way round.
    const bool run_positive = kind == RowKind::byte_run;
    if (p.run) {
      out.push_back(static_cast<uint8_t>(run_positive ? p.units : -p.units));
      out.insert(out.end(), data, data + s.unit);
    } else {
      out.push_back(static_cast<uint8_t>(run_positive ? -p.units : p.units));
      out.insert(out.end(), data, data + static_cast<ptrdiff_t>(p.units) * s.unit);
    }
  }
}

namespace {

constexpr uint32_t MAX_ROW_SKIP = 16384;  // rows one skip-rows word of the word delta passes
constexpr uint32_t WORD_RANGE = 0x10000;

void put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void patch16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

const uint8_t* row_of(const uint8_t* pixels, int32_t width, int32_t y) {
  return pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
}

bool same_row(const uint8_t* a, const uint8_t* b, int32_t width) { return std::equal(a, a + width, b); }

// Cuts out back to its size before a failed chunk.
bool give_up(std::vector<uint8_t>& out, size_t begin) {
  out.resize(begin);
  return false;
}

}  // namespace

bool encode_byte_run(RowCoder& coder, const uint8_t* pixels, int32_t width, int32_t height, size_t limit,
                     std::vector<uint8_t>& out) {
  const size_t begin = out.size();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = row_of(pixels, width, y);
    row_plan(coder, RowKind::byte_run, nullptr, row, width);
    // The count is read past by every decoder that knows the width; it holds the
    // packets up to 255.
    out.push_back(static_cast<uint8_t>(std::min<size_t>(coder.packets.size(), 255)));
    row_emit(coder, RowKind::byte_run, row, out);
    if (out.size() - begin > limit) return give_up(out, begin);
  }
  return true;
}

bool encode_byte_delta(RowCoder& coder, const uint8_t* prev, const uint8_t* next, int32_t width,
                       int32_t height, size_t limit, std::vector<uint8_t>& out) {
  const size_t begin = out.size();
  int32_t first = 0;
  while (first < height && same_row(row_of(prev, width, first), row_of(next, width, first), width)) ++first;
  int32_t last = height - 1;
  while (last > first && same_row(row_of(prev, width, last), row_of(next, width, last), width)) --last;
  if (first >= height) {  // no line changes
    put16(out, 0);
    put16(out, 0);
    return true;
  }
  put16(out, static_cast<uint32_t>(first));
  put16(out, static_cast<uint32_t>(last - first + 1));
  for (int32_t y = first; y <= last; ++y) {
    const uint8_t* p = row_of(prev, width, y);
    const uint8_t* n = row_of(next, width, y);
    if (same_row(p, n, width)) {
      out.push_back(0);
      continue;
    }
    if (row_plan(coder, RowKind::byte_delta, p, n, width) < 0) return give_up(out, begin);
    out.push_back(static_cast<uint8_t>(coder.packets.size()));
    row_emit(coder, RowKind::byte_delta, n, out);
    if (out.size() - begin > limit) return give_up(out, begin);
  }
  return true;
}

bool encode_word_delta(RowCoder& coder, const uint8_t* prev, const uint8_t* next, int32_t width,
                       int32_t height, size_t limit, std::vector<uint8_t>& out) {
  const size_t begin = out.size();
  put16(out, 0);  // lines with packets, patched below
  uint32_t lines = 0;
  uint32_t pending_skip = 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* p = row_of(prev, width, y);
    const uint8_t* n = row_of(next, width, y);
    if (same_row(p, n, width)) {
      ++pending_skip;
      continue;
    }
    if (row_plan(coder, RowKind::word_delta, p, n, width) < 0) return give_up(out, begin);
    while (pending_skip > 0) {
      const uint32_t rows = std::min(pending_skip, MAX_ROW_SKIP);
      put16(out, WORD_RANGE - rows);
      pending_skip -= rows;
    }
    put16(out, static_cast<uint32_t>(coder.packets.size()));
    row_emit(coder, RowKind::word_delta, n, out);
    ++lines;
    if (out.size() - begin > limit) return give_up(out, begin);
  }
  patch16(out, begin, lines);
  return true;
}
