#pragma once
// The settings download: the whole settings model of the four profiles, and the macros its
// buttons play, written into the mouse; then the desktop's pointer speed and wheel lines, and
// the save of the settings file. Runs on the thread that owns the settings model.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "settings/app_state.h"
#include "settings/profile_settings.h"
#include "device/download_state.h"
#include "macro/macro_image.h"

namespace quillet {

class BlockWriter;
class DesktopMouseSettings;
class MacroLibrary;
class MessageService;

struct DownloadContext {
  ProfileSettings& settings;
  AppState& app;
  DownloadState& state;
  MacroLibrary& library;
  BlockWriter& writer;
  // Closes the download in the mouse: Finish, 10 ms, the end with address 0. Returns whether the
  // mouse took both reports.
  std::function<bool()> endDownload;
  // The desktop's mouse settings; null leaves them alone.
  DesktopMouseSettings* desktop = nullptr;
  MessageService& messages;
  // Called once the mouse has its settings, before the save (the window repaints here).
  std::function<void()> repaint;
  // False for a dry run: no macro write-back, no CurConfig, no settings save.
  bool writeFiles = true;
};

struct DownloadResult {
  // False when an image's LED data would pass the end of the mouse's memory: the download
  // stopped there, without Finish, desktop settings or save.
  bool completed = true;
  // False when the mouse did not take a block or the end of the download (it is gone, or was
  // never there).
  bool mouseTookAll = true;
  // The files the download could not write (the macro being edited, CurConfig, the settings
  // save), in the order tried. A file that could not be written is as it was before.
  std::vector<std::filesystem::path> unsaved;
  MacroLayout layout;  // where the images went; the live adjustment rewrites layout.adjustTarget

  bool saved() const { return unsaved.empty(); }
};

DownloadResult downloadSettings(DownloadContext& context);

// The play-mode byte of the macro a macro function code names, as the library and the
// built-in macros hold it now; nullopt for a code that names no macro.
std::optional<std::uint8_t> macroPlayMode(const MacroLibrary& library, ButtonFunction code);

// Gives 0 to every button whose library macro no longer exists (its group or its macro is
// gone). Returns how many buttons changed.
int clearDeadMacroAssignments(ProfileSettings& settings, const MacroLibrary& library);

// The key slots and button flags of the settings as they stand, with the macros' play modes
// from the library. A download does this as part of its work; start-up does it too, so that
// the device threads serve the hold, DPI and profile buttons the mouse already holds from the
// last download, without a new one.
void deriveDownloadState(const ProfileSettings& settings, const MacroLibrary& library, DownloadState& state);

// The desktop pointer speed (Windows scale 1..20) for a speed level of the settings model:
// 0 -> 1, 1 -> 2, 2 -> 4, ... 8 -> 16, anything else -> 18.
int desktopPointerSpeed(std::uint8_t pointerSpeed);

}  // namespace quillet
