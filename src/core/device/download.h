#pragma once
// The settings download: the whole settings model of the four profiles, and the macros its
// buttons play, written into the mouse; then the desktop's pointer speed and wheel lines, and
// the save of the settings file. Runs on the thread that owns the settings model.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "core/device/block_writer.h"
#include "core/device/download_state.h"
#include "core/device/macro_layout.h"
#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"

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
  // Closes the download in the mouse: Finish, 10 ms, the end with address 0. False when the
  // mouse did not take it.
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
  // False when the mouse did not take a block or the end of the download (it is absent or went
  // away): the settings are saved all the same, and the next download writes them.
  bool mouseTookAll = true;
  // The files the download could not write (the macro being edited, CurConfig, the settings
  // save), in the order tried. A file that could not be written is as it was before.
  std::vector<std::filesystem::path> unsaved;
  MacroLayout layout;  // where the images went; the live adjustment rewrites layout.adjustTarget

  bool saved() const { return unsaved.empty(); }
};

// The whole download, in its order: planDownload, sendDownload, finishDownload.
DownloadResult downloadSettings(DownloadContext& context);

// What a download writes into the mouse, in the order it is sent: the configuration area, the
// button descriptors, the macro images. `completed` is false when an image's LED data would
// pass the end of the memory: the blocks before it are sent, and nothing after them.
struct DownloadPlan {
  std::vector<PlannedBlock> blocks;
  bool completed = true;
  MacroLayout layout;
  std::vector<std::filesystem::path> unsaved;  // files the work before the mouse could not write
};

// The download's work before the mouse, on the thread that owns the model: the macro being
// edited saved, CurConfig, the device bytes of the four profiles, and every block they give.
// context.writer is not used: nothing reaches the mouse yet.
DownloadPlan planDownload(DownloadContext& context);

// The mouse's part, on any thread: every planned block through `writer` in order, with the
// block write's pauses, `progress(sent, total)` after each; then `endDownload` (Finish, 10 ms,
// the end) when the plan completed. Touches nothing but the writer. Returns whether the writer
// took every block and the end did not fail.
[[nodiscard]] bool sendDownload(const DownloadPlan& plan, BlockWriter& writer, const std::function<bool()>& endDownload,
                  const std::function<void(std::size_t, std::size_t)>& progress = {});

// The work after the mouse, on the owner's thread: the desktop's pointer speed and wheel
// lines, the repaint and the save of the whole model, when the plan completed.
DownloadResult finishDownload(DownloadContext& context, DownloadPlan plan, bool mouseTookAll);

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
