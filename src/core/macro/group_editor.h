#pragma once
// The editor of the open group: what the macro page's commands do to the macros of the group
// open in the library — the step list's menu commands on the selected line, the in-place edits
// of list lines, the LED popups, the name and loop-count boxes, the play modes, new and delete
// macro — with the system's messages and the saves into the group file. The page only puts
// what the editor holds into its widgets (the texts come from macro_text.h).
//
// Saves: the macro being edited reaches its group file before another macro is selected or
// made, on every change of the loop count, on a valid change of its name, and whenever the
// library saves it (a group switch, a language switch, the start of a download, leaving the
// page, shutdown). Step edits, play-mode changes and renames in the list stay in memory until
// then. Deleting a macro rewrites the group file at once.
//
// While a macro is recorded the editor's commands are ignored (the macro list's selection is
// refused with "Recording") and the step list's menu does not open.
//
// Owned by the user-interface thread, like the library.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/macro/macro_record.h"
#include "core/macro/macro_recorder.h"
#include "core/macro/step_commands.h"

namespace quillet {

class MacroLibrary;
class MessageService;

inline constexpr const char* kMsgRecording = "Recording";
// Shown when a CPI line is edited to a value the mouse has no step for.
inline constexpr const char* kMsgCpiValues = "CPI(:200/400/600/800/1000/1200/1600/2000/2400/3200/4000/4800)";
inline constexpr const char* kNewMacroName = "New";

// The longest time an LED entry holds: its byte counts tenths of a second.
constexpr int kMaxLedTimeSeconds = 25;

// How a macro plays, as the page's three play-mode regions set it.
enum class PlayModeChoice : std::uint8_t {
  LoopCount,  // mode 0: loopCount rounds per press
  Toggle,     // mode 1: a press starts it, the next press stops it
  WhileHeld,  // mode 2: it repeats while the button is held
};

// What a step-list command did.
struct StepCommandResult {
  bool changed = false;           // the macro changed: the step list is rebuilt
  std::optional<int> editLine;    // the command edits this line in place (32804, 32805)
};

// The loop-count box: enabled (showing the loop count) in mode 0, else disabled showing "1".
struct LoopCountBox {
  bool enabled = false;
  std::string text = "1";
};

class GroupEditor {
 public:
  GroupEditor(MacroLibrary& library, MessageService& messages);

  // The macro shown, or null when the open group has none.
  Macro* current();
  const Macro* current() const;
  int currentIndex() const;

  // ---- the macro list and the boxes ----

  // The user selected macro `index`: the macro being left is saved first. False when the index
  // is not a macro of the group, and while recording ("Recording": the selection goes back).
  bool selectMacro(int index);
  // Another macro is shown (a new group, a switch, a reload): the step list's selection goes
  // to its last line, the LED list to none.
  void macroShown();
  // Region 6: a macro "New" after the others, made current. Needs a group; "More than limit!"
  // with 12 macros, "'New' Double name!" when the group has one of that name. The macro being
  // left is saved first. A new macro plays once.
  bool newMacro();
  // Region 7: the current macro goes, the one before it becomes current, and the group file
  // is rewritten with the macros that remain.
  bool deleteMacro();
  // The in-place edit of macro `index`'s line ended with `text`: it becomes the name when it
  // has at most 9 characters (UTF-16 code units); otherwise "More than limit!" and false (the
  // line shows the old name again).
  bool renameInList(int index, std::string_view text);
  // The macro-name box's edit ended with `text`: an empty text, " " or the name of a macro of
  // the group (the current one included) is refused; otherwise it becomes the current macro's
  // name and the macro is saved. Returns the text the box shows afterwards.
  std::string nameBoxEdited(std::string_view text);
  // The loop-count box changed to `text` as it is being typed: its number (at most 65535)
  // becomes the loop count in memory; an empty box or 0 changes nothing yet, so that a count
  // can be typed anew after clearing the box. Returns the corrected text when the box must show
  // another one (above 65535).
  std::optional<std::string> loopBoxTyped(std::string_view text);
  // The loop-count box's edit ended with `text`: its number (at least 1, at most 65535) becomes
  // the loop count and the macro is saved. Returns the text the box shows afterwards.
  std::optional<std::string> loopBoxFinished(std::string_view text);
  LoopCountBox loopBox() const;
  // Regions 10, 11, 12: the play mode of the current macro. The continuous modes play one
  // round per start (loop count 1); mode 0 clears the continuous modes' flag too.
  void setPlayMode(PlayModeChoice choice);

  // ---- recording ----

  bool recording() const { return recorder_.recording(); }
  // Region 5 while not recording: the current macro becomes the blank record that the keys
  // played fill. False (nothing starts) when the open group has no macro.
  bool startRecording();
  // Region 5 while recording, and whatever ends the recording (the window hides or closes).
  void stopRecording();
  // A keyboard message while recording; a recorded step selects the step list's last line.
  MacroRecorder::Outcome recordKey(unsigned message, std::uint8_t vkCode, std::uint32_t timeOfDayMs);
  const MacroRecorder& recorder() const { return recorder_; }

  // ---- the step list ----

  int selectedLine() const { return selectedLine_; }
  // The line the user selected in the step list.
  void selectLine(int line);
  // Lines of the current macro's step list.
  int lineCount() const;
  // The row the LED list shows: the row of the selected step when it is an LED step, else -1.
  int ledRowShown() const;
  const LedRow* ledRow() const;
  // The menu opens on a right release over line `lineUnderCursor` (-1: below the lines) when
  // that is a line or the list is empty.
  bool stepMenuOpens(int lineUnderCursor) const;
  // A command of the step list's menu, on the selected line.
  StepCommandResult runCommand(int command);
  // Whether the menu offers `command` on the selected line: every command but Change
  // parameters on an LED step's line, whose data is edited in the LED list (an edit of the line
  // would throw its text away). The menu keeps its other items where they are, for the keyboard.
  bool commandOffered(int command) const;
  // The in-place edit of step-list line `line` ended with `text` (a pause line: its delay; a
  // step line: the step's parameters). True when the macro changed.
  bool stepLineEdited(int line, std::string_view text);
  // The in-place edit of LED-list line `ledLine` ended with `text`: line 3 sets the time of
  // the shown row's first entry in seconds. True when the row changed.
  bool ledLineEdited(int ledLine, std::string_view text);
  // Whether a right release on LED-list line `ledLine` opens a popup: lines 1 (effect) and 2
  // (colour), with an LED step selected.
  bool ledPopupOpens(int ledLine) const;
  // Row `row` (1-based) of the effect popup: the entry's mode becomes 1, 2, 3, 6, 7, 9 for rows
  // 1..6 and 7 for the others. Of the colour popup: rows 1..7 are the colour index.
  void ledEffectChosen(int row);
  void ledColourChosen(int row);

 private:
  // The selected line's step, within the macro; -1 without steps.
  int selectedStep() const;
  bool insert(const StepInsertCommand& command);
  bool editStep(int step, std::string_view text);
  // Writes the macro being edited into its group file; a failed write is said ("Error!" and the
  // file), so callers that only go on may leave the result.
  bool saveCurrent();

  // True (and "Recording" shown when `say`) while recording: the command is ignored.
  bool refusedWhileRecording(bool say = false) const;
  // The open macro whose loop count the box edits: none while recording or in another play mode.
  Macro* loopCountMacro();

  MacroLibrary& library_;
  MessageService& messages_;
  MacroRecorder recorder_;
  int selectedLine_ = 0;
};

}  // namespace quillet
