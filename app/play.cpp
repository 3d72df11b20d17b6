// Play: the frames one after another, each at its due time, from the first frame.
// While it waits for the next frame the window answers: paints and the like are
// handled, Space pauses (and goes on from the frame on show), Escape ends Play, and
// every other command of the user ends Play after the frame on show and is then run
// by the message loop. The context is left at the start, so "&Frame" afterwards shows
// the first frame.
#include "app/app.h"
#include "gfx/gfx.h"
#include "platform/input.h"
#include "platform/system.h"
#include "resources/commands.h"

namespace {

constexpr int32_t ESCAPE_SCAN_CODE = 1;

// What a waiting message asks of Play.
enum class Ask {
  pause,    // Space, or the Play command: pause, or go on after a pause
  stop,     // Escape: Play ends, and the key has done its work
  command,  // anything else the user did: Play ends and the message is left to run
  nothing,  // a key that stands for no command
  window,   // not the user's: handled at once
};

Ask what_it_asks(const win_msg& msg) {
  switch (msg.message) {
    case WIN_MSG_KEY_DOWN: {
      if (msg.wparam == PLAT_VK_ESCAPE) return Ask::stop;
      const int32_t command = win_find_accelerator(app_state.window, app_state.accelerators, &msg);
      if (command == CMD_PLAY) return Ask::pause;
      return command != 0 ? Ask::command : Ask::nothing;
    }
    case WIN_MSG_COMMAND:
      return msg.wparam == CMD_PLAY ? Ask::pause : Ask::command;
    case WIN_MSG_CLOSE:
    case WIN_MSG_DROP_FILES:
    case WIN_MSG_LBUTTON_DBLCLK:
    case WIN_MSG_MOUSE_WHEEL:
      return Ask::command;
    default:
      return Ask::window;
  }
}

// Escape read from the keyboard ends Play; its key press, queued meanwhile, is done with.
void forget_escape_presses() {
  win_msg msg;
  while (win_peek_message(&msg, WIN_PM_NOREMOVE) == 1 && msg.message == WIN_MSG_KEY_DOWN &&
         msg.wparam == PLAT_VK_ESCAPE) {
    win_peek_message(&msg, WIN_PM_REMOVE);
  }
}

// Answers the messages that come until due (below 0: until the user asks for
// something): Ask::pause when the user asked for a pause (or, paused, to go on),
// Ask::stop when Play is to end, Ask::window when due came first.
Ask answer_until(int64_t due) {
  for (;;) {
    if (win_wait_message(due) == 0) return due < 0 ? Ask::stop : Ask::window;
    win_msg msg;
    if (win_peek_message(&msg, WIN_PM_NOREMOVE) == 0) return Ask::stop;  // the quit message
    switch (what_it_asks(msg)) {
      case Ask::pause:
        win_peek_message(&msg, WIN_PM_REMOVE);
        return Ask::pause;
      case Ask::stop:
        win_peek_message(&msg, WIN_PM_REMOVE);
        return Ask::stop;
      case Ask::command:
        return Ask::stop;
      case Ask::nothing:
        win_peek_message(&msg, WIN_PM_REMOVE);
        break;
      case Ask::window:
        win_peek_message(&msg, WIN_PM_REMOVE);
        win_dispatch_message(&msg);
        break;
    }
  }
}

// Waits until due, pausing when asked: false when Play is to end.
bool wait_for(int64_t& due) {
  for (;;) {
    const Ask asked = answer_until(due);
    if (asked == Ask::window) return true;
    if (asked == Ask::stop) return false;
    // Paused: the frame stays until the user goes on; the frame clock starts again then.
    if (answer_until(-1) != Ask::pause) return false;
    flic_restart_clock();
    due = flic_next_due(&app_state.context);
  }
}

// Decodes the next frame of Play: false when there is none.
bool next_frame() {
  FlicContext& context = app_state.context;
  if (flic_play(&context, 1, GFX_FLAG_NO_PAUSE) == 1) {
    flic_keyframes_note(&app_state.keyframes, &context);
    return true;
  }
  if (!app_state.looping || context.report.records == 0) return false;
  // The next round: a ring frame has turned the picture back into frame 1, so it goes
  // on from frame 2; without one, frame 1 is shown again first.
  if (flic_seek(&context, &app_state.keyframes, 1) != 1) return false;
  if (!app_state.has_ring) return true;
  if (flic_play(&context, 1, GFX_FLAG_NO_PAUSE) != 1) return false;
  flic_keyframes_note(&app_state.keyframes, &context);
  return true;
}

}  // namespace

void app_play() {
  FlicContext& context = app_state.context;
  app_state.playing = true;
  flic_skip(&context, -1);
  flic_restart_clock();
  int64_t due = flic_next_due(&context);
  while (wait_for(due) && next_frame()) {
    app_state.frame_shown = app_frame_of(context.report.records);
    app_frame_shown();
    if (gfx_key_down(ESCAPE_SCAN_CODE) == 1) {
      forget_escape_presses();
      break;
    }
    due = flic_next_due(&context);
  }
  flic_skip(&context, -1);
  app_state.playing = false;
}
