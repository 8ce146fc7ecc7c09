#pragma once
// Where the program finds its shipped data and keeps the user's.
//
// A build runs from its build folder: the executables in build/bin with skins/ and
// constMacro.dat beside them, and everything, the user's settings and macros included, is read
// and written there. An installed copy lies in PREFIX/bin with its data in PREFIX/share/quillet
// (found relative to the executable, so any prefix works): it reads the skin from there and
// keeps the user's writable data under $XDG_CONFIG_HOME/quillet.
#include <filesystem>
#include <optional>

namespace quillet {

// The folder that holds the running executable, without a trailing separator.
std::filesystem::path executableFolder();

struct AppFolders {
  std::filesystem::path appFolder;   // constMacro.dat and skins/
  std::filesystem::path skinFolder;  // layouts, pictures, factory macro sets
  std::filesystem::path dataFolder;  // config/ and the macro folders: the user's
  bool installed = false;            // dataFolder is the user's own folder, seeded from skinFolder
};

// The data folder of an installed copy: PREFIX/share/quillet relative to `exeFolder` (PREFIX/bin).
std::filesystem::path installedDataFolder(const std::filesystem::path& exeFolder);

// The folders for an executable in `exeFolder`. A skins/ folder beside the executable is a
// build; otherwise an installed data folder (installedDataFolder) that holds skins/ makes an
// installed copy; otherwise the build's layout is assumed (and its skins/ found missing later).
// `skins` (--skins DIR) replaces the skin folder and holds the writable data too, installed or
// not.
AppFolders locateAppFolders(const std::filesystem::path& exeFolder,
                            const std::optional<std::filesystem::path>& skins = std::nullopt);

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config, else the user's home from
// the password database followed by .config; empty when there is no home at all.
std::filesystem::path userConfigHome();

// The user's folder of an installed copy: userConfigHome() / "quillet" (empty without a home).
std::filesystem::path userDataFolder();

}  // namespace quillet
