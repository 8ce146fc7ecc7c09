#include "core/skin/startup.h"

#include <array>
#include <optional>
#include <system_error>

#include "core/device/device_link.h"
#include "core/io/file_io.h"

namespace quillet {

int uiFontTenthsOfPoint(double scale) {
  if (scale == 1.0) {
    return 85;
  }
  if (scale == 1.25) {
    return 63;
  }
  if (scale == 1.5) {
    return 53;
  }
  if (scale == 1.75 || scale == 2.0) {
    return 43;
  }
  if (scale > 2.0 && scale < 3.0) {
    return 30;
  }
  if (scale == 3.0) {
    return 20;
  }
  return 10;
}

bool commandLineRequestsHide(std::string_view commandLine) {
  const std::size_t dash = commandLine.rfind('-');
  const std::string_view rest = dash == std::string_view::npos ? commandLine : commandLine.substr(dash + 1);
  return rest.substr(0, 4) == "HIDE";
}

std::string noMouseMessage(Language language) {
  if (language != kChinese) {
    return std::string("Please plug-in【") + kWindowTitle + "】USB Mouse";
  }
  return std::string("请插入【") + kWindowTitle + "】USB鼠标";
}

std::string applyNotTakenMessage(Language language) {
  if (language != kChinese) {
    return "The mouse did not take all the settings. They are saved; press Apply again once the mouse is back.";
  }
  return "鼠标未能接收全部设置。设置已保存，鼠标重新连接后请再次点击应用。";
}

namespace {
namespace fs = std::filesystem;

// The writable parts of a skin folder, relative to it.
constexpr const char* kConfigFolder = "config";
constexpr std::array<const char*, 2> kMacroFolders = {"INI_EN/macro", "INI_CN/macro"};

}  // namespace

bool seedUserData(const AppFolders& folders, std::string& problem) {
  if (!folders.installed) {
    return true;
  }
  if (folders.dataFolder.empty()) {
    problem = "there is no home folder for the settings ($XDG_CONFIG_HOME and $HOME are not set)";
    return false;
  }
  std::error_code ec;
  const fs::path config = folders.dataFolder / kConfigFolder;
  fs::create_directories(config, ec);
  if (!fs::is_directory(config, ec)) {
    problem = "cannot make the settings folder " + config.string();
    return false;
  }
  for (fs::directory_iterator it(folders.skinFolder / kConfigFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path target = config / it->path().filename();
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc) || fs::exists(fs::symlink_status(target, typeEc))) {
      continue;  // never overwrite what the user has
    }
    const std::optional<std::string> bytes = fileio::readFile(it->path());
    if (!bytes || !fileio::writeFileAtomic(target, *bytes)) {
      problem = "cannot copy " + it->path().string() + " to " + target.string();
      return false;
    }
  }
  for (const char* relative : kMacroFolders) {
    const fs::path shipped = folders.skinFolder / relative;
    const fs::path target = folders.dataFolder / relative;
    std::error_code typeEc;
    if (!fs::is_directory(shipped, typeEc) || fs::exists(fs::symlink_status(target, typeEc))) {
      continue;
    }
    fs::create_directories(target.parent_path(), typeEc);
    fileio::removeStaleTemporaryFolders(target.parent_path());
    const fs::path staged = fileio::temporarySibling(target);
    if (!fileio::copyTree(shipped, staged) || !fileio::replaceFolder(target, staged)) {
      fs::remove_all(staged, typeEc);
      problem = "cannot copy the macro folder " + shipped.string() + " to " + target.string();
      return false;
    }
  }
  return true;
}

void useFolders(DataPaths& paths, const AppFolders& folders) {
  paths.appFolder = folders.appFolder;
  paths.setFolders(folders.skinFolder, folders.dataFolder);
}

std::string udevRuleHint() {
  return std::string("The udev rule ") + kUdevRuleName + " gives the mouse to the logged-in user; the package installs it in " +
         kUdevRuleFolder + ". Install it there or in /etc/udev/rules.d, then plug the mouse in again.";
}

std::string mouseNotOpenedMessage(Language language, std::string_view problem) {
  if (language != kChinese) {
    return std::string("The【") + kWindowTitle + "】was found but may not be opened:\n" + std::string(problem) + "\n\n" +
           udevRuleHint();
  }
  return std::string("已找到【") + kWindowTitle + "】，但无法打开：\n" + std::string(problem) + "\n\nudev 规则 " +
         kUdevRuleName + " 将鼠标交给当前登录的用户；安装包会把它装到 " + kUdevRuleFolder +
         "。请将它装到该处或 /etc/udev/rules.d，然后重新插入鼠标。";
}

}  // namespace quillet
