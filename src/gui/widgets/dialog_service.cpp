#include "gui/widgets/dialog_service.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace quillet {

namespace {

std::optional<std::filesystem::path> run(QWidget* parent, const FileDialogSpec& spec, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilter(spec.filter);
  dialog.setDefaultSuffix(spec.defaultSuffix);
  dialog.setDirectory(QString::fromStdString(spec.folder.string()));
  // The save dialog asks before it overwrites (Qt's default); neither offers to open read-only.
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

}  // namespace

std::optional<std::filesystem::path> QtDialogs::openFile(QWidget* parent, const FileDialogSpec& spec) {
  return run(parent, spec, QFileDialog::AcceptOpen);
}

std::optional<std::filesystem::path> QtDialogs::saveFile(QWidget* parent, const FileDialogSpec& spec) {
  return run(parent, spec, QFileDialog::AcceptSave);
}

std::optional<ColorRef> QtDialogs::pickColor(QWidget* parent) {
  const QColor c = QColorDialog::getColor(Qt::black, parent);
  if (!c.isValid()) {
    return std::nullopt;
  }
  return makeColorRef(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                      static_cast<std::uint8_t>(c.blue()));
}

bool QtDialogs::openUrl(const std::string& url) {
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace quillet
