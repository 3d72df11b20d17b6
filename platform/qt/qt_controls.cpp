// The Qt backend's test controls: a translation unit of its own, linked into the Qt
// tests and the timing harness only (target moxflic_qt_controls), never into the viewer.
// The dialogs are answered through stand-ins the backend consults (qt_internal.h).
#include "platform/qt/qt_controls.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWindow>
#include <deque>
#include <string>
#include <vector>

#include "platform/qt/qt_internal.h"

namespace {

bool record_boxes = false;
std::vector<QtwMessageBox> recorded_boxes;
std::deque<std::string> dialog_answers;

bool take_message_box(const char* text, const char* caption, uint32_t type) {
  if (!record_boxes) return false;
  recorded_boxes.push_back({text != nullptr ? text : "", caption != nullptr ? caption : "", type});
  return true;
}

bool take_dialog_answer(std::string& path) {
  if (dialog_answers.empty()) return false;
  path = dialog_answers.front();
  dialog_answers.pop_front();
  return true;
}

constexpr QtDialogStandIns kStandIns = {take_message_box, take_dialog_answer};

}  // namespace

void qtw_record_message_boxes(bool record) {
  qt_dialog_stand_ins = &kStandIns;
  record_boxes = record;
  if (record) recorded_boxes.clear();
}
const std::vector<QtwMessageBox>& qtw_message_boxes() { return recorded_boxes; }
void qtw_answer_dialog(const char* path) {
  qt_dialog_stand_ins = &kStandIns;
  dialog_answers.push_back(path != nullptr ? path : "");
}
std::string qtw_dialog_filter(const char* filter) { return qt_dialog_filter(filter); }

void qtw_process_events() { QCoreApplication::processEvents(); }

int32_t qtw_dispatch_pending() {
  const WindowCore& core = window_core();
  int32_t count = 0;
  for (;;) {
    QCoreApplication::processEvents();
    win_msg msg;
    if (core.quit_posted || win_peek_message(&msg, WIN_PM_REMOVE) == 0) return count;
    if (win_translate_accelerator(core.window, core.accelerators, &msg) == 0) win_dispatch_message(&msg);
    ++count;
  }
}

std::string qtw_menu_text(int32_t id) {
  QtWindow* w = qt_system().main;
  if (w == nullptr) return {};
  for (auto& [item, action] : w->actions) {
    if (item == id) return action->text().section('\t', 0, 0).toStdString();
  }
  return {};
}

std::string qtw_menu_key(int32_t id) {
  QtWindow* w = qt_system().main;
  if (w == nullptr) return {};
  for (auto& [item, action] : w->actions) {
    if (item == id) return action->text().section('\t', 1).toStdString();
  }
  return {};
}

bool qtw_menu_enabled(int32_t id) {
  QtWindow* w = qt_system().main;
  if (w == nullptr) return false;
  for (auto& [item, action] : w->actions) {
    if (item == id) return action->isEnabled();
  }
  return false;
}

std::vector<std::string> qtw_menu_titles() {
  std::vector<std::string> titles;
  QtWindow* w = qt_system().main;
  if (w == nullptr) return titles;
  for (QAction* action : w->frame->menuBar()->actions()) {
    titles.push_back(action->text().section('\t', 0, 0).toStdString());
  }
  return titles;
}

void qtw_trigger(int32_t id) {
  QtWindow* w = qt_system().main;
  if (w == nullptr) return;
  for (auto& [item, action] : w->actions) {
    if (item == id) action->trigger();
  }
}

bool qtw_drop_url(const char* url) {
  QtWindow* w = qt_system().main;
  if (w == nullptr) return false;
  QMimeData mime;
  mime.setUrls({QUrl(QString::fromUtf8(url))});
  const QPoint at = w->client->geometry().center();
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w->frame, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), enter.dropAction(), &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w->frame, &drop);
  return drop.isAccepted();
}

void qtw_request_close() {
  QtWindow* w = qt_system().main;
  if (w != nullptr && w->frame->windowHandle() != nullptr) w->frame->windowHandle()->close();
}

void qtw_resize_client(int32_t width, int32_t height) {
  QtWindow* w = qt_system().main;
  if (w == nullptr) return;
  QSize frame = w->frame->size();
  QSize client = w->client->size();
  w->frame->resize(frame.width() + width - client.width(), frame.height() + height - client.height());
  QCoreApplication::processEvents();
}

int32_t qtw_client_width() {
  QtWindow* w = qt_system().main;
  return w != nullptr ? w->image.width() : 0;
}

int32_t qtw_client_height() {
  QtWindow* w = qt_system().main;
  return w != nullptr ? w->image.height() : 0;
}

uint32_t qtw_client_rgb(int32_t x, int32_t y) {
  QtWindow* w = qt_system().main;
  if (w == nullptr || !w->image.valid(x, y)) return 0;
  return w->image.pixel(x, y) & 0xFFFFFFu;
}

bool qtw_input_held() { return qt_gate_closed(); }

void qtw_tap_key(int32_t virtual_key, uint32_t modifiers) {
  QtWindow* w = qt_system().main;
  if (w == nullptr) return;
  int qt_key = 0;
  for (int k : {Qt::Key_Escape, Qt::Key_Space, Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right,
                Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Plus, Qt::Key_Minus, Qt::Key_F1, Qt::Key_F11}) {
    if (qt_virtual_key(k) == virtual_key) qt_key = k;
  }
  if (virtual_key >= 'A' && virtual_key <= 'Z') qt_key = Qt::Key_A + (virtual_key - 'A');
  if (virtual_key >= '0' && virtual_key <= '9') qt_key = Qt::Key_0 + (virtual_key - '0');
  if (qt_key == 0) return;
  Qt::KeyboardModifiers held = Qt::NoModifier;
  if (modifiers & WIN_MOD_SHIFT) held |= Qt::ShiftModifier;
  if (modifiers & WIN_MOD_CTRL) held |= Qt::ControlModifier;
  if (modifiers & WIN_MOD_ALT) held |= Qt::AltModifier;
  QCoreApplication::postEvent(w->client, new QKeyEvent(QEvent::KeyPress, qt_key, held));
  QCoreApplication::postEvent(w->client, new QKeyEvent(QEvent::KeyRelease, qt_key, held));
}

void qtw_double_click() {
  QtWindow* w = qt_system().main;
  if (w == nullptr) return;
  const QPointF at = QRectF(w->client->rect()).center();
  QCoreApplication::postEvent(
      w->client, new QMouseEvent(QEvent::MouseButtonDblClick, at, w->client->mapToGlobal(at), Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier));
}

std::string qtw_title() {
  QtWindow* w = qt_system().main;
  return w != nullptr ? w->frame->windowTitle().toStdString() : std::string();
}

bool qtw_menu_bar_visible() {
  QtWindow* w = qt_system().main;
  return w != nullptr && w->frame->menuBar()->isVisible();
}
