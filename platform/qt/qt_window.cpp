// The Qt window system: the one main window with its menu bar, Qt's events turned into
// messages for the window core's queue, and the table of the backend's functions.
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
#include <string>

#include "platform/common/window_input.h"
#include "platform/qt/qt_internal.h"

namespace {

QApplication* application = nullptr;
int app_argc = 1;
char app_name[] = "moxflic";
char* app_argv[] = {app_name, nullptr};

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

// A key held down repeats; while the window is busy the repeats are not queued up
// behind one that waits already, so that letting go of the key ends its effect.
bool key_waiting(uintptr_t virtual_key) {
  for (const win_msg& msg : window_core().queue) {
    if (msg.message == WIN_MSG_KEY_DOWN && msg.wparam == virtual_key) return true;
  }
  return false;
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
  if (w == nullptr || window_core().destroying || w->screen == nullptr) {
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

namespace {

// Qt ends the process when its platform cannot reach a display, so that case is
// answered here first: no platform chosen and no X or Wayland display named.
bool display_reachable() {
  return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

// --- The backend's functions -------------------------------------------------------------

plat_window create_window(const win_class* window_class, const char* title, int32_t width, int32_t height) {
  if (qt_system().main != nullptr || application == nullptr) return nullptr;
  QtWindow* w = new QtWindow;
  w->frame = new QtFrameWindow;
  w->frame->setWindowTitle(QString::fromUtf8(title != nullptr ? title : ""));
  w->frame->setAcceptDrops(true);
  w->client = new QtClientWidget(w->frame);
  w->frame->setCentralWidget(w->client);
  if (window_class->icon != nullptr) w->frame->setWindowIcon(make_icon(window_class->icon));
  qt_system().main = w;
  if (window_class->menu != nullptr) build_menu(w, window_class->menu, window_class->accelerators);
  w->frame->resize(width, height);
  w->screen = screen_window_create(0, 0);
  w->screen->backend = w;
  return w->screen;
}

void show_window(plat_window window) {
  QtWindow* w = qt_window_of(window);
  w->frame->show();
  w->frame->activateWindow();
  // The client widget has its size once the frame is laid out.
  QCoreApplication::processEvents();
  QSize size = w->client->size();
  if (size.width() != w->screen->client_width || size.height() != w->screen->client_height) {
    qt_client_resized(w, size.width(), size.height());
  }
}

void destroy_window(plat_window window) {
  QtWindow* w = qt_window_of(window);
  w->frame->hide();
  w->frame->deleteLater();
  w->screen->backend = nullptr;
  screen_window_destroy(w->screen);
  w->screen = nullptr;
  qt_system().main = nullptr;
  delete w;
}

void set_title(plat_window window, const char* title) {
  qt_window_of(window)->frame->setWindowTitle(QString::fromUtf8(title));
}

void menu_changed(plat_window window, const win_menu_item& row) {
  QtWindow* w = qt_window_of(window);
  const bool shown = (row.state & WIN_MF_HIDDEN) == 0;
  for (auto& [item, action] : w->actions) {
    if (item != row.id) continue;
    action->setEnabled((row.state & WIN_MF_GRAYED) == 0);
    action->setChecked((row.state & WIN_MF_CHECKED) != 0);
    if (shown) action->setText(item_text(w, row.id, row.text));
    action->setVisible(shown);
  }
}

// In full screen the picture has the whole screen: the menu bar is hidden (the keys
// still work) and comes back with the normal window.
void set_fullscreen(plat_window window, bool fullscreen) {
  QtWindow* w = qt_window_of(window);
  if (w->frame->isFullScreen() == fullscreen) return;
  w->frame->menuBar()->setVisible(!fullscreen);
  if (fullscreen) {
    w->frame->showFullScreen();
  } else {
    w->frame->showNormal();
  }
}

bool is_fullscreen(plat_window window) { return qt_window_of(window)->frame->isFullScreen(); }

void set_client_size(plat_window window, int32_t width, int32_t height) {
  QtWindow* w = qt_window_of(window);
  if (width <= 0 || height <= 0) return;
  const QSize frame = w->frame->size();
  const QSize client = w->client->size();
  w->frame->resize(frame.width() + width - client.width(), frame.height() + height - client.height());
}

int32_t max_client_size(plat_window window, int32_t* width, int32_t* height) {
  QtWindow* w = qt_window_of(window);
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

void wake() {
  QtWindow* w = qt_system().main;
  if (w != nullptr) QCoreApplication::postEvent(w->client, new QEvent(QEvent::User));
}

// A command runs with user input held back by the gate; input that arrived meanwhile
// is dropped before the gate opens.
void hold_input(bool held) {
  if (held) {
    qt_gate_enter();
  } else {
    qt_gate_leave();
  }
}

bool program_dir(std::string*) { return false; }

}  // namespace

const PlatformBackend qt_backend = {
    .name = "qt",
    .client_changed = qt_client_changed,
    .palette_changed = qt_palette_changed,
    .create_window = create_window,
    .show_window = show_window,
    .destroy_window = destroy_window,
    .set_title = set_title,
    .menu_changed = menu_changed,
    .set_fullscreen = set_fullscreen,
    .is_fullscreen = is_fullscreen,
    .set_client_size = set_client_size,
    .max_client_size = max_client_size,
    .wake = wake,
    .wait_events = qt_wait_step,
    .hold_input = hold_input,
    .message_box = qt_message_box,
    .choose_file = qt_choose_file,
    .set_clipboard_image = qt_set_clipboard_image,
    .save_png = qt_save_png,
    .get_setting = qt_get_setting,
    .set_setting = qt_set_setting,
    .program_dir = program_dir,
};

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
  platform_attach_backend(&qt_backend);
  return 1;
}

void win_shutdown() {
  if (qt_system().main != nullptr) win_destroy(qt_system().main->screen);
  QCoreApplication::processEvents();
}
