// The one choice of vector code (vector_code.h): the processor's features are read
// once, and the environment may ask for less.
#include "gfx/vector_code.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "flic/decoder.h"
#include "gfx/gfx.h"
#include "palette/reduction.h"

namespace {

bool runs(GfxVector level) {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  const bool avx2 =
      __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2");
  switch (level) {
    case GfxVector::portable:
      return true;
    case GfxVector::avx2:
      return avx2;
    case GfxVector::avx512:
      return avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
             __builtin_cpu_supports("avx512vnni");
  }
  return false;
#else
  return level == GfxVector::portable;
#endif
}

GfxVector best_here() {
  GfxVector best = GfxVector::portable;
  for (GfxVector level : GFX_VECTOR_LEVELS)
    if (runs(level)) best = level;
  return best;
}

struct Choice {
  GfxVector level;
  std::string text;  // as gfx_vector_code() gives it
};

Choice choose() {
  const GfxVector best = best_here();
  const char* asked = std::getenv("MOXFLIC_SIMD");
  if (asked == nullptr || std::strcmp(asked, "native") == 0) return {best, gfx_vector_name(best)};
  const std::string name = gfx_vector_name(best);
  if (std::strcmp(asked, "portable") == 0)
    return {GfxVector::portable,
            std::string("portable (MOXFLIC_SIMD=portable; this processor has ") + name + ")"};
  if (std::strcmp(asked, "avx2") == 0) {
    if (runs(GfxVector::avx2))
      return {GfxVector::avx2, std::string("avx2 (MOXFLIC_SIMD=avx2; this processor has ") + name + ")"};
    return {best, name + " (MOXFLIC_SIMD=avx2, which this processor lacks)"};
  }
  return {best, name + " (MOXFLIC_SIMD=" + asked + " is not a level: portable, avx2 or native)"};
}

const Choice& choice() {
  static const Choice chosen = choose();
  return chosen;
}

}  // namespace

GfxVector gfx_vector() { return choice().level; }

bool gfx_vector_runs(GfxVector level) { return runs(level); }

const char* gfx_vector_name(GfxVector level) {
  switch (level) {
    case GfxVector::portable:
      return "portable";
    case GfxVector::avx2:
      return "avx2";
    case GfxVector::avx512:
      return "avx512";
  }
  return "?";
}

void gfx_use_vector(GfxVector level) {
  fdec_translate_run = fdec_translate_form(level);
  fdec_translate_pairs = fdec_translate_pairs_form(level);
  fdec_byte_delta_packets = fdec_byte_delta_form(level);
  fdec_word_delta_packets = fdec_word_delta_form(level);
  fdec_delta_row_copy = fdec_delta_copies_row(level);
  pal_reduction_kernels = pal_reduction_form(level);
}

const char* gfx_vector_code() { return choice().text.c_str(); }
