// Frame skipping and looped playback in the display window.
#include <unistd.h>

#include <algorithm>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "platform/system.h"

namespace {

constexpr int32_t FLIC_ESCAPE_SCAN_CODE = 1;
constexpr uint32_t FLIC_RECORD_SIZE_BYTES = 4;

uint32_t read_record_size(int32_t fd, bool& ok) {
  uint8_t* header = gfx_header_buffer();
  ok = gfx_read_fully(fd, header, FLIC_RECORD_SIZE_BYTES) == FLIC_RECORD_SIZE_BYTES;
  return gfx_le32(header);
}

}  // namespace

// A record whose size is below its own size field cannot be passed over: the skip
// stops in front of it and returns the records passed so far.
int32_t flic_skip(FlicContext* context, int32_t n) {
  gfx_state().io_handle = context->handle;
  if (n < 0) {
    context->next_offset = FLIC_FIRST_FRAME_OFFSET;
    context->report = FlicReport{};
    if (context->resident == 0)
      context->lost = lseek(context->handle, FLIC_FIRST_FRAME_OFFSET, SEEK_SET) < 0 ? 1 : 0;
    return 0;
  }
  if (context->lost != 0) return 0;
  for (int32_t passed = 0; passed < n; ++passed) {
    bool ok = false;
    const uint32_t size = read_record_size(context->handle, ok);
    if (!ok) return passed;
    const off_t move = size < FLIC_RECORD_SIZE_BYTES ? -static_cast<off_t>(FLIC_RECORD_SIZE_BYTES)
                                                     : static_cast<off_t>(size - FLIC_RECORD_SIZE_BYTES);
    if (lseek(context->handle, move, SEEK_CUR) < 0) {
      context->lost = 1;
      return passed;
    }
    if (size < FLIC_RECORD_SIZE_BYTES) return passed;
  }
  return n;
}

int32_t flic_survey(const char* file_name, FlicContext* context, uint32_t* tally) {
  const int32_t opened = flic_open(file_name, context);
  if (opened != 0) return opened;
  context->chunk_tally = tally;
  flic_play(context, -1, GFX_FLAG_SURVEY);
  context->chunk_tally = nullptr;
  flic_close(context);
  return 0;
}

// Every pass after the first starts at the second record (rewind, skip one). Loops
// of 0 or less play until Escape; they also end when a pass after a rewind yields no
// frame at all, since every later pass would yield none either. Escape is asked
// after every frame shown and at the end of every pass.
int32_t flic_show(const char* file_name, int32_t loops, uint32_t flags) {
  FlicContext context{};
  const int32_t opened = flic_open(file_name, &context);
  if (opened != 0) return opened;

  // Each frame is shown from the buffer's top-left corner to the frame's bottom-right
  // one: not the spare columns of a buffer rounded up to a multiple of 4.
  int64_t right = context.width;
  int64_t bottom = context.height;
  if (flags & GFX_FLAG_AT_POSITION) {
    right += gfx_state().draw_x;
    bottom += gfx_state().draw_y;
  }
  const auto max_x = static_cast<int32_t>(std::min<int64_t>(gfx_max_x(), right - 1));
  const auto max_y = static_cast<int32_t>(std::min<int64_t>(gfx_max_y(), bottom - 1));

  const bool until_escape = loops <= 0;
  bool rewound = false;
  int64_t shown_in_pass = 0;
  for (;;) {
    if (flic_play(&context, 1, flags) != 0) {
      // The window may have been resized since the last frame: each frame fills the
      // client area as it is now.
      plat_rect client{};
      plat_get_client_rect(plat_get_active_window(), &client);
      vb_blit_scaled(0, max_x, 0, max_y, 0, client.right - 1, 0, client.bottom - 1);
      ++shown_in_pass;
      if (gfx_key_down(FLIC_ESCAPE_SCAN_CODE) == 1) break;
      continue;
    }
    if (gfx_key_down(FLIC_ESCAPE_SCAN_CODE) == 1) break;
    if (until_escape) {
      if (rewound && shown_in_pass == 0) break;
    } else if (--loops == 0) {
      break;
    }
    flic_skip(&context, -1);
    if (context.lost != 0) break;  // a file that cannot be rewound plays once
    flic_skip(&context, 1);
    rewound = true;
    shown_in_pass = 0;
  }
  flic_close(&context);
  return 0;
}
