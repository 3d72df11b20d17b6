// Timing harness of the viewer on the Qt window system (not a test):
//   viewer_timing FILE [WIDTH HEIGHT | full]
//   viewer_timing --write-steps FILE   (writes a 300-frame 640 x 480 FLC, every frame
//                                       changing most of its pixels, for the step times)
// Reports the time from entering main to the first frame painted, the cost per frame
// of decoding, and of decoding and presenting with the client area at WIDTH x HEIGHT
// (default 1280 x 960; full: the window in full screen), the time of the steps to the
// last frame and back, and whether Play keeps the file's speed, with the processor
// time it takes (with QT_QPA_PLATFORM=xcb under Xvfb, the X side of presenting too).
// Runs on whatever Qt platform is set (QT_QPA_PLATFORM=offscreen, or xcb under Xvfb).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "flic/flic_writer.h"
#include "gfx/gfx.h"
#include "platform/qt/qt_controls.h"
#include "platform/system.h"
#include "resources/commands.h"

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

// Diagonal bands of 200 colours that move by 3 pixels a frame: each frame's delta
// touches nearly every row and most of each row.
int write_steps_file(const char* path) {
  constexpr size_t W = 640, H = 480;
  constexpr int FRAMES = 300;
  uint8_t rgb[768];
  for (int i = 0; i < 256; ++i) {
    rgb[3 * i] = static_cast<uint8_t>(i);
    rgb[3 * i + 1] = static_cast<uint8_t>(255 - i);
    rgb[3 * i + 2] = static_cast<uint8_t>(i * 7);
  }
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, W, H, 40);
  std::vector<uint8_t> previous;
  for (int f = 0; f < FRAMES; ++f) {
    std::vector<uint8_t> pixels(static_cast<size_t>(W) * H);
    for (size_t y = 0; y < H; ++y)
      for (size_t x = 0; x < W; ++x)
        pixels[y * W + x] = static_cast<uint8_t>((x + y + 3 * static_cast<size_t>(f)) / 5 % 200);
    fw_begin_frame(w);
    if (f == 0) {
      fw_palette(w, FLIC_CHUNK_COLOUR_256, rgb);
      fw_byte_run(w, pixels.data());
    } else {
      fw_word_delta(w, previous.data(), pixels.data());
    }
    fw_end_frame(w);
    previous = pixels;
  }
  fw_finish(w);
  return fw_save(w, path) ? 0 : 1;
}

double cpu_seconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

void command(int32_t id) {
  win_send_message(app_state.window, WIN_MSG_COMMAND, static_cast<uintptr_t>(id), 0);
}

}  // namespace

int main(int argc, char** argv) {
  const auto t0 = std::chrono::steady_clock::now();
  if (argc == 3 && std::strcmp(argv[1], "--write-steps") == 0) return write_steps_file(argv[2]);
  if (argc < 2) {
    std::fprintf(stderr, "usage: viewer_timing FILE [WIDTH HEIGHT | full]\n");
    return 2;
  }
  const char* file = argv[1];
  const bool full = argc == 3 && std::strcmp(argv[2], "full") == 0;
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
    std::fprintf(stderr, "viewer_timing: %s was not shown%s%s\n", file,
                 qtw_message_boxes().empty() ? "" : ": ",
                 qtw_message_boxes().empty() ? "" : qtw_message_boxes().back().text.c_str());
    return 1;
  }

  if (full) {
    win_set_fullscreen(app_state.window, true);
    for (int i = 0; i < 50 && !win_is_fullscreen(app_state.window); ++i) qtw_process_events();
    plat_wait_until_us(plat_clock_us() + 300000);  // the window manager's resize
  } else {
    qtw_resize_client(width, height);
  }
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

  std::printf("decode %.2f ms/frame\n", decode_ms);

  // Steps: to the last frame from the first (no copies kept beyond frame 1 yet), then
  // back frame by frame, each shown in the window.
  command(CMD_RESET);
  flic_keyframes_reset(&app_state.keyframes, app_state.keyframes.interval);
  flic_seek(&app_state.context, &app_state.keyframes, 1);
  t = std::chrono::steady_clock::now();
  command(CMD_LAST);
  qtw_process_events();
  const double last_ms = ms_since(t);
  double worst_ms = 0, all_ms = 0;
  const int steps = app_state.frame_count - 1;
  for (int i = 0; i < steps; ++i) {
    t = std::chrono::steady_clock::now();
    command(CMD_BACK);
    qtw_process_events();
    const double ms = ms_since(t);
    worst_ms = std::max(worst_ms, ms);
    all_ms += ms;
  }
  std::printf(
      "steps: to the last of %d frames %.2f ms; back %d times: %.2f ms each, at most %.2f ms (a copy every "
      "%u frames)\n",
      static_cast<int>(app_state.frame_count), last_ms, steps, steps > 0 ? all_ms / steps : 0.0, worst_ms,
      app_state.keyframes.interval);

  // Play as fast as it goes (no pause): decoding and presenting every frame.
  t = std::chrono::steady_clock::now();
  flic_show(app_state.loaded_name, 1, GFX_FLAG_NO_PAUSE);
  double fast_ms = ms_since(t);
  std::printf("play without pause: %.2f ms/frame decoded and presented at %dx%d (%.1f frames/s)\n",
              fast_ms / records, qtw_client_width(), qtw_client_height(), records * 1000.0 / fast_ms);

  // Play at the file's speed, as the user's Play runs, and the processor time it takes.
  t = std::chrono::steady_clock::now();
  const double cpu_before = cpu_seconds();
  command(CMD_PLAY);
  const double cpu = cpu_seconds() - cpu_before;
  double play_ms = ms_since(t);
  double want_fps = app_state.context.frame_us > 0 ? 1e6 / app_state.context.frame_us : 0;
  std::printf(
      "play at file speed: %.0f ms for %d frames = %.2f frames/s (file: %.2f frames/s), "
      "processor %.4f s a second\n",
      play_ms, records, records * 1000.0 / play_ms, want_fps, cpu * 1000.0 / play_ms);

  qtw_trigger(4);
  qtw_dispatch_pending();
  app_run();
  win_shutdown();
  return 0;
}
