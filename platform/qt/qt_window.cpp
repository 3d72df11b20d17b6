// The Qt window system: the one main window with its menu bar, window messages
// turned into calls of the window procedure, and the message loop over Qt's own.
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <cstring>
#include <string>

#include "platform/common/window_input.h"
#include "platform/qt/qt_internal.h"

namespace {

constexpr int QT_MAX_CLASSES = 8;

win_class classes[QT_MAX_CLASSES] = {};
int class_count = 0;
QApplication* application = nullptr;
int app_argc = 1;
char app_name[] = "moxflic";
char* app_argv[] = {app_name, nullptr};

const win_class* find_class(const char* name) {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < class_count; ++i) {
    if (std::strcmp(classes[i].class_name, name) == 0) return &classes[i];
  }
  return nullptr;
}

QIcon make_icon(const win_icon* icon) {
  QImage image(icon->width, icon->height, QImage::Format_RGB32);
  for (int y = 0; y < icon->height; ++y) {
    for (int x = 0; x < icon->width; ++x) {
      const uint8_t* c = icon->colours[win_icon_index(icon, x, y)];
      image.setPixel(x, y, qRgb(c[0], c[1], c[2]));
    }
  }
  return QIcon(QPixmap::fromImage(image));
}

// The key of the item's command in the class's accelerators, or empty.
QString key_text(const win_accel_table* accelerators, int32_t id) {
  if (accelerators == nullptr) return {};
  for (int32_t i = 0; i < accelerators->count; ++i) {
    const win_accel& a = accelerators->items[i];
    if (a.command != id) continue;
    char name[32];
    if (win_key_name(a.modifiers, a.virtual_key, name, sizeof name) < sizeof name)
      return QString::fromUtf8(name);
  }
  return {};
}

// An item's key is shown after a tab, which a drop-down menu puts in its own column.
QString item_text(const QtWindow* w, int32_t id, const char* text) {
  QString shown = QString::fromUtf8(text != nullptr ? text : "");
  for (const auto& [item, key] : w->keys) {
    if (item == id && !key.isEmpty()) shown += '\t' + key;
  }
  return shown;
}

QAction* add_item(QtWindow* w, QWidget* menu, const win_menu_item& row, const win_accel_table* accelerators) {
  w->keys.push_back({row.id, key_text(accelerators, row.id)});
  QAction* action = new QAction(item_text(w, row.id, row.text), menu);
  action->setEnabled((row.state & WIN_MF_GRAYED) == 0);
  action->setCheckable((row.state & WIN_MF_CHECKABLE) != 0);
  action->setChecked((row.state & WIN_MF_CHECKED) != 0);
  action->setVisible((row.state & WIN_MF_HIDDEN) == 0);
  const int32_t id = row.id;
  QObject::connect(action, &QAction::triggered, action, [w, id]() {
    if (w->screen != nullptr) win_post_message(w->screen, WIN_MSG_COMMAND, static_cast<uintptr_t>(id), 0);
  });
  w->actions.push_back({id, action});
  return action;
}

// Builds the menu bar from a menu table: drop-downs and top-level items in order.
void build_menu(QtWindow* w, const win_menu* menu, const win_accel_table* accelerators) {
  QMenuBar* bar = w->frame->menuBar();
  QMenu* popup = nullptr;
  for (int32_t i = 0; i < menu->count; ++i) {
    const win_menu_item& row = menu->items[i];
    switch (row.kind) {
      case WinMenuKind::popup_begin:
        popup = bar->addMenu(QString::fromUtf8(row.text));
        break;
      case WinMenuKind::popup_end:
        popup = nullptr;
        break;
      case WinMenuKind::separator:
        if (popup != nullptr) popup->addSeparator();
        break;
      case WinMenuKind::item:
        if (popup != nullptr) {
          popup->addAction(add_item(w, popup, row, accelerators));
        } else {
          bar->addAction(add_item(w, bar, row, accelerators));
        }
        break;
    }
  }
}

bool is_command(uint32_t message) { return message == WIN_MSG_COMMAND; }

// A key held down repeats; while the window is busy the repeats are not queued up
// behind one that waits already, so that letting go of the key ends its effect.
bool key_waiting(uintptr_t virtual_key) {
  for (const win_msg& msg : qt_system().queue) {
    if (msg.message == WIN_MSG_KEY_DOWN && msg.wparam == virtual_key) return true;
  }
  return false;
}

QAction* find_action(const plat_menu menu, int32_t id) {
  if (menu == nullptr || menu->owner == nullptr) return nullptr;
  for (auto& [item, action] : menu->owner->actions) {
    if (item == id) return action;
  }
  return nullptr;
}

// The local files a drag carries, as the file system names them.
std::vector<std::string> local_files(const QMimeData* mime) {
  std::vector<std::string> names;
  if (mime == nullptr || !mime->hasUrls()) return names;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) names.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return names;
}

// Drops the window's queued messages, with the file lists they carry.
void forget_queued(plat_window window) {
  std::deque<win_msg> kept;
  for (const win_msg& msg : qt_system().queue) {
    if (msg.window != window) {
      kept.push_back(msg);
    } else if (msg.message == WIN_MSG_DROP_FILES) {
      win_drag_finish(reinterpret_cast<plat_drop>(msg.wparam));
    }
  }
  qt_system().queue.swap(kept);
}

}  // namespace

QtSystem& qt_system() {
  static QtSystem system;
  return system;
}

QtWindow* qt_window_of(plat_window window) {
  QtWindow* w = qt_system().main;
  return w != nullptr && window != nullptr && w->screen == window ? w : nullptr;
}

QtFrameWindow::QtFrameWindow() = default;

// Closing from the title bar asks the window procedure through the close message.
void QtFrameWindow::closeEvent(QCloseEvent* event) {
  QtWindow* w = qt_system().main;
  if (w == nullptr || w->destroying || w->screen == nullptr) {
    event->accept();
    return;
  }
  event->ignore();
  win_post_message(w->screen, WIN_MSG_CLOSE, 0, 0);
}

bool QtFrameWindow::event(QEvent* event) {
  QtWindow* w = qt_system().main;
  if (event->type() == QEvent::WindowActivate && w != nullptr && w->screen != nullptr) {
    win_post_message(w->screen, WIN_MSG_SET_FOCUS, 0, 0);
  }
  return QMainWindow::event(event);
}

// Keys reach the frame from the client area (which has the focus) when it leaves them.
void QtFrameWindow::keyPressEvent(QKeyEvent* event) {
  QtWindow* w = qt_system().main;
  int32_t vk = qt_virtual_key(event->key());
  if (w == nullptr || w->screen == nullptr || vk == 0) {
    QMainWindow::keyPressEvent(event);
    return;
  }
  event->accept();
  if (event->isAutoRepeat() && key_waiting(static_cast<uintptr_t>(vk))) return;
  win_post_message(w->screen, WIN_MSG_KEY_DOWN, static_cast<uintptr_t>(vk),
                   static_cast<intptr_t>(qt_modifiers(event->modifiers())));
}

void QtFrameWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (local_files(event->mimeData()).empty()) return;
  event->acceptProposedAction();
}

void QtFrameWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (local_files(event->mimeData()).empty()) return;
  event->acceptProposedAction();
}

// The drop is handed over through the queue, so the file manager is not kept waiting
// while the file loads.
void QtFrameWindow::dropEvent(QDropEvent* event) {
  QtWindow* w = qt_system().main;
  std::vector<std::string> names = local_files(event->mimeData());
  if (w == nullptr || w->screen == nullptr || names.empty()) return;
  event->acceptProposedAction();
  win_post_message(w->screen, WIN_MSG_DROP_FILES, reinterpret_cast<uintptr_t>(window_drop_create(names)), 0);
}

// Qt ends the process when its platform cannot reach a display, so that case is
// answered here first: no platform chosen and no X or Wayland display named.
static bool display_reachable() {
  return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

int32_t win_startup(int* argc, char** argv) {
  if (application != nullptr) return 1;
  if (QCoreApplication::instance() == nullptr && !display_reachable()) return 0;
  if (QCoreApplication::instance() != nullptr) {
    application = qobject_cast<QApplication*>(QCoreApplication::instance());
  } else if (argc != nullptr && argv != nullptr) {
    application = new QApplication(*argc, argv);
  } else {
    application = new QApplication(app_argc, app_argv);
  }
  if (application == nullptr) return 0;
#ifdef MOXFLIC_APP_ID
  // The desktop entry's name, by which Wayland compositors find the window's icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(MOXFLIC_APP_ID));
#endif
  QApplication::setQuitOnLastWindowClosed(false);
  qt_gate_install();
  qt_rebuild_lut();
  return 1;
}

void win_shutdown() {
  if (qt_system().main != nullptr) win_destroy(qt_system().main->screen);
  QCoreApplication::processEvents();
}

int32_t win_register_class(const win_class* window_class) {
  if (window_class == nullptr || window_class->proc == nullptr || window_class->class_name == nullptr) {
    return 0;
  }
  if (find_class(window_class->class_name) != nullptr || class_count == QT_MAX_CLASSES) return 0;
  classes[class_count++] = *window_class;
  return 1;
}

plat_window win_create(const char* class_name, const char* title, int32_t width, int32_t height) {
  const win_class* window_class = find_class(class_name);
  if (window_class == nullptr || qt_system().main != nullptr || application == nullptr) return nullptr;
  QtWindow* w = new QtWindow;
  w->proc = window_class->proc;
  w->class_style = window_class->style;
  w->accelerators = window_class->accelerators;
  w->frame = new QtFrameWindow;
  w->frame->setWindowTitle(QString::fromUtf8(title != nullptr ? title : ""));
  w->frame->setAcceptDrops(true);
  w->client = new QtClientWidget(w->frame);
  w->frame->setCentralWidget(w->client);
  if (window_class->icon != nullptr) w->frame->setWindowIcon(make_icon(window_class->icon));
  qt_system().main = w;
  qt_system().menu.owner = w;
  if (window_class->menu != nullptr) build_menu(w, window_class->menu, window_class->accelerators);
  w->frame->resize(width, height);
  screen_attach_backend(&qt_backend);
  w->screen = screen_window_create(0, 0);
  w->screen->backend = w;
  win_send_message(w->screen, WIN_MSG_CREATE, 0, 0);
  return w->screen;
}

void win_show(plat_window window, int32_t) {
  QtWindow* w = qt_window_of(window);
  if (w == nullptr || w->shown) return;
  w->shown = true;
  w->frame->show();
  w->frame->activateWindow();
  // The client widget has its size once the frame is laid out.
  QCoreApplication::processEvents();
  QSize size = w->client->size();
  if (size.width() != w->screen->client_width || size.height() != w->screen->client_height) {
    qt_client_resized(w, size.width(), size.height());
  }
  w->needs_paint = true;
}

void win_set_title(plat_window window, const char* title) {
  QtWindow* w = qt_window_of(window);
  if (w != nullptr) w->frame->setWindowTitle(QString::fromUtf8(title != nullptr ? title : ""));
}

void win_invalidate(plat_window window, bool) {
  QtWindow* w = qt_window_of(window);
  if (w == nullptr) return;
  w->needs_paint = true;
  QCoreApplication::postEvent(w->client, new QEvent(QEvent::User));  // wakes the loop
}

void win_update(plat_window window) {
  QtWindow* w = qt_window_of(window);
  if (w != nullptr && w->needs_paint) win_send_message(window, WIN_MSG_PAINT, 0, 0);
}

void win_begin_paint(plat_window window) {
  QtWindow* w = qt_window_of(window);
  if (w != nullptr) w->needs_paint = false;
}

void win_end_paint(plat_window) {}

// A command runs with user input held back by the gate, so that no other command can
// start inside it; input that arrived meanwhile is dropped before the gate opens.
intptr_t win_send_message(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  QtWindow* w = qt_window_of(window);
  if (w == nullptr || w->proc == nullptr) return 0;
  if (!is_command(message)) return w->proc(window, message, wparam, lparam);
  qt_gate_enter();
  intptr_t answer = w->proc(window, message, wparam, lparam);
  qt_gate_leave();
  return answer;
}

int32_t win_post_message(plat_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (qt_window_of(window) == nullptr) return 0;
  qt_system().queue.push_back({window, message, wparam, lparam});
  QtWindow* w = qt_system().main;
  QCoreApplication::postEvent(w->client, new QEvent(QEvent::User));  // wakes the loop
  return 1;
}

intptr_t win_default_proc(plat_window window, uint32_t message, uintptr_t, intptr_t) {
  if (message == WIN_MSG_CLOSE) win_destroy(window);
  if (message == WIN_MSG_PAINT) win_begin_paint(window);
  return 0;
}

void win_destroy(plat_window window) {
  QtWindow* w = qt_window_of(window);
  if (w == nullptr || w->destroying) return;
  w->destroying = true;
  w->proc(window, WIN_MSG_DESTROY, 0, 0);
  forget_queued(window);
  w->frame->hide();
  w->frame->deleteLater();
  w->screen->backend = nullptr;
  screen_window_destroy(w->screen);
  w->screen = nullptr;
  qt_system().main = nullptr;
  qt_system().menu.owner = nullptr;
  delete w;
}

int32_t win_peek_message(win_msg* out, uint32_t remove) {
  QtSystem& s = qt_system();
  if (!s.queue.empty()) {
    *out = s.queue.front();
    if (remove == WIN_PM_REMOVE) s.queue.pop_front();
    return 1;
  }
  if (!s.quit_posted && s.main != nullptr && s.main->needs_paint) {
    *out = {s.main->screen, WIN_MSG_PAINT, 0, 0};
    return 1;
  }
  return 0;
}

// The quit message counts as a message: the wait ends for it too.
int32_t win_wait_message(int64_t due) {
  QtSystem& s = qt_system();
  win_msg msg;
  do {
    if (s.quit_posted || win_peek_message(&msg, WIN_PM_NOREMOVE) == 1) return 1;
  } while (qt_wait_step(due));
  return s.quit_posted || win_peek_message(&msg, WIN_PM_NOREMOVE) == 1 ? 1 : 0;
}

int32_t win_get_message(win_msg* out) {
  QtSystem& s = qt_system();
  for (;;) {
    if (!s.queue.empty()) return win_peek_message(out, WIN_PM_REMOVE);
    if (s.quit_posted) {
      s.quit_posted = false;
      *out = {nullptr, WIN_MSG_QUIT, static_cast<uintptr_t>(s.quit_code), 0};
      return 0;
    }
    if (win_peek_message(out, WIN_PM_REMOVE) == 1) return 1;
    if (application == nullptr) {
      *out = {nullptr, WIN_MSG_QUIT, 0, 0};
      return 0;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

intptr_t win_dispatch_message(const win_msg* msg) {
  if (msg == nullptr) return 0;
  return win_send_message(msg->window, msg->message, msg->wparam, msg->lparam);
}

void win_post_quit(int32_t exit_code) {
  qt_system().quit_posted = true;
  qt_system().quit_code = exit_code;
}

plat_menu win_get_menu(plat_window window) {
  QtWindow* w = qt_window_of(window);
  return w != nullptr && !w->actions.empty() ? &qt_system().menu : nullptr;
}

int32_t win_enable_menu_item(plat_menu menu, int32_t id, uint32_t state) {
  QAction* action = find_action(menu, id);
  if (action == nullptr) return -1;
  int32_t previous = action->isEnabled() ? WIN_MF_ENABLED : WIN_MF_GRAYED;
  action->setEnabled((state & WIN_MF_GRAYED) == 0);
  return previous;
}

int32_t win_check_menu_item(plat_menu menu, int32_t id, uint32_t check) {
  QAction* action = find_action(menu, id);
  if (action == nullptr) return -1;
  int32_t previous = action->isChecked() ? WIN_MF_CHECKED : WIN_MF_UNCHECKED;
  action->setChecked((check & WIN_MF_CHECKED) != 0);
  return previous;
}

int32_t win_set_menu_item_text(plat_menu menu, int32_t id, const char* text) {
  QAction* action = find_action(menu, id);
  if (action == nullptr) return 0;
  if (text != nullptr) action->setText(item_text(menu->owner, id, text));
  action->setVisible(text != nullptr);
  return 1;
}

// In full screen the picture has the whole screen: the menu bar is hidden (the keys
// still work) and comes back with the normal window.
void win_set_fullscreen(plat_window window, bool fullscreen) {
  QtWindow* w = qt_window_of(window);
  if (w == nullptr || w->frame->isFullScreen() == fullscreen) return;
  w->frame->menuBar()->setVisible(!fullscreen);
  if (fullscreen) {
    w->frame->showFullScreen();
  } else {
    w->frame->showNormal();
  }
}

bool win_is_fullscreen(plat_window window) {
  QtWindow* w = qt_window_of(window);
  return w != nullptr && w->frame->isFullScreen();
}

void win_set_client_size(plat_window window, int32_t width, int32_t height) {
  QtWindow* w = qt_window_of(window);
  if (w == nullptr || width <= 0 || height <= 0) return;
  const QSize frame = w->frame->size();
  const QSize client = w->client->size();
  w->frame->resize(frame.width() + width - client.width(), frame.height() + height - client.height());
}

int32_t win_max_client_size(plat_window window, int32_t* width, int32_t* height) {
  QtWindow* w = qt_window_of(window);
  if (w == nullptr || width == nullptr || height == nullptr) return 0;
  const QScreen* screen = w->frame->screen();
  if (screen == nullptr) return 0;
  const QRect room = screen->availableGeometry();
  // What the window manager's frame and the menu bar take around the client area.
  const QRect outer = w->frame->frameGeometry();
  const QSize client = w->client->size();
  *width = room.width() - (outer.width() - client.width());
  *height = room.height() - (outer.height() - client.height());
  return *width > 0 && *height > 0 ? 1 : 0;
}
