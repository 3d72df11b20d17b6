// The pool of virtual buffers.
#include <algorithm>

#include "core_fixture.h"

namespace {

TEST_F(Core, BufferWidthsRoundUpToAMultipleOfFour) {
  start();
  const struct {
    int32_t width, height, stored_width, max_x;
    uint32_t size;
  } cases[] = {{640, 480, 640, 639, 307200},
               {321, 200, 324, 323, 64800},
               {1, 1, 4, 3, 4},
               {146, 140, 148, 147, 20720}};
  for (const auto& c : cases) {
    const int32_t slot = open_buffer(c.width, c.height);
    EXPECT_EQ(gfx_state().active_width, c.stored_width);
    EXPECT_EQ(gfx_state().row_pitch, c.stored_width);
    EXPECT_EQ(gfx_state().clip_max_x, c.stored_width - 1);
    EXPECT_EQ(gfx_state().clip_max_y, c.height - 1);
    EXPECT_EQ(gfx_state().buffer_size, c.size);
    EXPECT_EQ(gfx_max_x(), c.max_x);
    EXPECT_EQ(gfx_max_y(), c.height - 1);
    vb_close();
    vb_free(slot);
  }
}

TEST_F(Core, NewBuffersStartBlack) {
  start();
  open_buffer(40, 30);
  ASSERT_TRUE(vb_lock());
  EXPECT_TRUE(std::all_of(gfx_state().pixel_address, gfx_state().pixel_address + gfx_state().buffer_size,
                          [](uint8_t v) { return v == 0; }));
  vb_unlock();
}

TEST_F(Core, SlotsAreHandedOutLowestFirstAndRunOut) {
  start();
  for (int32_t s = 0; s < GFX_SLOT_COUNT; ++s) ASSERT_EQ(vb_alloc(8, 8), s);
  EXPECT_EQ(vb_alloc(8, 8), -1);
  vb_free(0);
  EXPECT_EQ(vb_alloc(8, 8), 0);
}

TEST_F(Core, RefusedSizesGiveANegativeCodeAndLeaveTheSlotFree) {
  start();
  const struct {
    int32_t width, height;
  } cases[] = {{0, 10}, {10, 0}, {-4, 10}, {10, -1}, {65536, 65536}, {INT32_MAX, 1}};
  for (const auto& c : cases) {
    const int32_t r = vb_alloc(c.width, c.height);
    EXPECT_LT(r, 0) << c.width << "x" << c.height;
    EXPECT_EQ(gfx_state().last_display_result, r);
    EXPECT_EQ(gfx_state().slot_surface[0], nullptr);
  }
  EXPECT_EQ(vb_alloc(8, 8), 0);
}

TEST_F(Core, AllocationWithoutADisplayObjectFails) {
  hl_fail_step(ScreenStep::display_create, -7);
  start();
  EXPECT_LT(vb_alloc(64, 64), 0);
  EXPECT_EQ(gfx_state().slot_surface[0], nullptr);
  EXPECT_EQ(vb_open(0), -2);
}

TEST_F(Core, OpeningBadOrFreeSlotsKeepsTheActiveBuffer) {
  start();
  open_buffer(16, 16);
  const struct { int32_t slot, result; } cases[] = {{32, -1}, {-1, -1}, {INT32_MIN, -1}, {5, -2}};
  for (const auto& c : cases) {
    EXPECT_EQ(vb_open(c.slot), c.result) << c.slot;
    EXPECT_EQ(gfx_state().active_slot, 0);
  }
}

TEST_F(Core, TheActiveBufferIsNeverFreed) {
  start();
  open_buffer(16, 16);
  EXPECT_EQ(vb_free(0), 0);
  EXPECT_NE(gfx_state().slot_surface[0], nullptr);
  vb_close();
  EXPECT_EQ(gfx_max_x(), 15);  // still answers for the buffer last opened
  vb_free(0);
  EXPECT_EQ(gfx_state().slot_surface[0], nullptr);
  EXPECT_EQ(vb_free(0), 0);
  EXPECT_EQ(vb_free(40), 0);
}

TEST_F(Core, AFailedLockDoesNoPixelWork) {
  start();
  open_buffer(16, 16);
  hl_fail_step(ScreenStep::lock, -3);
  gfx_set_colour(25);
  EXPECT_EQ(gfx_erase(), 0);
  EXPECT_EQ(gfx_state().lock_count, 0);
  hl_fail_step(ScreenStep::lock, 0);
  ASSERT_TRUE(vb_lock());
  EXPECT_EQ(gfx_state().pixel_address[0], 0);
  vb_unlock();
}

TEST_F(Core, NestedLocksLockTheSurfaceOnce) {
  start();
  open_buffer(16, 16);
  ASSERT_TRUE(vb_lock());
  EXPECT_EQ(hl_locked_surfaces(), 1);
  const int64_t calls = hl_platform_calls();
  gfx_erase();
  EXPECT_EQ(hl_platform_calls(), calls);  // neither locked nor unlocked again
  EXPECT_EQ(gfx_state().lock_count, 1);
  vb_unlock();
  EXPECT_EQ(hl_locked_surfaces(), 0);
  EXPECT_EQ(gfx_state().lock_count, 0);
}

}  // namespace
