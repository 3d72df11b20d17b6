// What the Qt window system's files share: the main window's widgets, the picture
// shown in its client area, the input gate and the backend's functions.
#pragma once

#include <QAction>
#include <QImage>
#include <QMainWindow>
#include <QWidget>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/common/screen.h"
#include "platform/common/window_core.h"
#include "platform/window.h"

// The client area: shows the window's picture of palette indices through the
// hardware palette, from a 32-bit image kept up to date.
class QtClientWidget : public QWidget {
 public:
  explicit QtClientWidget(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  int wheel_angle_ = 0;  // eighths of a degree turned and not yet posted as notches
};

// The frame around it: title, menu bar, close box, activation, the keys pressed in
// the window and the files dropped on it.
class QtFrameWindow : public QMainWindow {
 public:
  QtFrameWindow();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

// What only Qt keeps of the window; the window core keeps the rest (window_core()).
struct QtWindow {
  plat_window screen = nullptr;  // the shared screen's window (client picture)
  QtFrameWindow* frame = nullptr;
  QtClientWidget* client = nullptr;
  QImage image;  // the client picture in colour
  std::vector<std::pair<int32_t, QAction*>> actions;
  std::vector<std::pair<int32_t, QString>> keys;  // the key text shown beside each item
};

struct QtSystem {
  QtWindow* main = nullptr;       // the one window
  uint32_t colour_lut[256] = {};  // hardware palette as 0xFFRRGGBB
};

QtSystem& qt_system();

// The window a screen window belongs to, or null.
QtWindow* qt_window_of(plat_window window);
// Rebuilds the colour lookup from the hardware palette.
void qt_rebuild_lut();
// Converts a rectangle of the client picture into the image (clipped).
void qt_convert_area(QtWindow* w, int left, int top, int right, int bottom);
// Gives the image the client size and converts all of it.
void qt_sync_image(QtWindow* w);
// A client size change: the shared screen, the image and the size message.
void qt_client_resized(QtWindow* w, int width, int height);

// The input gate: installed once; it keeps the keys' states for the key poll, and
// while a command runs (closed) latches Escape presses for it.
void qt_gate_install();
void qt_gate_enter();
void qt_gate_leave();
bool qt_gate_closed();
// One step of a wait for the clock to reach due (below 0: for the next event), the
// event loop running: false once due is reached (or, with no due, when there is no
// event loop to wait in).
bool qt_wait_step(int64_t due);
// Lets dialogs take input while a command runs; returns the depth to restore.
int qt_gate_suspend();
void qt_gate_resume(int depth);
// Records key presses and releases seen by the gate (virtual-key codes).
void qt_key_event(int32_t virtual_key, bool down);
// A Qt key as a virtual-key code (0 for a key the system has no code for), and Qt's
// keyboard modifiers as WIN_MOD_* bits.
int32_t qt_virtual_key(int qt_key);
uint32_t qt_modifiers(Qt::KeyboardModifiers held);

// The backend's functions that the window core calls (qt_window.cpp) and that the
// shared screen calls (qt_client.cpp), and the table of them all.
void qt_client_changed(plat_window window, const plat_rect& area);
void qt_palette_changed();
void qt_message_box(plat_window owner, const char* text, const char* caption, uint32_t type);
bool qt_choose_file(const win_open_file* dialog, bool save, std::string* path, std::string* title);
int32_t qt_set_clipboard_image(const uint8_t* rgb, int32_t width, int32_t height);
int32_t qt_save_png(const char* path, const uint8_t* rgb, int32_t width, int32_t height);
bool qt_get_setting(const char* key, std::string* value);
void qt_set_setting(const char* key, const char* value);
extern const PlatformBackend qt_backend;

// The Qt name filter the open-file dialog is given for a filter of description/pattern
// pairs.
std::string qt_dialog_filter(const char* filter);

// Stand-ins for the dialogs, set by the test controls (qt_controls.cpp); null in the
// viewer, which always shows the real dialogs.
struct QtDialogStandIns {
  // Takes a message box instead of showing it: true when it did.
  bool (*message_box)(const char* text, const char* caption, uint32_t type);
  // The open-file dialog's answer instead of showing it: true with the path chosen
  // (empty: cancelled), false to show the dialog.
  bool (*open_file)(std::string& path);
};
inline constinit const QtDialogStandIns* qt_dialog_stand_ins = nullptr;
