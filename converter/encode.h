// Making FLIC files from PNG frames or an animated GIF: what the parts of the encoder
// share (make_flic.cpp runs them).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "converter/export.h"

// Called with every frame in order and its delay in 1/100 s (-1: the input gives none);
// false, with error set, stops the reading.
using FrameVisitor = std::function<bool(const Picture& frame, int delay_cs, std::string& error)>;

// --- PNG frames (png_read.cpp) ---------------------------------------------------------
struct PngFacts {
  int32_t width;
  int32_t height;
  bool indexed;    // read as palette indices: a palette picture, or grey of at most 8 bits
  int grey_depth;  // bits of a grey picture (0: not grey)
};
// The header alone: false with the reason when the file cannot be read as a PNG file
// or is larger than a FLIC frame can be.
bool png_read_facts(const std::string& name, PngFacts& facts, std::string& error);
// The whole picture: indices and colours (channels 1) when facts.indexed, else red,
// green and blue (channels 3) with any alpha laid over black.
bool png_read(const std::string& name, PngFacts& facts, Picture& picture, std::string& error);

// --- Animated GIF (gif_read.cpp) ----------------------------------------------------------
bool gif_read_screen(const std::string& name, int32_t& width, int32_t& height, std::string& error);
// Every image drawn as a viewer shows it, as a whole picture in red, green and blue.
bool gif_read_frames(const std::string& name, const FrameVisitor& each, std::string& error);

// --- Colours (encode_colours.cpp) ------------------------------------------------------
// Frames in red, green and blue become palette indices: with their own colours when
// all the frames together have at most 256 (for an FLI file, 256 of 64 levels a
// component), else with 256 colours that libimagequant chooses for them all.
struct ColourPlan;
struct ColourPlanDeleter {
  void operator()(ColourPlan* plan) const;
};
using ColourPlanPtr = std::unique_ptr<ColourPlan, ColourPlanDeleter>;
// A plan for frames of an FLI file (64 levels) or not; dither when colours are reduced.
ColourPlanPtr colour_plan_new(bool six_bit, bool dither);
// Takes in one frame's colours (first pass, every frame).
void colour_plan_add(ColourPlan& plan, const Picture& frame);
// Chooses the palette once every frame was added; false with the reason when the
// reduction failed. The number of colours the frames had (at least 257 when reduced).
bool colour_plan_finish(ColourPlan& plan, size_t& colours, std::string& error);
// Whether the colours are reduced (not every colour kept).
bool colour_plan_reduces(const ColourPlan& plan);
// One frame as indices into the plan's palette (second pass): its pixels and palette
// replaced.
bool colour_plan_map(ColourPlan& plan, Picture& frame, std::string& error);

// --- Timing (make_flic.cpp) ---------------------------------------------------------------
// How long the frames last: the header's speed (1/70 s for FLI, ms for FLC) and, for
// each input frame, how many frame records show it (1, or more for a GIF frame whose
// delay is a multiple of the speed).
struct FlicTiming {
  uint32_t speed;
  std::vector<uint32_t> records;  // by input frame; empty: one record each
  bool approximate;               // delays that are no multiple of one speed were rounded
};
// From the frames' delays in 1/100 s, for an FLI file (units of 1/70 s) or an FLC (ms).
FlicTiming timing_from_delays(const std::vector<int>& delays_cs, bool fli);
