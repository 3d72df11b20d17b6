// The palette of a FLIC file made from true-colour frames: their own colours when
// all of them together have at most 256, else 256 chosen by libimagequant from every
// frame's colours, so that all frames share one palette and a pixel that does not
// change keeps its index.
#include <libimagequant.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/export/encode.h"

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
  bool reduced = false;  // more than 256 colours: libimagequant chooses
  size_t frames_counted = 0;
  liq_attr* attr = nullptr;
  liq_histogram* histogram = nullptr;
  liq_result* result = nullptr;
  uint8_t palette[256][3] = {};
  std::vector<uint8_t> rgba;  // one frame's pixels as libimagequant takes them
};

void ColourPlanDeleter::operator()(ColourPlan* plan) const {
  if (plan->result) liq_result_destroy(plan->result);
  if (plan->histogram) liq_histogram_destroy(plan->histogram);
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

// The frame's pixels as red, green, blue and alpha, for libimagequant.
liq_image* liq_frame(ColourPlan& plan, const Picture& frame) {
  const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
  plan.rgba.resize(4 * count);
  for (size_t i = 0; i < count; i++) {
    std::memcpy(&plan.rgba[4 * i], &frame.pixels[3 * i], 3);
    plan.rgba[4 * i + 3] = OPAQUE;
  }
  return liq_image_create_rgba(plan.attr, plan.rgba.data(), frame.width, frame.height, 0);
}

bool start_reduction(ColourPlan& plan) {
  plan.attr = liq_attr_create();
  if (!plan.attr) return false;
  liq_set_max_colors(plan.attr, static_cast<int>(MOST_COLOURS));
  if (plan.six_bit) liq_set_min_posterization(plan.attr, SIX_BIT_POSTERIZATION);
  plan.histogram = liq_histogram_create(plan.attr);
  if (!plan.histogram) return false;
  // The frames counted so far come in as their colours and pixel counts.
  std::vector<liq_histogram_entry> entries;
  for (size_t i = 0; i < plan.table.colours.size(); i++) {
    const uint32_t c = plan.table.colours[i];
    entries.push_back({{static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                        static_cast<unsigned char>(c), OPAQUE},
                       plan.table.counts[i]});
  }
  return entries.empty() || liq_histogram_add_colors(plan.histogram, plan.attr, entries.data(),
                                                     static_cast<int>(entries.size()), 0) == LIQ_OK;
}

bool add_to_histogram(ColourPlan& plan, const Picture& frame) {
  liq_image* image = liq_frame(plan, frame);
  if (!image) return false;
  const bool ok = liq_histogram_add_image(plan.histogram, plan.attr, image) == LIQ_OK;
  liq_image_destroy(image);
  return ok;
}

}  // namespace

void colour_plan_add(ColourPlan& plan, const Picture& frame) {
  const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
  if (!plan.reduced) {
    uint32_t last_key = EMPTY;
    int last = -1;
    for (size_t i = 0; i < count; i++) {
      const uint32_t key = key_of(&frame.pixels[3 * i], plan.mask);
      if (key != last_key) {
        last = plan.table.find_or_add(key);
        last_key = key;
      }
      if (last < 0) {
        // A 257th colour: the pixels of this frame counted so far are taken back, and
        // the frames before come into libimagequant's histogram as counted.
        for (size_t j = 0; j < i; j++)
          plan.table.counts[static_cast<size_t>(plan.table.find(key_of(&frame.pixels[3 * j], plan.mask)))]--;
        plan.reduced = true;
        if (!start_reduction(plan)) plan.histogram = nullptr;
        break;
      }
      plan.table.counts[static_cast<size_t>(last)]++;
    }
  }
  if (plan.reduced && plan.histogram) add_to_histogram(plan, frame);
  plan.frames_counted++;
}

bool colour_plan_finish(ColourPlan& plan, size_t& colours, std::string& error) {
  std::memset(plan.palette, 0, sizeof plan.palette);
  if (!plan.reduced) {
    colours = plan.table.colours.size();
    for (size_t i = 0; i < colours; i++)
      for (int c = 0; c < 3; c++)
        plan.palette[i][c] = static_cast<uint8_t>(plan.table.colours[i] >> (16 - 8 * c));
    return true;
  }
  colours = MOST_COLOURS + 1;
  if (!plan.histogram || liq_histogram_quantize(plan.histogram, plan.attr, &plan.result) != LIQ_OK) {
    error = "the colours could not be reduced to 256";
    return false;
  }
  liq_set_dithering_level(plan.result, plan.dither ? 1.0f : 0.0f);
  const liq_palette* palette = liq_get_palette(plan.result);
  for (unsigned i = 0; i < palette->count && i < MOST_COLOURS; i++) {
    plan.palette[i][0] = palette->entries[i].r;
    plan.palette[i][1] = palette->entries[i].g;
    plan.palette[i][2] = palette->entries[i].b;
  }
  return true;
}

bool colour_plan_reduces(const ColourPlan& plan) { return plan.reduced; }

bool colour_plan_map(ColourPlan& plan, Picture& frame, std::string& error) {
  const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
  std::vector<uint8_t> indices(count);
  if (!plan.reduced) {
    uint32_t last_key = EMPTY;
    int last = 0;
    for (size_t i = 0; i < count; i++) {
      const uint32_t key = key_of(&frame.pixels[3 * i], plan.mask);
      if (key != last_key) {
        last = plan.table.find(key);
        last_key = key;
      }
      if (last < 0) {  // a colour the first pass did not meet: the input changed meanwhile
        error = "its colours changed while it was being read";
        return false;
      }
      indices[i] = static_cast<uint8_t>(last);
    }
  } else {
    liq_image* image = liq_frame(plan, frame);
    const bool ok = image && liq_write_remapped_image(plan.result, image, indices.data(), count) == LIQ_OK;
    if (image) liq_image_destroy(image);
    if (!ok) {
      error = "its colours could not be reduced to 256";
      return false;
    }
  }
  frame.pixels.swap(indices);
  frame.channels = 1;
  std::memcpy(frame.palette, plan.palette, sizeof plan.palette);
  return true;
}
