// Keyboard, clocks, waiting and the input gate of the Qt window system.
//
// The user's input only ever posts messages (qt_window.cpp), so it may pass while a
// command runs: the key poll and the waits run the event loop, and the command looks
// at the queue. The gate records the keys' states for the key poll and, while a
// command runs, latches Escape presses, so that a tap between two polls counts.
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cstring>

#include "platform/common/screen_state.h"
#include "platform/input.h"
#include "platform/qt/qt_internal.h"
#include "platform/system.h"

namespace {

constexpr int16_t KEY_IS_DOWN = static_cast<int16_t>(0x8000);

// Scan codes (first keyboard set) of the keys that have one here, by virtual key.
struct ScanKey {
  uint32_t scan;
  int32_t virtual_key;
};
constexpr ScanKey scan_keys[] = {
    {PLAT_SCAN_ESCAPE, PLAT_VK_ESCAPE},
    {0x02, '1'},
    {0x03, '2'},
    {0x04, '3'},
    {0x05, '4'},
    {0x06, '5'},
    {0x07, '6'},
    {0x08, '7'},
    {0x09, '8'},
    {0x0A, '9'},
    {0x0B, '0'},
    {0x0E, PLAT_VK_BACK},
    {0x0F, PLAT_VK_TAB},
    {0x10, 'Q'},
    {0x11, 'W'},
    {0x12, 'E'},
    {0x13, 'R'},
    {0x14, 'T'},
    {0x15, 'Y'},
    {0x16, 'U'},
    {0x17, 'I'},
    {0x18, 'O'},
    {0x19, 'P'},
    {0x1C, PLAT_VK_RETURN},
    {0x1D, PLAT_VK_CONTROL},
    {0x1E, 'A'},
    {0x1F, 'S'},
    {0x20, 'D'},
    {0x21, 'F'},
    {0x22, 'G'},
    {0x23, 'H'},
    {0x24, 'J'},
    {0x25, 'K'},
    {0x26, 'L'},
    {0x2A, PLAT_VK_SHIFT},
    {0x2C, 'Z'},
    {0x2D, 'X'},
    {0x2E, 'C'},
    {0x2F, 'V'},
    {0x30, 'B'},
    {0x31, 'N'},
    {0x32, 'M'},
    {0x38, PLAT_VK_MENU},
    {0x39, PLAT_VK_SPACE},
    {0x3A, PLAT_VK_CAPITAL},
};

struct Gate {
  int depth = 0;
  bool escape_latched = false;
  uint8_t keys[256] = {};
};

Gate gate;

int32_t mouse_key(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return PLAT_VK_LBUTTON;
    case Qt::RightButton:
      return PLAT_VK_RBUTTON;
    case Qt::MiddleButton:
      return PLAT_VK_MBUTTON;
    default:
      return 0;
  }
}

class QtInputGate : public QObject {
 protected:
  bool eventFilter(QObject* target, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
      auto* key = static_cast<QKeyEvent*>(event);
      int32_t vk = qt_virtual_key(key->key());
      if (vk != 0 && !key->isAutoRepeat()) qt_key_event(vk, type == QEvent::KeyPress);
      if (vk == PLAT_VK_ESCAPE && type == QEvent::KeyPress && gate.depth > 0) gate.escape_latched = true;
    } else if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) {
      int32_t vk = mouse_key(static_cast<QMouseEvent*>(event)->button());
      if (vk != 0) qt_key_event(vk, type == QEvent::MouseButtonPress);
    }
    return QObject::eventFilter(target, event);
  }
};

QtInputGate* installed = nullptr;

// Runs the event loop once: repaints, exposes and resizes are handled.
void pump() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

const std::chrono::steady_clock::time_point clock_start = std::chrono::steady_clock::now();

}  // namespace

void qt_gate_install() {
  if (installed != nullptr || QCoreApplication::instance() == nullptr) return;
  installed = new QtInputGate;
  QCoreApplication::instance()->installEventFilter(installed);
}

void qt_gate_enter() {
  if (gate.depth++ == 0) gate.escape_latched = false;
}

void qt_gate_leave() {
  if (gate.depth == 1) gate.escape_latched = false;
  if (gate.depth > 0) --gate.depth;
}

bool qt_gate_closed() { return gate.depth > 0; }

int qt_gate_suspend() {
  int depth = gate.depth;
  gate.depth = 0;
  return depth;
}

void qt_gate_resume(int depth) { gate.depth = depth; }

void qt_key_event(int32_t virtual_key, bool down) {
  if (virtual_key <= 0 || virtual_key > 255) return;
  uint8_t& state = gate.keys[virtual_key];
  if (down) {
    if ((state & PLAT_KEY_DOWN) == 0) state ^= PLAT_KEY_TOGGLED;
    state |= PLAT_KEY_DOWN;
  } else {
    state &= static_cast<uint8_t>(~PLAT_KEY_DOWN);
  }
}

int32_t qt_virtual_key(int qt_key) {
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return 'A' + (qt_key - Qt::Key_A);
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return '0' + (qt_key - Qt::Key_0);
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F12) return PLAT_VK_F1 + (qt_key - Qt::Key_F1);
  switch (qt_key) {
    case Qt::Key_Escape:
      return PLAT_VK_ESCAPE;
    case Qt::Key_Backspace:
      return PLAT_VK_BACK;
    case Qt::Key_Tab:
      return PLAT_VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return PLAT_VK_RETURN;
    case Qt::Key_Shift:
      return PLAT_VK_SHIFT;
    case Qt::Key_Control:
      return PLAT_VK_CONTROL;
    case Qt::Key_Alt:
      return PLAT_VK_MENU;
    case Qt::Key_Space:
      return PLAT_VK_SPACE;
    case Qt::Key_CapsLock:
      return PLAT_VK_CAPITAL;
    case Qt::Key_Home:
      return PLAT_VK_HOME;
    case Qt::Key_End:
      return PLAT_VK_END;
    case Qt::Key_Left:
      return PLAT_VK_LEFT;
    case Qt::Key_Up:
      return PLAT_VK_UP;
    case Qt::Key_Right:
      return PLAT_VK_RIGHT;
    case Qt::Key_Down:
      return PLAT_VK_DOWN;
    case Qt::Key_PageUp:
      return PLAT_VK_PRIOR;
    case Qt::Key_PageDown:
      return PLAT_VK_NEXT;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      return PLAT_VK_OEM_PLUS;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return PLAT_VK_OEM_MINUS;
    default:
      return 0;
  }
}

uint32_t plat_map_virtual_key(uint32_t code, uint32_t map_type) {
  screen_count_call();
  if (map_type != PLAT_MAPVK_VSC_TO_VK) return 0;
  for (const ScanKey& k : scan_keys) {
    if (k.scan == code) return static_cast<uint32_t>(k.virtual_key);
  }
  return 0;
}

// Down now, or (for Escape) pressed since the last poll while a command runs.
int16_t plat_get_async_key_state(int32_t virtual_key) {
  screen_count_call();
  pump();
  if (virtual_key <= 0 || virtual_key > 255) return 0;
  bool down = (gate.keys[virtual_key] & PLAT_KEY_DOWN) != 0;
  if (virtual_key == PLAT_VK_ESCAPE && gate.escape_latched) {
    down = true;
    gate.escape_latched = false;
  }
  return down ? KEY_IS_DOWN : 0;
}

int32_t plat_get_keyboard_state(uint8_t state[256]) {
  screen_count_call();
  if (state == nullptr) return 0;
  std::memcpy(state, gate.keys, sizeof gate.keys);
  return 1;
}

// The viewer's one main window counts as active from when it is shown until it is
// destroyed, whatever the window manager's focus: the library binds the display to it.
plat_window plat_get_active_window() {
  screen_count_call();
  QtWindow* w = qt_system().main;
  return w != nullptr && window_core().shown ? w->screen : nullptr;
}

int64_t plat_clock_us() {
  screen_count_call();
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - clock_start)
      .count();
}

// Most of the wait is spent asleep in the event loop, the last fraction of a
// millisecond in short sleeps for precision.
bool qt_wait_step(int64_t due) {
  constexpr int64_t COARSE_MARGIN_US = 1500;
  constexpr int64_t FINE_SLEEP_US = 200;
  const int64_t now = plat_clock_us();
  if (due >= 0 && now >= due) return false;
  if (QCoreApplication::instance() == nullptr) {
    if (due < 0) return false;
    QThread::usleep(static_cast<unsigned long>(std::min<int64_t>(due - now, FINE_SLEEP_US)));
    return true;
  }
  const int64_t remaining = due - now;
  if (due < 0) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  } else if (remaining > COARSE_MARGIN_US) {
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(static_cast<int>((remaining - COARSE_MARGIN_US / 2) / 1000));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  } else {
    pump();
    QThread::usleep(static_cast<unsigned long>(std::min<int64_t>(remaining, FINE_SLEEP_US)));
  }
  return true;
}

void plat_wait_until_us(int64_t due) {
  while (qt_wait_step(due)) {
  }
}

uint32_t qt_modifiers(Qt::KeyboardModifiers held) {
  return (held & Qt::ShiftModifier ? WIN_MOD_SHIFT : 0) | (held & Qt::ControlModifier ? WIN_MOD_CTRL : 0) |
         (held & Qt::AltModifier ? WIN_MOD_ALT : 0);
}
