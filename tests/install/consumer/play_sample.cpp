// Plays a FLIC file through the installed library on the headless backend, shows the
// last frame in the window and prints how many frames it decoded and how many colours
// the window shows. Exit 0 when the file played and the window shows a picture.
#include <cstdio>
#include <set>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "platform/gdi.h"
#include "platform/headless/headless.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: play_sample FILE.flc\n");
    return 2;
  }
  gfx_set_dc(plat_get_dc(hl_window()));
  gfx_init();
  uint8_t header[FLIC_HEADER_SIZE];
  int32_t width = 0, height = 0;
  if (flic_check_header(argv[1], header) != 0) return 1;
  flic_size(header, &width, &height);
  const int32_t slot = vb_alloc(width, height);
  if (slot < 0 || vb_open(slot) != 0) return 1;
  FlicContext context{};
  if (flic_open(argv[1], &context) != 0) return 1;
  const int32_t frames = flic_play(&context, -1, GFX_FLAG_NO_PAUSE);
  flic_close(&context);
  vb_blit_scaled(0, gfx_max_x(), 0, gfx_max_y(), 0, hl_client_width() - 1, 0, hl_client_height() - 1);
  const std::set<uint8_t> shown(hl_client_pixels().begin(), hl_client_pixels().end());
  std::printf("%d frames of %d, %zu colours shown\n", frames, context.frame_count, shown.size());
  vb_close();
  vb_free(slot);
  gfx_finish();
  return frames >= context.frame_count && context.frame_count > 0 && shown.size() > 1 ? 0 : 1;
}
