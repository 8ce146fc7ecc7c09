#include "core/macro/group_editor.h"

#include <algorithm>
#include <array>

#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/macro/macro_library.h"
#include "core/macro/macro_text.h"
#include "core/macro/step_edit.h"

namespace quillet {

namespace {

constexpr int kLoopCountMax = 65535;
// The effect popup's rows 1..6 and the mode byte each stores; every other row stores 7.
constexpr std::array<std::uint8_t, 6> kLedEffectOfRow{1, 2, 3, 6, 7, 9};
constexpr std::uint8_t kLedEffectOtherRows = 7;
constexpr int kLedColourRows = 7;
constexpr std::size_t kLedFirstModeByte = 4;
constexpr std::size_t kLedFirstColourByte = 5;
constexpr std::size_t kLedFirstTimeByte = 6;

// The number after the first `mark` of `text` (atoi's reading: blanks, a sign, the digits), or
// 0 when there is no mark.
int numberAfter(std::string_view text, char mark, std::size_t from = 0) {
  const std::size_t at = text.find(mark, from);
  return at == std::string_view::npos ? 0 : ini::toInt(text.substr(at + 1));
}

bool isKeyOrButtonStep(const MacroEvent& e) {
  return e.code != step_code::kPause && e.code != step_code::kMove && e.code != step_code::kCpi &&
         e.code != step_code::kLed && (e.type == step_type::kPress || e.type == step_type::kRelease);
}

// Change parameters edits the lines of steps with parameters typed into the line (codes above
// 128: the mouse buttons, moves and CPI steps) and the key steps, whose key can be typed. An LED
// step's line only names its row: its data is edited in the LED list, so the line is not offered.
bool stepLineEditable(const MacroEvent& e) { return e.code != step_code::kLed && (e.code > 128 || isKeyOrButtonStep(e)); }

// A distance typed into a move line: 0..100, "More than limit!" above.
std::int16_t moveDistance(int typed, MessageService& messages) {
  if (typed > kMaxMoveDistance) {
    messages.show(kMsgMoreThanLimit);
    return kMaxMoveDistance;
  }
  return static_cast<std::int16_t>(std::max(typed, 0));  // distances are magnitudes
}

}  // namespace

GroupEditor::GroupEditor(MacroLibrary& library, MessageService& messages) : library_(library), messages_(messages) {}

Macro* GroupEditor::current() {
  OpenGroup& open = library_.openMacros();
  if (library_.groups().groupCount == 0 || open.current < 0 || open.current >= std::min<int>(open.count, kGroupMaxMacros)) {
    return nullptr;
  }
  return &open.slots[static_cast<std::size_t>(open.current)];
}

const Macro* GroupEditor::current() const { return const_cast<GroupEditor*>(this)->current(); }

int GroupEditor::currentIndex() const { return current() != nullptr ? library_.openMacros().current : -1; }

bool GroupEditor::saveCurrent() { return library_.saveCurrentMacroOrSay(); }

// ---- the macro list and the boxes ----

bool GroupEditor::selectMacro(int index) {
  if (refusedWhileRecording(true)) {
    return false;
  }
  const OpenGroup& open = library_.openMacros();
  if (library_.groups().groupCount == 0 || index < 0 || index >= std::min<int>(open.count, kGroupMaxMacros)) {
    return false;
  }
  saveCurrent();
  library_.selectMacro(index);
  macroShown();
  return true;
}

void GroupEditor::macroShown() { selectedLine_ = std::max(lineCount() - 1, 0); }

bool GroupEditor::newMacro() {
  if (refusedWhileRecording()) {
    return false;
  }
  if (library_.groups().groupCount == 0) {
    return false;
  }
  OpenGroup& open = library_.openMacros();
  if (open.count >= kGroupMaxMacros) {
    messages_.show(kMsgMoreThanLimit);
    return false;
  }
  for (int k = 0; k < open.count; ++k) {
    if (macroName(open.slots[static_cast<std::size_t>(k)]) == kNewMacroName) {
      messages_.show(std::string("'") + kNewMacroName + kMsgDoubleNameQuotedEnd);
      return false;
    }
  }
  // The macro being left keeps its edits: it is no longer the one the saves write.
  saveCurrent();
  const int k = open.count;
  clearSlot(open, k);
  Macro& made = open.slots[static_cast<std::size_t>(k)];
  setMacroName(made, kNewMacroName);
  made.loopCount = 1;
  ++open.count;
  open.current = k;
  selectedLine_ = 0;
  return true;
}

bool GroupEditor::deleteMacro() {
  if (refusedWhileRecording()) {
    return false;
  }
  OpenGroup& open = library_.openMacros();
  const int count = std::min<int>(open.count, kGroupMaxMacros);
  if (library_.groups().groupCount == 0 || count == 0) {
    return false;
  }
  const int k = std::clamp<int>(open.current, 0, count - 1);
  std::move(open.slots.begin() + k + 1, open.slots.begin() + count, open.slots.begin() + k);
  clearSlot(open, count - 1);
  open.count = static_cast<std::int16_t>(count - 1);
  open.current = std::max(k - 1, 0);
  library_.saveOpenGroupOrSay();
  macroShown();
  return true;
}

bool GroupEditor::renameInList(int index, std::string_view text) {
  if (refusedWhileRecording()) {
    return false;
  }
  OpenGroup& open = library_.openMacros();
  if (index < 0 || index >= std::min<int>(open.count, kGroupMaxMacros)) {
    return false;
  }
  if (!setMacroName(open.slots[static_cast<std::size_t>(index)], text)) {
    messages_.show(kMsgMoreThanLimit);
    return false;
  }
  return true;
}

std::string GroupEditor::nameBoxEdited(std::string_view text) {
  Macro* m = current();
  if (m == nullptr) {
    return "";
  }
  const std::string now = macroName(*m);
  if (refusedWhileRecording() || text.empty() || text == " ") {
    return now;
  }
  const OpenGroup& open = library_.openMacros();
  for (int k = 0; k < open.count && k < kGroupMaxMacros; ++k) {
    if (macroName(open.slots[static_cast<std::size_t>(k)]) == text) {
      return now;
    }
  }
  if (!setMacroName(*m, text)) {
    return now;  // longer than the box takes
  }
  saveCurrent();
  return std::string(text);
}

Macro* GroupEditor::loopCountMacro() {
  if (refusedWhileRecording()) {
    return nullptr;
  }
  Macro* m = current();
  return m != nullptr && play_mode::modeOf(m->playMode) == play_mode::kLoopCount ? m : nullptr;
}

std::optional<std::string> GroupEditor::loopBoxTyped(std::string_view text) {
  Macro* m = loopCountMacro();
  if (m == nullptr) {
    return std::nullopt;
  }
  const int typed = ini::toInt(text);
  if (typed < 1) {
    return std::nullopt;  // being typed: the count is set when the box holds one
  }
  const int v = std::min(typed, kLoopCountMax);
  m->loopCount = static_cast<std::uint16_t>(v);
  if (v != typed) {
    return std::to_string(v);
  }
  return std::nullopt;
}

std::optional<std::string> GroupEditor::loopBoxFinished(std::string_view text) {
  Macro* m = loopCountMacro();
  if (m == nullptr) {
    return std::nullopt;
  }
  const int typed = ini::toInt(text);
  const int v = std::clamp(typed, 1, kLoopCountMax);
  m->loopCount = static_cast<std::uint16_t>(v);
  saveCurrent();
  const std::string shown = std::to_string(v);
  if (shown != text) {
    return shown;
  }
  return std::nullopt;
}

LoopCountBox GroupEditor::loopBox() const {
  const Macro* m = current();
  if (m == nullptr || play_mode::modeOf(m->playMode) != play_mode::kLoopCount) {
    return LoopCountBox{};
  }
  return LoopCountBox{true, std::to_string(m->loopCount)};
}

void GroupEditor::setPlayMode(PlayModeChoice choice) {
  if (refusedWhileRecording()) {
    return;
  }
  Macro* m = current();
  if (m == nullptr) {
    return;
  }
  switch (choice) {
    case PlayModeChoice::WhileHeld:
      m->playMode = static_cast<std::uint8_t>((m->playMode & 0xF8) | play_mode::kWhileHeld);
      m->loopCount = 1;
      break;
    case PlayModeChoice::Toggle:
      m->playMode = static_cast<std::uint8_t>((m->playMode & 0xF8) | play_mode::kToggle);
      m->loopCount = 1;
      break;
    case PlayModeChoice::LoopCount:
      m->playMode = static_cast<std::uint8_t>(m->playMode & 0xF4);
      break;
  }
}

// ---- recording ----

bool GroupEditor::refusedWhileRecording(bool say) const {
  if (!recording()) {
    return false;
  }
  if (say) {
    messages_.show(kMsgRecording);
  }
  return true;
}

bool GroupEditor::startRecording() {
  Macro* m = current();
  if (m == nullptr || recording()) {
    return false;
  }
  recorder_.start(*m);
  selectedLine_ = 0;
  return true;
}

void GroupEditor::stopRecording() { recorder_.stop(); }

MacroRecorder::Outcome GroupEditor::recordKey(unsigned message, std::uint8_t vkCode, std::uint32_t timeOfDayMs) {
  const MacroRecorder::Outcome outcome = recorder_.key(message, vkCode, timeOfDayMs);
  if (outcome == MacroRecorder::Outcome::Recorded) {
    selectedLine_ = lineCount() - 1;
  }
  return outcome;
}

// ---- the step list ----

int GroupEditor::lineCount() const {
  const Macro* m = current();
  return m != nullptr ? stepLineCount(std::min<int>(m->eventCount, kMacroMaxSteps)) : 0;
}

void GroupEditor::selectLine(int line) { selectedLine_ = std::clamp(line, 0, std::max(lineCount() - 1, 0)); }

int GroupEditor::selectedStep() const {
  const Macro* m = current();
  if (m == nullptr || m->eventCount == 0) {
    return -1;
  }
  return std::clamp(stepOfLine(selectedLine_), 0, std::min<int>(m->eventCount, kMacroMaxSteps) - 1);
}

int GroupEditor::ledRowShown() const {
  const int s = selectedStep();
  if (s < 0) {
    return -1;
  }
  const MacroEvent& e = current()->events[static_cast<std::size_t>(s)];
  return e.code == step_code::kLed && e.x >= 0 && e.x < kLedRowCount ? e.x : -1;
}

const LedRow* GroupEditor::ledRow() const {
  const int r = ledRowShown();
  return r >= 0 ? &current()->ledRows[static_cast<std::size_t>(r)] : nullptr;
}

bool GroupEditor::stepMenuOpens(int lineUnderCursor) const {
  // Not while recording: its commands would do nothing (the recorded macro has no LED step whose
  // limit the LED insert could report), and a menu takes the keyboard for itself while it is open.
  if (current() == nullptr || recording()) {
    return false;
  }
  const int lines = lineCount();
  return lines == 0 || (lineUnderCursor >= 0 && lineUnderCursor < lines);
}

bool GroupEditor::commandOffered(int command) const {
  const int s = selectedStep();
  if (command != step_command::kChangeParameters || s < 0 || isPauseLine(selectedLine_)) {
    return true;
  }
  return current()->events[static_cast<std::size_t>(s)].code != step_code::kLed;
}

StepCommandResult GroupEditor::runCommand(int command) {
  StepCommandResult result;
  Macro* m = current();
  if (m == nullptr || recording()) {
    return result;
  }
  if (const std::optional<StepInsertCommand> insertion = stepInsertOf(command)) {
    result.changed = insert(*insertion);
    return result;
  }
  const int lines = lineCount();
  switch (command) {
    case step_command::kChangeParameters:
      if (lines > 0 && !isPauseLine(selectedLine_) &&
          stepLineEditable(m->events[static_cast<std::size_t>(selectedStep())])) {
        result.editLine = selectedLine_;
      }
      break;
    case step_command::kModifyDelay:
      if (lines > 0 && isPauseLine(selectedLine_)) {
        result.editLine = selectedLine_;
      }
      break;
    case step_command::kDeleteStep:
      if (m->eventCount > 0) {
        removeStep(*m, selectedStep());
        selectedLine_ = selectedLine_ < 3 ? 0 : selectedLine_ - 2;
        selectLine(selectedLine_);
        result.changed = true;
      }
      break;
    default:
      break;
  }
  return result;
}

bool GroupEditor::insert(const StepInsertCommand& command) {
  Macro& m = *current();
  const bool empty = m.eventCount == 0;
  const int s = selectedStep();
  const int p = empty ? 0 : (command.place == InsertPlace::Before ? s : s + 1);
  switch (insertStep(m, p, command.step)) {
    case StepChange::Done:
      break;
    case StepChange::StepLimit:
      messages_.show(kMsgMoreThanLimit);
      return false;
    case StepChange::KindLimit:
      // The LED insert answers its limit as the step limit; the other kinds with "Error!".
      messages_.show(command.step.code == step_code::kLed ? kMsgMoreThanLimit : kMsgLibraryError);
      return false;
    case StepChange::Inconsistent:
    case StepChange::NoStep:
      messages_.show(kMsgLibraryError);
      return false;
  }
  selectLine(empty ? 0 : selectedLine_ + 2);
  return true;
}

bool GroupEditor::stepLineEdited(int line, std::string_view text) {
  if (refusedWhileRecording()) {
    return false;
  }
  Macro* m = current();
  if (m == nullptr || m->eventCount == 0) {
    return false;
  }
  const int step = std::clamp(stepOfLine(line), 0, std::min<int>(m->eventCount, kMacroMaxSteps) - 1);
  if (!isPauseLine(line)) {
    return editStep(step, text);
  }
  // The number before "ms", or the whole text's.
  const std::size_t ms = text.find("ms");
  const PauseChange change = setPauseAfter(*m, step, ini::toInt(text.substr(0, ms)));
  if (change.clamped) {
    messages_.show(kMsgMoreThanLimit);
  }
  if (change.dropped > 0) {
    messages_.show(kMsgMoreThanLimit);  // once for all the parts that did not fit
  }
  return change.done;
}

bool GroupEditor::editStep(int step, std::string_view text) {
  MacroEvent& e = current()->events[static_cast<std::size_t>(step)];
  if (e.code == step_code::kMove) {
    const std::size_t comma = text.find(',', text.find(':'));
    const int x = numberAfter(text, ':');
    const int y = comma == std::string_view::npos ? 0 : numberAfter(text, ':', comma);
    e.x = moveDistance(x, messages_);
    e.y = moveDistance(y, messages_);
    return true;
  }
  if (e.code == step_code::kCpi) {
    if (e.type != step_type::kCpiSet) {
      return false;
    }
    const std::optional<std::uint8_t> index = cpiIndexOf(numberAfter(text, ':'));
    if (!index) {
      messages_.show(kMsgCpiValues);
    }
    e.x = index.value_or(4);
    return true;
  }
  if (isKeyOrButtonStep(e)) {
    // "[↓]A", "[↑]SPACE", or the key's name alone (the step keeps its direction).
    std::string_view rest = text;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
      rest.remove_prefix(1);
    }
    std::uint8_t type = e.type;
    if (rest.starts_with(kPressPrefix)) {
      type = step_type::kPress;
      rest.remove_prefix(std::string_view(kPressPrefix).size());
    } else if (rest.starts_with(kReleasePrefix)) {
      type = step_type::kRelease;
      rest.remove_prefix(std::string_view(kReleasePrefix).size());
    }
    const std::optional<std::uint8_t> code = keyCodeOfName(rest);
    if (!code) {
      messages_.show(kMsgLibraryError);
      return false;
    }
    e.type = type;
    e.code = *code;
    return true;
  }
  // An LED step's line names its row: its data is edited in the LED list. Other steps have
  // nothing to edit.
  return false;
}

bool GroupEditor::ledLineEdited(int ledLine, std::string_view text) {
  if (refusedWhileRecording()) {
    return false;
  }
  const int r = ledRowShown();
  if (ledLine != kLedTimeLine || r < 0) {
    return false;
  }
  int seconds = numberAfter(text, ':');
  if (seconds > kMaxLedTimeSeconds) {
    messages_.show(kMsgMoreThanLimit);
    seconds = kMaxLedTimeSeconds;
  }
  current()->ledRows[static_cast<std::size_t>(r)].bytes[kLedFirstTimeByte] =
      static_cast<std::uint8_t>(std::max(seconds, 0) * 10);
  return true;
}

bool GroupEditor::ledPopupOpens(int ledLine) const {
  return (ledLine == kLedModeLine || ledLine == kLedColourLine) && ledRowShown() >= 0;
}

void GroupEditor::ledEffectChosen(int row) {
  if (refusedWhileRecording()) {
    return;
  }
  const int r = ledRowShown();
  if (r < 0 || row < 0) {
    return;
  }
  const std::uint8_t mode =
      row >= 1 && row <= static_cast<int>(kLedEffectOfRow.size()) ? kLedEffectOfRow[static_cast<std::size_t>(row - 1)]
                                                                   : kLedEffectOtherRows;
  current()->ledRows[static_cast<std::size_t>(r)].bytes[kLedFirstModeByte] = mode;
}

void GroupEditor::ledColourChosen(int row) {
  if (refusedWhileRecording()) {
    return;
  }
  const int r = ledRowShown();
  if (r < 0 || row < 1 || row > kLedColourRows) {
    return;
  }
  current()->ledRows[static_cast<std::size_t>(r)].bytes[kLedFirstColourByte] = static_cast<std::uint8_t>(row);
}

}  // namespace quillet
