#include "core/device/macro_adjustment.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/device/block_writer.h"
#include "core/device/macro_image.h"
#include "core/io/ini.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"

namespace quillet {
namespace fs = std::filesystem;

void adjustMoves(Macro& macro, bool up) {
  const int used = std::min<int>(macro.eventCount, kMacroMaxSteps);
  for (int i = 0; i < used; ++i) {
    MacroEvent& e = macro.events[i];
    if (e.code != step_code::kMove) {
      continue;
    }
    if (up && e.y < 30) {
      ++e.y;
    } else if (!up && e.y > 0) {
      --e.y;
    }
  }
}

AdjustResult adjustMacro(ButtonFunction buttonZeroFunction, bool up, const AdjustTarget& target,
                         const fs::path& macroFolder, BlockWriter& writer, const Macro* mouseCopy) {
  AdjustResult result;
  if (!function_code::isLibraryMacro(buttonZeroFunction)) {
    return result;
  }
  const std::optional<MacroLocation> at = locateMacro(macroFolder, function_code::macroGroup(buttonZeroFunction) - 1,
                                                      function_code::macroIndex(buttonZeroFunction));
  if (!at) {
    return result;  // nothing stored there: nothing to adjust
  }
  result.up = up;
  result.macroFolder = macroFolder;
  result.group = at->group;
  result.index = at->index;
  result.macro = mouseCopy != nullptr ? *mouseCopy
                                      : parseMacroValue(ini::readString(at->file, kMacrosSection,
                                                                        std::to_string(at->index), "", kGroupValueBuffer));
  adjustMoves(result.macro, up);
  result.adjusted = true;

  // The image goes into the space the last download gave it, or not at all: a macro that has
  // grown since would overwrite the next image.
  MacroImage image = buildMacroImage(result.macro, target.address);
  if (target.size > 0 && image.bytes.size() <= target.size && !image.ledAddressOverflow) {
    image.bytes.resize(target.size, 0);
    std::vector<PlannedBlock> blocks;
    const int outside = appendBlocks(blocks, target.address, image.bytes);
    const std::size_t taken = sendBlocks(blocks, writer);
    // Written only when every block reached the mouse: a mouse that is gone took none.
    result.written = outside == 0 && taken == blocks.size();
  }
  return result;
}

bool storeAdjustment(const AdjustResult& result, EditedGroup* edited) {
  if (!result.adjusted) {
    return false;
  }
  // The macro is found again by group and index: the group may have been renamed since.
  const std::optional<MacroLocation> at = locateMacro(result.macroFolder, result.group, result.index);
  if (!at) {
    return false;
  }
  const std::string key = std::to_string(at->index);
  Macro stored = parseMacroValue(ini::readString(at->file, kMacrosSection, key, "", kGroupValueBuffer));
  adjustMoves(stored, result.up);
  const bool written = ini::writeString(at->file, kMacrosSection, key, serialiseMacro(stored));
  std::error_code ec;
  if (edited != nullptr && at->index < std::min<int>(edited->open.count, kGroupMaxMacros) &&
      fs::equivalent(edited->file, at->file, ec)) {
    adjustMoves(edited->open.slots[static_cast<std::size_t>(at->index)], result.up);
  }
  return written;
}

}  // namespace quillet
