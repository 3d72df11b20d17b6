// The vector instructions of the library's inner loops: the palette reduction, the
// colour-map translation and the delta packets. One level is chosen for all of them,
// once, when the program starts: the best this processor has, or the one the
// environment variable MOXFLIC_SIMD names (portable, avx2 or native); a level the
// processor lacks gives way to the best it has, and gfx_vector_code() says so.
// Internal to the library and its tests.
#pragma once

#include <cstdint>

enum class GfxVector : uint8_t {
  portable,  // what every processor of the build's kind runs (on x86-64: up to SSE2)
  avx2,      // AVX2 with FMA and BMI2
  avx512,    // AVX-512 with byte permutes (VBMI) and dot products (VNNI), and BMI2
};
constexpr GfxVector GFX_VECTOR_LEVELS[] = {GfxVector::portable, GfxVector::avx2, GfxVector::avx512};

// The level chosen at start.
GfxVector gfx_vector();
// True when this build has the level's code and this processor runs it.
bool gfx_vector_runs(GfxVector level);
// "portable", "avx2" or "avx512".
const char* gfx_vector_name(GfxVector level);
// Puts the level's forms of every routine in use (the level must run here): how the
// tests try each form in turn, and go back with gfx_use_vector(gfx_vector()).
void gfx_use_vector(GfxVector level);
