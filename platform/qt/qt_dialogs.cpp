// Message boxes, the file dialogs, the clipboard, PNG files and the user's settings,
// as the window core asks for them.
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMessageBox>
#include <QSettings>
#include <cctype>
#include <cstring>
#include <string>

#include "platform/qt/qt_internal.h"

namespace {

QWidget* owner_widget(plat_window owner) {
  QtWindow* w = qt_window_of(owner);
  return w != nullptr ? w->frame : nullptr;
}

// One pattern matched whatever the case of its letters: "*.FLI" becomes "*.[Ff][Ll][Ii]".
std::string caseless(const std::string& pattern) {
  std::string out;
  for (char c : pattern) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) {
      out += '[';
      out += static_cast<char>(std::toupper(u));
      out += static_cast<char>(std::tolower(u));
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void qt_message_box(plat_window owner, const char* text, const char* caption, uint32_t type) {
  if (qt_dialog_stand_ins != nullptr && qt_dialog_stand_ins->message_box(text, caption, type)) return;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  if ((type & WIN_MB_ICONERROR) == WIN_MB_ICONERROR)
    icon = QMessageBox::Critical;
  else if ((type & WIN_MB_ICONINFORMATION) == WIN_MB_ICONINFORMATION)
    icon = QMessageBox::Information;
  QMessageBox box(icon, QString::fromUtf8(caption != nullptr ? caption : ""),
                  QString::fromUtf8(text != nullptr ? text : ""), QMessageBox::Ok, owner_widget(owner));
  int depth = qt_gate_suspend();
  box.exec();
  qt_gate_resume(depth);
}

std::string qt_dialog_filter(const char* filter) {
  std::string out;
  if (filter == nullptr) return out;
  const char* at = filter;
  while (*at != '\0') {
    std::string description = at;
    at += description.size() + 1;
    std::string patterns = at;
    at += patterns.size() + 1;
    std::string globs;
    size_t start = 0;
    while (start <= patterns.size()) {
      size_t end = patterns.find(';', start);
      if (end == std::string::npos) end = patterns.size();
      std::string one = patterns.substr(start, end - start);
      if (!one.empty()) {
        if (!globs.empty()) globs += ' ';
        globs += caseless(one);
      }
      start = end + 1;
    }
    if (!out.empty()) out += ";;";
    out.append(description).append(" (").append(globs).append(")");
  }
  return out;
}

bool qt_choose_file(const win_open_file* dialog, bool save, std::string* path, std::string* title) {
  if (dialog->file == nullptr) return false;
  std::string chosen;
  if (qt_dialog_stand_ins == nullptr || !qt_dialog_stand_ins->open_file(chosen)) {
    const QString folder = dialog->initial_dir != nullptr && dialog->initial_dir[0] != '\0'
                               ? QString::fromUtf8(dialog->initial_dir)
                               : QDir::currentPath();
    QFileDialog box(owner_widget(dialog->owner),
                    QString::fromUtf8(dialog->title != nullptr ? dialog->title : ""), folder);
    box.setOption(QFileDialog::DontUseNativeDialog, true);
    // The filter reads as the program names it; the caseless globs behind it stay hidden.
    box.setOption(QFileDialog::HideNameFilterDetails, true);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save && dialog->file[0] != '\0') box.selectFile(QString::fromUtf8(dialog->file));
    if (save && dialog->default_ext != nullptr) box.setDefaultSuffix(QString::fromUtf8(dialog->default_ext));
    QStringList filters =
        QString::fromStdString(qt_dialog_filter(dialog->filter)).split(";;", Qt::SkipEmptyParts);
    if (!filters.isEmpty()) {
      box.setNameFilters(filters);
      int index =
          dialog->filter_index >= 1 && dialog->filter_index <= filters.size() ? dialog->filter_index : 1;
      box.selectNameFilter(filters[index - 1]);
    }
    int depth = qt_gate_suspend();
    bool accepted = box.exec() == QDialog::Accepted && !box.selectedFiles().isEmpty();
    qt_gate_resume(depth);
    if (!accepted) return false;
    chosen = box.selectedFiles().first().toStdString();
  }
  if (chosen.empty()) return false;
  *title = QFileInfo(QString::fromStdString(chosen)).fileName().toStdString();
  *path = chosen;
  return true;
}

namespace {

QImage rgb_image(const uint8_t* rgb, int32_t width, int32_t height) {
  if (rgb == nullptr || width <= 0 || height <= 0) return {};
  QImage image(width, height, QImage::Format_RGB888);
  const size_t row = 3 * static_cast<size_t>(width);
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(image.scanLine(y), rgb + row * static_cast<size_t>(y), row);
  return image;
}

QSettings& settings() {
  static QSettings kept(QStringLiteral("moxflic"), QStringLiteral("moxflic"));
  return kept;
}

}  // namespace

int32_t qt_set_clipboard_image(const uint8_t* rgb, int32_t width, int32_t height) {
  QImage image = rgb_image(rgb, width, height);
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (image.isNull() || clipboard == nullptr) return 0;
  clipboard->setImage(image);
  return 1;
}

int32_t qt_save_png(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
  QImage image = rgb_image(rgb, width, height);
  if (image.isNull() || path == nullptr) return 0;
  QImageWriter writer(QFile::decodeName(path), "png");
  return writer.write(image) ? 1 : 0;
}

bool qt_get_setting(const char* key, std::string* value) {
  if (QCoreApplication::instance() == nullptr) return false;
  const QVariant kept = settings().value(QString::fromUtf8(key));
  if (!kept.isValid()) return false;
  *value = kept.toString().toStdString();
  return true;
}

void qt_set_setting(const char* key, const char* value) {
  if (QCoreApplication::instance() == nullptr) return;
  if (value == nullptr) {
    settings().remove(QString::fromUtf8(key));
  } else {
    settings().setValue(QString::fromUtf8(key), QString::fromUtf8(value));
  }
  settings().sync();
}
