// The client area: the shared screen's picture of palette indices turned into a
// 32-bit image through a 256-entry colour lookup, and drawn in the paint handler.
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>

#include "platform/qt/qt_internal.h"

QtClientWidget::QtClientWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::StrongFocus);
}

// Only the image is drawn here: what the window procedure paints reaches the image
// through the shared screen at once, so an expose needs no work of the viewer.
void QtClientWidget::paintEvent(QPaintEvent* event) {
  QtWindow* w = qt_system().main;
  QPainter painter(this);
  if (w == nullptr || w->image.isNull()) {
    painter.fillRect(event->rect(), Qt::black);
    return;
  }
  painter.drawImage(event->rect(), w->image, event->rect());
}

void QtClientWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  QtWindow* w = qt_system().main;
  if (w == nullptr || w->client != this || w->screen == nullptr) return;
  qt_client_resized(w, event->size().width(), event->size().height());
}

void QtClientWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  QtWindow* w = qt_system().main;
  if (event->button() != Qt::LeftButton || w == nullptr || w->screen == nullptr) {
    QWidget::mouseDoubleClickEvent(event);
    return;
  }
  event->accept();
  win_post_message(w->screen, WIN_MSG_LBUTTON_DBLCLK, 0, 0);
}

// A notch of a wheel is 15 degrees (120 eighths); finer wheels add up to notches.
void QtClientWidget::wheelEvent(QWheelEvent* event) {
  constexpr int NOTCH = 120;
  QtWindow* w = qt_system().main;
  event->accept();
  if (w == nullptr || w->screen == nullptr) return;
  wheel_angle_ += event->angleDelta().y();
  const int notches = wheel_angle_ / NOTCH;
  if (notches == 0) return;
  wheel_angle_ -= notches * NOTCH;
  win_post_message(w->screen, WIN_MSG_MOUSE_WHEEL, static_cast<uintptr_t>(static_cast<intptr_t>(notches)), 0);
}

void qt_client_resized(QtWindow* w, int width, int height) {
  screen_window_resize(w->screen, width, height);
  qt_sync_image(w);
  w->client->update();
  window_core_resized(w->screen);
}

void qt_rebuild_lut() {
  const plat_palette_entry* hw = screen_hardware_palette();
  for (int i = 0; i < 256; ++i) qt_system().colour_lut[i] = qRgb(hw[i].red, hw[i].green, hw[i].blue);
}

void qt_convert_area(QtWindow* w, int left, int top, int right, int bottom) {
  const plat_window s = w->screen;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min({right, s->client_width, w->image.width()});
  bottom = std::min({bottom, s->client_height, w->image.height()});
  const uint32_t* lut = qt_system().colour_lut;
  for (int y = top; y < bottom; ++y) {
    const uint8_t* src =
        s->client_pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(s->client_width);
    uint32_t* dst = reinterpret_cast<uint32_t*>(w->image.scanLine(y));
    for (int x = left; x < right; ++x) dst[x] = lut[src[x]];
  }
}

void qt_sync_image(QtWindow* w) {
  const plat_window s = w->screen;
  if (w->image.width() != s->client_width || w->image.height() != s->client_height) {
    w->image = s->client_width > 0 && s->client_height > 0
                   ? QImage(s->client_width, s->client_height, QImage::Format_RGB32)
                   : QImage();
  }
  if (!w->image.isNull()) qt_convert_area(w, 0, 0, s->client_width, s->client_height);
}

void qt_client_changed(plat_window window, const plat_rect& area) {
  QtWindow* w = qt_window_of(window);
  if (w == nullptr) return;
  if (w->image.width() != window->client_width || w->image.height() != window->client_height) {
    qt_sync_image(w);
    w->client->update();
    return;
  }
  qt_convert_area(w, area.left, area.top, area.right, area.bottom);
  w->client->update(QRect(area.left, area.top, area.right - area.left, area.bottom - area.top));
}

void qt_palette_changed() {
  qt_rebuild_lut();
  QtWindow* w = qt_system().main;
  if (w == nullptr || w->screen == nullptr) return;
  qt_sync_image(w);
  w->client->update();
}
