// The tests that compare with independent programs (ffmpeg, Pillow, ImageMagick) skip
// when one is missing on a developer's machine, and fail where MOXFLIC_REQUIRE_ORACLES
// is set (the test script sets it), so a run without them cannot pass there.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#define MOXFLIC_ORACLE_MISSING(what)                                                   \
  do {                                                                                 \
    if (std::getenv("MOXFLIC_REQUIRE_ORACLES") != nullptr) {                           \
      GTEST_FAIL() << (what) << ", and MOXFLIC_REQUIRE_ORACLES says it must be there"; \
    }                                                                                  \
    GTEST_SKIP() << (what);                                                            \
  } while (false)
