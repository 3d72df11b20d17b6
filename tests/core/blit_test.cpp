// The stretching copy into the window and the fill of the active buffer.
#include "core_fixture.h"

namespace {

// Draws a distinct value into every pixel: v(x, y) = (x + 3 * y) mod 251.
void draw_pattern() {
  ASSERT_TRUE(vb_lock());
  for (int32_t y = 0; y < gfx_state().active_height; ++y)
    for (int32_t x = 0; x < gfx_state().active_width; ++x)
      gfx_state().pixel_address[y * gfx_state().row_pitch + x] = static_cast<uint8_t>((x + 3 * y) % 251);
  vb_unlock();
}

uint8_t client(int32_t x, int32_t y) {
  return hl_client_pixels()[static_cast<size_t>(y * hl_client_width() + x)];
}

TEST_F(Core, BlitRectanglesAreExclusiveAndPlacedAtTheClientOrigin) {
  start();
  open_buffer(640, 480);
  const struct {
    int32_t ox, oy;
    plat_rect dest;
  } cases[] = {{0, 0, {0, 0, 640, 480}}, {100, 50, {100, 50, 740, 530}}};
  for (const auto& c : cases) {
    hl_set_client_origin(c.ox, c.oy);
    vb_blit_scaled(0, 639, 0, 479, 0, 639, 0, 479);
    const HlBlit& b = hl_blits().back();
    EXPECT_EQ(b.src.left, 0);
    EXPECT_EQ(b.src.right, 640);
    EXPECT_EQ(b.src.bottom, 480);
    EXPECT_EQ(b.dest.left, c.dest.left);
    EXPECT_EQ(b.dest.top, c.dest.top);
    EXPECT_EQ(b.dest.right, c.dest.right);
    EXPECT_EQ(b.dest.bottom, c.dest.bottom);
    EXPECT_EQ(b.result, 0);
  }
}

TEST_F(Core, StretchingDoublesThePicture) {
  start();
  open_buffer(320, 200);
  draw_pattern();
  vb_blit_scaled(0, 319, 0, 199, 0, 639, 0, 399);
  for (int32_t y : {0, 1, 2, 199 * 2, 399})
    for (int32_t x : {0, 1, 2, 3, 638, 639})
      EXPECT_EQ(client(x, y), (x / 2 + 3 * (y / 2)) % 251) << x << "," << y;
  EXPECT_EQ(client(0, 400), 0);  // below the destination nothing changed
}

TEST_F(Core, BlitWithoutAnActiveBufferMakesNoPlatformCall) {
  start();
  const int64_t calls = hl_platform_calls();
  EXPECT_EQ(vb_blit_scaled(0, 9, 0, 9, 0, 9, 0, 9), 0);
  EXPECT_EQ(hl_platform_calls(), calls);
}

TEST_F(Core, BlitWithoutAPrimarySurfaceDoesNothing) {
  hl_fail_step(ScreenStep::primary_surface, -9);
  start();
  ASSERT_EQ(vb_alloc(8, 8), 0);  // the display object exists
  vb_open(0);
  vb_blit_scaled(0, 7, 0, 7, 0, 7, 0, 7);
  EXPECT_TRUE(hl_blits().empty());
}

TEST_F(Core, ALostPrimaryIsRestoredAndTheCopyRepeated) {
  start();
  open_buffer(8, 8);
  const struct {
    int32_t lost;
    size_t tries;
    int32_t last;
  } cases[] = {{0, 1, 0},
               {1, 2, 0},
               {GFX_BLIT_RETRIES, GFX_BLIT_RETRIES + 1, 0},
               {1000, GFX_BLIT_RETRIES + 1, PLAT_ERR_SURFACE_LOST}};  // never restorable: gives up
  for (const auto& c : cases) {
    const size_t before = hl_blits().size();
    hl_lose_primary(c.lost);
    vb_blit_scaled(0, 7, 0, 7, 0, 7, 0, 7);
    EXPECT_EQ(hl_blits().size() - before, c.tries) << c.lost;
    EXPECT_EQ(hl_blits().back().result, c.last);
    hl_lose_primary(0);
  }
}

TEST_F(Core, EraseFillsEveryColumnWithTheDrawingColour) {
  start();
  gfx_set_colour(25);
  open_buffer(321, 200);
  EXPECT_EQ(gfx_erase(), 0);
  ASSERT_TRUE(vb_lock());
  EXPECT_EQ(gfx_state().fill_word, 0x19191919u);
  for (uint32_t i = 0; i < gfx_state().buffer_size; ++i) ASSERT_EQ(gfx_state().pixel_address[i], 25) << i;
  EXPECT_EQ(gfx_state().buffer_size, 64800u);
  vb_unlock();
}

}  // namespace
