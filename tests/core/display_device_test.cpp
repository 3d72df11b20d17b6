// Bringing the display device up and down.
#include "core_fixture.h"

namespace {

constexpr int32_t kRefused = -12345;

struct StepCase {
  const char* name;
  ScreenStep step;
  bool display, primary, clipper;  // which objects exist afterwards
};

class DisplaySteps : public Core, public ::testing::WithParamInterface<StepCase> {};

TEST_P(DisplaySteps, AFailingStepIsRecordedAndLeavesLaterObjectsUncreated) {
  const StepCase& c = GetParam();
  hl_fail_step(c.step, kRefused);
  start();
  EXPECT_EQ(gfx_state().last_display_result, kRefused);
  EXPECT_EQ(gfx_state().display_object != nullptr, c.display);
  EXPECT_EQ(gfx_state().primary_surface != nullptr, c.primary);
  EXPECT_EQ(gfx_state().clipper != nullptr, c.clipper);
  if (c.step == ScreenStep::display_create) {
    EXPECT_EQ(gfx_state().display_window, nullptr);
  }
  // Whatever failed, every slot is free and the drawing colour map is the identity.
  for (int s = 0; s < GFX_SLOT_COUNT; ++s) EXPECT_EQ(gfx_state().slot_surface[s], nullptr);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(gfx_state().drawing_colour_map[i], i);
  EXPECT_EQ(gfx_state().active_slot, GFX_NO_SLOT);
  // Tear-down releases exactly what was made: only the application's palette is left.
  gfx_finish();
  EXPECT_EQ(hl_live_objects(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Init, DisplaySteps,
    ::testing::Values(StepCase{"display_object", ScreenStep::display_create, false, false, false},
                      StepCase{"cooperative_level", ScreenStep::cooperative_level, true, false, false},
                      StepCase{"primary_surface", ScreenStep::primary_surface, true, false, false},
                      StepCase{"clipper", ScreenStep::clipper, true, true, false},
                      StepCase{"clipper_binding", ScreenStep::clipper_bind, true, true, true},
                      StepCase{"attach_clipper", ScreenStep::set_clipper, true, true, true}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(Core, InitConnectsTheDisplayToTheActiveWindow) {
  start();
  EXPECT_EQ(gfx_state().last_display_result, 0);
  EXPECT_EQ(gfx_state().display_window, hl_window());
  EXPECT_NE(gfx_state().clipper, nullptr);
  EXPECT_EQ(gfx_state().stream_size, GFX_STREAM_BUFFER_SIZE);
  EXPECT_EQ(gfx_state().stream_address, gfx_state().stream_buffer);
}

TEST_F(Core, FinishWithBuffersStillAllocatedFreesThemAndLaterFreesTouchNothing) {
  start();
  const int32_t a = open_buffer(64, 64);
  const int32_t b = vb_alloc(32, 32);
  gfx_finish();
  EXPECT_EQ(hl_live_objects(), 1);  // the palette, which belongs to the application
  vb_free(a);
  vb_free(b);
  gfx_finish();  // a second call only forgets the active slot
  EXPECT_EQ(gfx_state().active_slot, GFX_NO_SLOT);
  EXPECT_EQ(hl_live_objects(), 1);
}

TEST_F(Core, FixedFontLineHeightIsHeightPlusExternalLeading) {
  start();
  plat_text_metrics m{};
  plat_get_text_metrics(dc_, &m);
  EXPECT_EQ(gfx_state().text_metrics.line_height, m.height + m.external_leading);
  EXPECT_EQ(gfx_state().text_metrics.ave_char_width, m.ave_char_width);
  EXPECT_NE(gfx_state().text_metrics.font, nullptr);
}

TEST_F(Core, ColourDepthIsBitsTimesPlanes) {
  const struct {
    int32_t bits, planes;
    uint32_t depth;
  } cases[] = {{8, 1, 8}, {16, 1, 16}, {24, 1, 24}, {1, 4, 4}};
  dc_ = plat_get_dc(nullptr);
  gfx_set_dc(dc_);
  for (const auto& c : cases) {
    hl_set_depth(c.bits, c.planes);
    EXPECT_EQ(gfx_colour_depth(), c.depth) << c.bits << "x" << c.planes;
  }
}

TEST_F(Core, DrawingBeforeInitDoesNothing) {
  EXPECT_EQ(gfx_erase(), 0);
  EXPECT_EQ(vb_blit_scaled(0, 9, 0, 9, 0, 9, 0, 9), 0);
  EXPECT_EQ(hl_platform_calls(), 0);
}

}  // namespace
