#include "core/io/app_folder.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <system_error>

namespace quillet {
namespace fs = std::filesystem;

namespace {

bool isFolder(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

}  // namespace

fs::path executableFolder() {
  std::error_code ec;
#if defined(_WIN32)
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()))) == name.size()) {
    name.resize(name.size() * 2);
  }
  if (length == 0) {
    return fs::current_path(ec);
  }
  name.resize(length);
  const fs::path exe(name);
#else
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    return fs::current_path(ec);
  }
#endif
  return exe.parent_path();
}

fs::path installedDataFolder(const fs::path& exeFolder) {
  return (exeFolder.parent_path() / "share" / "quillet").lexically_normal();
}

AppFolders locateAppFolders(const fs::path& exeFolder, const std::optional<fs::path>& skins) {
  AppFolders f;
  f.appFolder = exeFolder;
  const fs::path installed = installedDataFolder(exeFolder);
  if (!isFolder(exeFolder / "skins") && isFolder(installed / "skins")) {
    f.appFolder = installed;
    f.installed = true;
  }
  f.skinFolder = f.appFolder / "skins";
  f.dataFolder = f.installed ? userDataFolder() : f.skinFolder;
  if (skins) {
    // A folder chosen by hand (tests use copies) is a complete skin with its own settings.
    f.skinFolder = f.dataFolder = *skins;
    f.installed = false;
  }
  return f;
}

fs::path userConfigHome() {
#if defined(_WIN32)
  // Windows keeps a user's application settings in the roaming application data folder.
  if (const wchar_t* appData = _wgetenv(L"APPDATA"); appData != nullptr && fs::path(appData).is_absolute()) {
    return appData;
  }
  return {};
#else
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && fs::path(xdg).is_absolute()) {
    return xdg;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fs::path(home) / ".config";
  }
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return fs::path(entry->pw_dir) / ".config";
  }
  return {};
#endif
}

fs::path userDataFolder() {
  const fs::path home = userConfigHome();
  return home.empty() ? fs::path() : home / "quillet";
}

}  // namespace quillet
