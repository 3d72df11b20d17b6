// Timing harness of the viewer on the Qt window system (not a test):
//   viewer_timing FILE [WIDTH HEIGHT]
// Reports the time from entering main to the first frame painted, the cost per frame
// of decoding and of presenting with the client area at WIDTH x HEIGHT (default
// 1280 x 960), and whether Play keeps the file's speed.
// Runs on whatever Qt platform is set (QT_QPA_PLATFORM=offscreen, or xcb under Xvfb).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "gfx/gfx.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_internal.h"
#include "platform/system.h"

namespace {

double ms_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Records in the file after the header: frames and the ring frame.
int count_records() {
  flic_skip(&app_state.context, -1);
  int records = flic_skip(&app_state.context, 1 << 20);
  flic_skip(&app_state.context, -1);
  return records;
}

}  // namespace

int main(int argc, char** argv) {
  const auto t0 = std::chrono::steady_clock::now();
  if (argc < 2) {
    std::fprintf(stderr, "usage: viewer_timing FILE [WIDTH HEIGHT]\n");
    return 2;
  }
  const char* file = argv[1];
  int width = argc >= 4 ? std::atoi(argv[2]) : 1280;
  int height = argc >= 4 ? std::atoi(argv[3]) : 960;
  int qt_argc = 1;
  if (win_startup(&qt_argc, argv) != 1) {
    std::fprintf(stderr, "viewer_timing: no display\n");
    return 1;
  }
  qtw_record_message_boxes(true);
  app_reset();
  app_start({file}, WIN_SW_SHOWDEFAULT);
  qtw_dispatch_pending();
  std::printf("start to first frame painted: %.1f ms (from main)\n", ms_since(t0));
  if (!app_state.flic_shown) {
    std::fprintf(stderr, "viewer_timing: %s was not shown\n", file);
    return 1;
  }

  qtw_resize_client(width, height);
  qtw_dispatch_pending();
  const int records = count_records();
  const int cw = qtw_client_width();
  const int ch = qtw_client_height();
  std::printf("file %dx%d, %d records, delay %u us; client %dx%d\n", app_state.image_width,
              app_state.image_height, records, app_state.context.frame_us, cw, ch);

  // Decoding alone: every record, no pause, nothing presented.
  constexpr int PASSES = 3;
  auto t = std::chrono::steady_clock::now();
  int decoded = 0;
  for (int pass = 0; pass < PASSES; ++pass) {
    flic_skip(&app_state.context, -1);
    while (flic_play(&app_state.context, 1, GFX_FLAG_NO_PAUSE) == 1) ++decoded;
  }
  double decode_ms = ms_since(t) / decoded;

  // Presenting alone: the stretch into the client area, the colour conversion and the paint.
  constexpr int PRESENTS = 100;
  t = std::chrono::steady_clock::now();
  for (int i = 0; i < PRESENTS; ++i) {
    app_show_picture();
    qtw_process_events();
  }
  double present_ms = ms_since(t) / PRESENTS;
  t = std::chrono::steady_clock::now();
  for (int i = 0; i < PRESENTS; ++i) app_show_picture();
  double copy_ms = ms_since(t) / PRESENTS;
  t = std::chrono::steady_clock::now();
  for (int i = 0; i < PRESENTS; ++i) qt_backend.palette_changed();  // the whole picture converted again
  double convert_ms = ms_since(t) / PRESENTS;
  std::printf(
      "decode %.2f ms/frame, present %.2f ms/frame at %dx%d (stretch %.2f, colour conversion %.2f, paint "
      "%.2f)\n",
      decode_ms, present_ms, cw, ch, copy_ms - convert_ms, convert_ms, present_ms - copy_ms);

  // Play as fast as it goes (no pause) and at the file's speed, as "&Play" does.
  t = std::chrono::steady_clock::now();
  flic_show(app_state.loaded_name, 1, GFX_FLAG_NO_PAUSE);
  double fast_ms = ms_since(t);
  std::printf("play without pause: %.2f ms/frame decoded and presented (%.1f frames/s)\n", fast_ms / records,
              records * 1000.0 / fast_ms);
  t = std::chrono::steady_clock::now();
  flic_show(app_state.loaded_name, 1, 0);
  double play_ms = ms_since(t);
  double want_fps = app_state.context.frame_us > 0 ? 1e6 / app_state.context.frame_us : 0;
  std::printf("play at file speed: %.0f ms for %d frames = %.2f frames/s (file: %.2f frames/s)\n", play_ms,
              records, records * 1000.0 / play_ms, want_fps);

  qtw_trigger(4);
  qtw_dispatch_pending();
  app_run();
  win_shutdown();
  return 0;
}
