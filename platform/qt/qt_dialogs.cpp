// Message boxes, the open-file dialog and the program's own directory.
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <cctype>
#include <climits>
#include <cstring>
#include <deque>
#include <string>

#include "platform/common/window_input.h"
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

int32_t win_message_box(plat_window owner, const char* text, const char* caption, uint32_t type) {
  if (qt_dialog_stand_ins != nullptr && qt_dialog_stand_ins->message_box(text, caption, type))
    return WIN_IDOK;
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
  return WIN_IDOK;
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
      if (!one.empty()) globs += (globs.empty() ? "" : " ") + caseless(one);
      start = end + 1;
    }
    if (!out.empty()) out += ";;";
    out.append(description).append(" (").append(globs).append(")");
  }
  return out;
}

int32_t win_get_open_file_name(win_open_file* dialog) {
  if (dialog == nullptr || dialog->file == nullptr) return 0;
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
    box.setFileMode(QFileDialog::ExistingFile);
    box.setAcceptMode(QFileDialog::AcceptOpen);
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
    if (!accepted) return 0;
    chosen = box.selectedFiles().first().toStdString();
  }
  if (chosen.empty()) return 0;
  std::string title = QFileInfo(QString::fromStdString(chosen)).fileName().toStdString();
  if (chosen.size() >= dialog->file_size) return 0;
  if (dialog->file_title != nullptr && title.size() >= dialog->file_title_size) return 0;
  window_copy_fitting(dialog->file, dialog->file_size, chosen);
  if (dialog->file_title != nullptr) window_copy_fitting(dialog->file_title, dialog->file_title_size, title);
  return 1;
}

int32_t win_program_dir(char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return 0;
  exe[n] = '\0';
  char* slash = std::strrchr(exe, '/');
  if (slash == nullptr) return 0;
  *slash = '\0';
  return window_copy_fitting(out, size, exe) ? 1 : 0;
}
