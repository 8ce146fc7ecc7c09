#pragma once
// The standard dialogs the window asks the user through: open and save a file, pick a colour,
// open a web address. One interface, so that tests answer the dialogs from a script; QtDialogs
// is the real thing.
#include <QString>

#include <filesystem>
#include <optional>
#include <string>

#include "core/settings/profile_settings.h"

class QWidget;

namespace quillet {

struct FileDialogSpec {
  QString filter;         // "All Files(*.ini)"
  QString defaultSuffix;  // "ini", added when the user types a name without one
  std::filesystem::path folder;  // where the dialog starts
};

class DialogService {
 public:
  virtual ~DialogService() = default;
  // The chosen file, or nullopt when the user cancelled. The save dialog asks before it lets
  // the user pick a file that exists.
  virtual std::optional<std::filesystem::path> openFile(QWidget* parent, const FileDialogSpec& spec) = 0;
  virtual std::optional<std::filesystem::path> saveFile(QWidget* parent, const FileDialogSpec& spec) = 0;
  // The colour dialog, starting from black; nullopt when the user cancelled.
  virtual std::optional<ColorRef> pickColor(QWidget* parent) = 0;
  // Opens `url` in the desktop's browser; false when the desktop could not.
  virtual bool openUrl(const std::string& url) = 0;
};

class QtDialogs final : public DialogService {
 public:
  std::optional<std::filesystem::path> openFile(QWidget* parent, const FileDialogSpec& spec) override;
  std::optional<std::filesystem::path> saveFile(QWidget* parent, const FileDialogSpec& spec) override;
  std::optional<ColorRef> pickColor(QWidget* parent) override;
  bool openUrl(const std::string& url) override;
};

}  // namespace quillet
