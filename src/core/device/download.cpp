#include "core/device/download.h"

#include <algorithm>
#include <iterator>

#include "core/device/block_writer.h"
#include "core/device/configuration.h"
#include "core/io/desktop_mouse.h"
#include "core/io/ini.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_library.h"
#include "core/settings/settings_file.h"

namespace quillet {

std::optional<std::uint8_t> macroPlayMode(const MacroLibrary& library, ButtonFunction code) {
  if (function_code::isLibraryMacro(code)) {
    if (!libraryMacroExists(library.groups(), library.macroNames(), code)) {
      return std::nullopt;
    }
    return readLibraryMacro(library.folders().macroFolder, code).playMode;
  }
  const int builtin = code - function_code::kFirstBuiltinMacro;
  if (imageSourceOf(code) == ImageSource::Builtin && builtin < library.builtins().count) {
    return library.builtins().macros[static_cast<std::size_t>(builtin)].playMode;
  }
  return std::nullopt;
}

int clearDeadMacroAssignments(ProfileSettings& settings, const MacroLibrary& library) {
  int cleared = 0;
  for (auto& profile : settings.buttonFunction) {
    for (std::int32_t& code : profile) {
      if (function_code::isLibraryMacro(code) && !libraryMacroExists(library.groups(), library.macroNames(), code)) {
        code = function_code::kNone;
        ++cleared;
      }
    }
  }
  return cleared;
}

void deriveDownloadState(const ProfileSettings& settings, const MacroLibrary& library, DownloadState& state) {
  deriveKeySlots(
      settings, [&library](ButtonFunction code) { return macroPlayMode(library, code); }, state);
}

int desktopPointerSpeed(std::uint8_t pointerSpeed) {
  if (pointerSpeed == 0) {
    return 1;
  }
  return pointerSpeed <= 8 ? 2 * pointerSpeed : 18;
}

DownloadPlan planDownload(DownloadContext& c) {
  DownloadPlan plan;
  // 1. The macro being edited goes into its group file first, so the mouse gets what the
  //    editor shows.
  if (c.writeFiles && c.library.groups().groupCount > 0) {
    if (!c.library.saveCurrentMacro()) {
      if (const std::optional<MacroGroup> open = c.library.group(c.library.groups().currentGroup)) {
        plan.unsaved.push_back(open->file);
      }
    }
    c.library.readMacroNames();
  }
  // 2. The current profile, as the mouse will hold it.
  if (c.writeFiles && !saveCurrentProfile(c.app)) {
    plan.unsaved.push_back(c.app.configPath);
  }
  // 3.-5. Device bytes of all four profiles.
  clearDeadMacroAssignments(c.settings, c.library);
  const MacroLibrary& library = c.library;
  deriveDownloadState(c.settings, library, c.state);
  c.settings.cycleColorMask = c.settings.cycleColorMaskFromFlags();

  // 6. The configuration area.
  plan.blocks = configurationBlocks(c.settings, c.state, c.app.currentProfile, c.app.deviceValue);
  // 7.-8. Descriptors, then images.
  plan.layout = planMacroLayout(c.state.slotFunction, c.state.deviceFunction, c.app.currentProfile,
                                library.folders().macroFolder, library.builtins());
  std::vector<PlannedBlock> descriptors = descriptorBlocks(plan.layout);
  plan.blocks.insert(plan.blocks.end(), std::make_move_iterator(descriptors.begin()),
                     std::make_move_iterator(descriptors.end()));
  ImageBlocks images = imageBlocks(plan.layout);
  for (const char* message : images.messages) {
    c.messages.show(message);
  }
  plan.blocks.insert(plan.blocks.end(), std::make_move_iterator(images.blocks.begin()),
                     std::make_move_iterator(images.blocks.end()));
  // "LED地址越界!": nothing after the failing image goes to the mouse or the files.
  plan.completed = images.completed;
  return plan;
}

bool sendDownload(const DownloadPlan& plan, BlockWriter& writer, const std::function<bool()>& endDownload,
                  const std::function<void(std::size_t, std::size_t)>& progress) {
  bool tookAll = sendBlocks(plan.blocks, writer, progress) == plan.blocks.size();
  // 9. The end of the download.
  if (plan.completed && endDownload) {
    tookAll = endDownload() && tookAll;
  }
  return tookAll;
}

DownloadResult finishDownload(DownloadContext& c, DownloadPlan plan, bool mouseTookAll) {
  DownloadResult result;
  result.completed = plan.completed;
  result.mouseTookAll = mouseTookAll;
  result.layout = std::move(plan.layout);
  result.unsaved = std::move(plan.unsaved);
  if (!result.completed) {
    return result;
  }
  // 10.-11. The desktop's pointer speed and wheel lines, where the desktop has them.
  // A desktop that refuses a value keeps its own; the mouse and the settings file have theirs.
  if (c.desktop != nullptr) {
    if (c.desktop->pointerSpeed()) {
      static_cast<void>(c.desktop->setPointerSpeed(desktopPointerSpeed(c.settings.pointerSpeed)));
    }
    if (c.desktop->wheelScrollLines()) {
      static_cast<void>(c.desktop->setWheelScrollLines(c.settings.wheelSpeed + 1));
    }
  }
  // 12. Repaint.
  if (c.repaint) {
    c.repaint();
  }
  // 13. The save.
  if (c.writeFiles && !saveSettings(c.app.configPath, c.app.currentProfileNumber, c.settings, c.app)) {
    if (std::find(result.unsaved.begin(), result.unsaved.end(), c.app.configPath) == result.unsaved.end()) {
      result.unsaved.push_back(c.app.configPath);
    }
  }
  return result;
}

DownloadResult downloadSettings(DownloadContext& c) {
  DownloadPlan plan = planDownload(c);
  const bool tookAll = sendDownload(plan, c.writer, c.endDownload);
  return finishDownload(c, std::move(plan), tookAll);
}

}  // namespace quillet
