// The palette of a FLIC file made from true-colour frames: their own colours when
// all of them together have at most 256, else 256 chosen by libimagequant from every
// frame's colours, so that all frames share one palette and a pixel that does not
// change keeps its index.
#include <dlfcn.h>
#include <libimagequant.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "converter/encode.h"

namespace {

constexpr size_t MOST_COLOURS = 256;
constexpr size_t TABLE_SLOTS = 1024;  // a quarter full at most
constexpr uint32_t EMPTY = 0xFFFFFFFF;
constexpr uint32_t SIX_BIT_MASK = 0xFCFCFC;  // the bits an FLI file keeps of each component
constexpr int SIX_BIT_POSTERIZATION = 2;
constexpr unsigned OPAQUE = 255;

// The distinct colours met, in order, with the pixels of each, in an open-addressed
// table: up to 256 colours.
struct ColourTable {
  uint32_t keys[TABLE_SLOTS];
  uint16_t index[TABLE_SLOTS];
  std::vector<uint32_t> colours;  // in the order they were met
  std::vector<uint32_t> counts;
  ColourTable() { std::memset(keys, 0xFF, sizeof keys); }
  static size_t slot_of(uint32_t key) { return (key * 2654435761u) >> 22; }
  // The colour's index, or -1 when it is new and the table holds 256 already.
  int find_or_add(uint32_t key) {
    size_t s = slot_of(key);
    while (keys[s] != EMPTY) {
      if (keys[s] == key) return index[s];
      s = (s + 1) % TABLE_SLOTS;
    }
    if (colours.size() >= MOST_COLOURS) return -1;
    keys[s] = key;
    index[s] = static_cast<uint16_t>(colours.size());
    colours.push_back(key);
    counts.push_back(0);
    return index[s];
  }
  int find(uint32_t key) const {
    size_t s = slot_of(key);
    while (keys[s] != EMPTY) {
      if (keys[s] == key) return index[s];
      s = (s + 1) % TABLE_SLOTS;
    }
    return -1;
  }
};

uint32_t key_of(const uint8_t* rgb, uint32_t mask) {
  return (uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2]) & mask;
}

}  // namespace

struct ColourPlan {
  bool six_bit = false;
  bool dither = false;
  uint32_t mask = 0xFFFFFF;
  ColourTable table;
  bool reduced = false;                           // more than 256 colours: libimagequant chooses
  std::unordered_map<uint32_t, uint32_t> counts;  // reduced: pixels of each colour
  liq_attr* attr = nullptr;
  liq_result* result = nullptr;
  uint8_t palette[256][3] = {};
  int palette_size = 0;
  std::unordered_map<uint32_t, uint8_t> nearest;  // reduced: the entry each colour met is given
  std::vector<uint8_t> before;                    // the frame before, as it came in
  std::vector<uint8_t> before_indices;            // and as indices (second pass)
  std::vector<uint8_t> rgba;                      // one frame as libimagequant takes it
};

void ColourPlanDeleter::operator()(ColourPlan* plan) const {
  if (plan->result) liq_result_destroy(plan->result);
  if (plan->attr) liq_attr_destroy(plan->attr);
  delete plan;
}

ColourPlanPtr colour_plan_new(bool six_bit, bool dither) {
  ColourPlanPtr plan(new ColourPlan);
  plan->six_bit = six_bit;
  plan->dither = dither;
  plan->mask = six_bit ? SIX_BIT_MASK : 0xFFFFFF;
  return plan;
}

namespace {

// libimagequant runs its loops on OpenMP threads, which wait for work by spinning: on
// a busy machine they take the processor from each other and the reduction runs
// slower than on one thread, and its result may depend on their timing. One thread
// it is, when the OpenMP run-time is there to be told.
void one_thread() {
  using SetThreads = void (*)(int);
  if (void* set = dlsym(RTLD_DEFAULT, "omp_set_num_threads")) reinterpret_cast<SetThreads>(set)(1);
}

// Whether pixel i differs from the frame before (every pixel of the first frame does).
bool changed(const ColourPlan& plan, const Picture& frame, size_t i) {
  return plan.before.size() != frame.pixels.size() ||
         std::memcmp(&plan.before[3 * i], &frame.pixels[3 * i], 3) != 0;
}

// The 257th colour: the colours counted so far go over to the reduction's counts.
void start_reduction(ColourPlan& plan) {
  plan.reduced = true;
  for (size_t i = 0; i < plan.table.colours.size(); i++)
    plan.counts[plan.table.colours[i]] += plan.table.counts[i];
}

// The palette entry nearest a colour (by the sum of squared differences).
uint8_t nearest_entry(const ColourPlan& plan, uint32_t key) {
  const int r = static_cast<int>(key >> 16 & 0xFF), g = static_cast<int>(key >> 8 & 0xFF),
            b = static_cast<int>(key & 0xFF);
  int best = 0, best_distance = INT32_MAX;
  for (int k = 0; k < plan.palette_size; k++) {
    const int dr = r - plan.palette[k][0], dg = g - plan.palette[k][1], db = b - plan.palette[k][2];
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = k;
    }
  }
  return static_cast<uint8_t>(best);
}

}  // namespace

void colour_plan_add(ColourPlan& plan, const Picture& frame) {
  // The colours of the first frame and of the pixels that change after it: a colour
  // that stays where it was is counted once, so a still background weighs as much as
  // once shown, and every colour of the animation is met.
  const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
  uint32_t last_key = EMPTY;
  int last = -1;
  for (size_t i = 0; i < count; i++) {
    if (!changed(plan, frame, i)) continue;
    const uint32_t key = key_of(&frame.pixels[3 * i], plan.mask);
    if (plan.reduced) {
      plan.counts[key]++;
      continue;
    }
    if (key != last_key) {
      last = plan.table.find_or_add(key);
      last_key = key;
    }
    if (last < 0) {
      start_reduction(plan);
      plan.counts[key]++;
      continue;
    }
    plan.table.counts[static_cast<size_t>(last)]++;
  }
  plan.before = frame.pixels;
}

bool colour_plan_finish(ColourPlan& plan, size_t& colours, std::string& error) {
  std::memset(plan.palette, 0, sizeof plan.palette);
  plan.before.clear();
  if (!plan.reduced) {
    colours = plan.table.colours.size();
    for (size_t i = 0; i < colours; i++)
      for (int c = 0; c < 3; c++)
        plan.palette[i][c] = static_cast<uint8_t>(plan.table.colours[i] >> (16 - 8 * c));
    return true;
  }
  colours = plan.counts.size();
  one_thread();
  plan.attr = liq_attr_create();
  liq_histogram* histogram = plan.attr ? liq_histogram_create(plan.attr) : nullptr;
  std::vector<liq_histogram_entry> entries;
  entries.reserve(plan.counts.size());
  for (const auto& [key, pixels] : plan.counts)
    entries.push_back({{static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 8),
                        static_cast<unsigned char>(key), OPAQUE},
                       pixels});
  plan.counts = {};
  bool ok = histogram != nullptr;
  if (ok) {
    liq_set_max_colors(plan.attr, static_cast<int>(MOST_COLOURS));
    if (plan.six_bit) liq_set_min_posterization(plan.attr, SIX_BIT_POSTERIZATION);
    // Entries are taken in the order given, so that the palette depends on the colours
    // alone, not on the order a hash table holds them in.
    std::sort(entries.begin(), entries.end(), [](const liq_histogram_entry& a, const liq_histogram_entry& b) {
      return std::memcmp(&a.color, &b.color, sizeof a.color) < 0;
    });
    ok = liq_histogram_add_colors(histogram, plan.attr, entries.data(), static_cast<int>(entries.size()),
                                  0) == LIQ_OK &&
         liq_histogram_quantize(histogram, plan.attr, &plan.result) == LIQ_OK;
  }
  if (histogram) liq_histogram_destroy(histogram);
  if (!ok) {
    error = "the colours could not be reduced to 256";
    return false;
  }
  liq_set_dithering_level(plan.result, plan.dither ? 1.0f : 0.0f);
  const liq_palette* palette = liq_get_palette(plan.result);
  plan.palette_size = static_cast<int>(std::min<unsigned>(palette->count, MOST_COLOURS));
  for (int i = 0; i < plan.palette_size; i++) {
    plan.palette[i][0] = palette->entries[i].r;
    plan.palette[i][1] = palette->entries[i].g;
    plan.palette[i][2] = palette->entries[i].b;
  }
  return true;
}

bool colour_plan_reduces(const ColourPlan& plan) { return plan.reduced; }

namespace {

// Dithered: libimagequant maps the rectangle of pixels that changed since the frame
// before (the whole first frame), spreading each pixel's error, and the pixels that did
// not change keep their index, so that what stands still does not shimmer and costs
// nothing in the file.
bool map_dithered(ColourPlan& plan, const Picture& frame, std::vector<uint8_t>& indices) {
  const size_t width = static_cast<size_t>(frame.width), height = static_cast<size_t>(frame.height);
  const bool have_before = plan.before.size() == frame.pixels.size();
  size_t left = 0, top = 0, right = width, bottom = height;
  if (have_before) {
    left = width;
    top = height;
    right = bottom = 0;
    for (size_t y = 0; y < height; y++)
      for (size_t x = 0; x < width; x++)
        if (std::memcmp(&plan.before[3 * (y * width + x)], &frame.pixels[3 * (y * width + x)], 3) != 0) {
          left = std::min(left, x);
          right = std::max(right, x + 1);
          top = std::min(top, y);
          bottom = std::max(bottom, y + 1);
        }
    indices = plan.before_indices;
    if (right == 0) return true;  // nothing changed
  }
  const size_t columns = right - left, rows = bottom - top;
  plan.rgba.resize(4 * columns * rows);
  for (size_t y = 0; y < rows; y++)
    for (size_t x = 0; x < columns; x++) {
      std::memcpy(&plan.rgba[4 * (y * columns + x)], &frame.pixels[3 * ((top + y) * width + left + x)], 3);
      plan.rgba[4 * (y * columns + x) + 3] = OPAQUE;
    }
  std::vector<uint8_t> part(columns * rows);
  liq_image* image = liq_image_create_rgba(plan.attr, plan.rgba.data(), static_cast<int>(columns),
                                           static_cast<int>(rows), 0);
  const bool ok = image && liq_write_remapped_image(plan.result, image, part.data(), part.size()) == LIQ_OK;
  if (image) liq_image_destroy(image);
  for (size_t y = 0; ok && y < rows; y++)
    for (size_t x = 0; x < columns; x++) {
      const size_t i = (top + y) * width + left + x;
      if (!have_before || std::memcmp(&plan.before[3 * i], &frame.pixels[3 * i], 3) != 0)
        indices[i] = part[y * columns + x];
    }
  return ok;
}

}  // namespace

bool colour_plan_map(ColourPlan& plan, Picture& frame, std::string& error) {
  const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
  std::vector<uint8_t> indices(count);
  if (plan.reduced && plan.dither) {
    if (!map_dithered(plan, frame, indices)) {
      error = "its colours could not be reduced to 256";
      return false;
    }
  } else {
    // A pixel that did not change keeps its index; a colour is looked up once.
    const bool have_before = plan.before.size() == frame.pixels.size();
    uint32_t last_key = EMPTY;
    int last = 0;
    for (size_t i = 0; i < count; i++) {
      if (have_before && std::memcmp(&plan.before[3 * i], &frame.pixels[3 * i], 3) == 0) {
        indices[i] = plan.before_indices[i];
        continue;
      }
      const uint32_t key = key_of(&frame.pixels[3 * i], plan.mask);
      if (key != last_key) {
        last_key = key;
        if (!plan.reduced) {
          last = plan.table.find(key);
        } else {
          const auto found = plan.nearest.find(key);
          last = found != plan.nearest.end() ? found->second : (plan.nearest[key] = nearest_entry(plan, key));
        }
      }
      if (last < 0) {  // a colour the first pass did not meet: the input changed meanwhile
        error = "its colours changed while it was being read";
        return false;
      }
      indices[i] = static_cast<uint8_t>(last);
    }
  }
  plan.before = frame.pixels;
  plan.before_indices = indices;
  frame.pixels.swap(indices);
  frame.channels = 1;
  std::memcpy(frame.palette, plan.palette, sizeof plan.palette);
  return true;
}
