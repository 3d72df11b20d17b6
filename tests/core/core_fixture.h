// A fresh library and headless screen for every test.
#pragma once

#include <gtest/gtest.h>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "platform/headless/controls.h"

class Core : public ::testing::Test {
 protected:
  void SetUp() override {
    hl_reset();
    gfx_load_state();
  }
  // The window-creation order of the viewer, then gfx_init.
  void start() {
    dc_ = plat_get_dc(hl_window());
    gfx_set_dc(dc_);
    palette_ = gfx_default_palette();
    gfx_realize_palette(palette_);
    gfx_init();
  }
  // A buffer of this size, opened.
  int32_t open_buffer(int32_t width, int32_t height) {
    const int32_t slot = vb_alloc(width, height);
    EXPECT_GE(slot, 0);
    EXPECT_EQ(vb_open(slot), 0);
    return slot;
  }
  void TearDown() override { EXPECT_EQ(hl_dead_handle_uses(), 0) << "a released or unknown object was used"; }

  plat_dc dc_ = nullptr;
  plat_palette palette_ = nullptr;
};
