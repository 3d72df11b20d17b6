// Plays a FLIC file through the installed library on the headless backend, shows the
// last frame in the window and prints how many frames it decoded and how many colours
// the window shows. Meanwhile a second thread decodes another file (or the same) in a
// context of its own, and must end with the last frame that file gives when decoded
// alone. Exit 0 when the file played, the window shows a picture and the threads agree.
#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "platform/gdi.h"
#include "platform/headless/headless.h"

namespace {

// Decodes every frame into a buffer of the current context: the frames decoded, and
// the last frame's pixels in pixels. -1 when the file cannot be played.
int32_t decode(const char* path, std::vector<uint8_t>& pixels, int32_t& slot, FlicContext& context) {
  uint8_t header[FLIC_HEADER_SIZE];
  int32_t width = 0, height = 0;
  if (flic_check_header(path, header) != 0) return -1;
  flic_size(header, &width, &height);
  slot = vb_alloc(width, height);
  if (slot < 0 || vb_open(slot) != 0) return -1;
  if (flic_open(path, &context) != 0) return -1;
  const int32_t frames = flic_play(&context, -1, GFX_FLAG_NO_PAUSE);
  flic_close(&context);
  if (vb_lock())
    pixels.assign(gfx_state().pixel_address, gfx_state().pixel_address + gfx_state().buffer_size);
  vb_unlock();
  return frames;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: play_sample FILE.flc [OTHER.flc]\n");
    return 2;
  }
  const char* other_file = argv[argc - 1];
  std::vector<uint8_t> other_pixels;
  int32_t other_frames = -1;
  std::thread other([&] {
    GfxContext* own = gfx_context_create();
    gfx_context_make_current(own);
    gfx_init();
    int32_t slot = -1;
    FlicContext context{};
    other_frames = decode(other_file, other_pixels, slot, context);
    gfx_context_destroy(own);  // frees its buffer too
  });

  gfx_set_dc(plat_get_dc(hl_window()));
  gfx_init();
  std::vector<uint8_t> pixels;
  int32_t slot = -1;
  FlicContext context{};
  const int32_t frames = decode(argv[1], pixels, slot, context);
  other.join();
  if (frames < 0) return 1;
  vb_blit_scaled(0, gfx_max_x(), 0, gfx_max_y(), 0, hl_client_width() - 1, 0, hl_client_height() - 1);
  const std::set<uint8_t> shown(hl_client_pixels().begin(), hl_client_pixels().end());
  vb_close();
  vb_free(slot);
  // The other file alone, in this thread's context.
  std::vector<uint8_t> alone_pixels;
  int32_t alone_slot = -1;
  FlicContext alone{};
  const int32_t alone_frames = decode(other_file, alone_pixels, alone_slot, alone);
  vb_close();
  vb_free(alone_slot);
  std::printf("%d frames of %d, %zu colours shown; the other thread: %d frames, %s last frame as alone\n",
              frames, context.frame_count, shown.size(), other_frames,
              other_pixels == alone_pixels ? "the same" : "another");
  gfx_finish();
  return frames >= context.frame_count && context.frame_count > 0 && shown.size() > 1 && other_frames > 0 &&
                 other_frames == alone_frames && other_pixels == alone_pixels
             ? 0
             : 1;
}
