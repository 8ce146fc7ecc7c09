#pragma once
// The live adjustment of the macro on button 0: the device thread that serves the mouse moves
// the vertical distance of its move steps and rewrites its image in place; the owner of the
// settings model then stores the change in the macro's group file.
#include <filesystem>

#include "core/device/macro_layout.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_record.h"
#include "core/settings/button_function.h"

namespace quillet {

class BlockWriter;

// Moves the vertical distance of every move step one up (at most to 30) or down (not below 0).
void adjustMoves(Macro& macro, bool up);

struct AdjustResult {
  bool adjusted = false;  // a library macro was found and changed
  bool written = false;   // its new image went into the mouse
  bool up = false;        // the direction of this adjustment
  std::filesystem::path macroFolder;
  int group = -1;
  int index = -1;
  Macro macro;            // the changed macro, as its new image has it
};

// The live adjustment, on the device thread that serves the mouse: when button 0 of the
// current profile holds a library macro, its move steps are adjusted, its image rebuilt at the
// remembered address and written when it fits the remembered size. The macro adjusted is
// `mouseCopy` (the macro as the last adjustment left it in the mouse) or, without one, the
// macro's copy in its file. The image carries the LED steps and their data as the download's
// image does, so that it stays what the descriptor's step count describes.
//
// Nothing is written to any file here: the owner of the model stores the result
// (storeAdjustment) on its own thread, where the macro page edits the same group.
AdjustResult adjustMacro(ButtonFunction buttonZeroFunction, bool up, const AdjustTarget& target,
                         const std::filesystem::path& macroFolder, BlockWriter& writer,
                         const Macro* mouseCopy = nullptr);

// The group open in an editor: its macros in memory and its file.
struct EditedGroup {
  OpenGroup& open;
  std::filesystem::path file;
};

// On the owner's thread: stores an adjustment that a device thread made. The macro's copy in
// its file, as the file is now (with whatever was saved into it since), gets the same change
// and is written back under its key, macroNum unchanged; when `edited` is that macro's group,
// its copy in memory gets the change as well and keeps every unsaved edit. So neither the
// adjustment nor an edit of the same group overwrites the other, whichever comes first. False
// when the macro is no longer in the library or its file could not be written.
[[nodiscard]] bool storeAdjustment(const AdjustResult& result, EditedGroup* edited);

}  // namespace quillet
