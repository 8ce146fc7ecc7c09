#pragma once
// The macro page: the groups of the library (the group popup, new, delete, rename through the
// group-name box, import, export and the factory set), the macros of the open group (the macro
// list, new, delete, the name and loop-count boxes, the play modes) and the steps of the macro
// shown (the step list with its context menu and in-place edits, the LED list with its
// popups). What the commands do to the macros is the GroupEditor's and the library's; the page
// puts their state into its six controls, which exist while the page is shown.
//
// The macro being edited reaches its group file whenever the editor or the library saves it,
// and when the page is left or the window shuts down (saveEdits).
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <cstdint>
#include <memory>

#include "core/macro/group_editor.h"
#include "core/macro/macro_recorder.h"
#include "gui/pages/window_page.h"
#include "gui/widgets/editable_list_box.h"
#include "gui/widgets/mac_group_edit.h"
#include "gui/widgets/tolvar_menu.h"

class QLineEdit;
class QMenu;

namespace quillet {

class KeyboardCapture;
struct CapturedKey;

// Shown when the keyboard cannot be taken for a recording (another program holds it).
inline constexpr const char* kMsgKeyboardTakenEn = "Another program holds the keyboard: recording cannot start.";
inline constexpr const char* kMsgKeyboardTakenCn = "其他程序占用了键盘，无法开始录制。";

// The main window's messages from the macro page's popups, by their numbers.
namespace macro_message {
constexpr unsigned kSwitchGroup = 0x7EA;     // wParam: the group that was open; lParam: its macro
constexpr unsigned kGroupFile = 0x7EB;       // wParam 1 import, 2 export, 3 the factory set
constexpr unsigned kLedStepEffect = 0x83ED;  // the effect popup stored its row
constexpr unsigned kLedStepColour = 0x83EE;  // the colour popup stored its row
}  // namespace macro_message

class MacroPage : public QObject, public WindowPage {
  Q_OBJECT

 public:
  explicit MacroPage(PageContext& context);
  ~MacroPage() override;

  void paintState(WindowPainter& painter, const HoverIndexes& hover) const override;
  void paintLabels(WindowPainter& painter, const HoverIndexes& hover) const override;
  bool refusesPress(std::int32_t common, std::int32_t own) const override;
  bool holdsKeyboard() const override { return recording(); }
  void enter() override;
  void leave() override;
  void press(QPoint pos, std::int32_t common, std::int32_t own) override;
  void languageChanged() override;
  void modelReplaced() override;
  void setBusy(bool busy) override;

  // ---- the commands, as the regions, popups and menus run them ----
  void openGroupPopup();
  void openLibraryMenu();
  void newGroup();
  void deleteGroup();
  void newMacro();
  void deleteMacro();
  void setPlayMode(PlayModeChoice choice);
  // A message of the page's popups: switch to group `wParam` (0x7EA, item 1..groups),
  // import / export / restore (0x7EB), the LED list after a popup changed its row (0x83ED,
  // 0x83EE). Other messages and values do nothing.
  void handleMessage(unsigned message, int wParam);
  // A command of the step list's menu.
  void runStepCommand(int command);

  // Ends a recording, the in-place edits and box edits under way, keeping them, and saves the
  // macro being edited: the page is left, the window hides or shuts down. False when the group
  // file could not be written (the user has been told; the edits stay in memory).
  bool saveEdits();

  // ---- recording ----

  // Region 5: starts recording into the current macro (the keyboard is captured first; when
  // it cannot be, nothing starts and the user is told), or stops it.
  void toggleRecording();
  // Ends a recording under way: the keyboard is released first.
  void stopRecording();
  bool recording() const { return editor_.recording(); }
  // A key of the capture (tests hand them in as the capture would).
  void onKey(const CapturedKey& key);

  // ---- what the page shows (tests) ----
  GroupEditor& editor() { return editor_; }
  CMacGroupEdit* groupNameBox() const { return groupName_; }
  QLineEdit* macroNameBox() const { return macroName_; }
  QLineEdit* loopCountBox() const { return loopCount_; }
  CEditableListBox* macroList() const { return macros_; }
  CEditableListBox* stepList() const { return steps_; }
  CEditableListBox* ledList() const { return leds_; }
  // The step list's menu in the language shown.
  CTolvarMenu& stepMenu() { return menuOfLanguage(); }
  // The press lines the step list shows (recording counts them).
  int pressLines() const { return pressLines_; }

  // Shows the library's state in every control / the current macro's steps and LED data.
  void showAll();
  void showSteps();

 private:
  void createControls();
  void destroyControls();
  void buildStepMenu();
  CTolvarMenu& menuOfLanguage();
  void showNames();
  void showLoopCount();
  void showLedList();
  void afterGroupChange();
  void closeLedPopups();

  void onMacroChosen(int row);
  void onMacroEdited(int row, bool kept);
  void onStepChosen(int row);
  void onStepRightReleased(int row, QPoint globalPos);
  void onStepEdited(int row, bool kept);
  void onLedRightReleased(int row, QPoint globalPos);
  void onLedEdited(int row, bool kept);
  void commitGroupName();
  void commitMacroName();
  void onLoopCountEdited();
  void commitLoopCount();
  void offerStepCommands(QMenu& menu);

  void importGroup();
  void exportGroup();
  void enableBoxes();

  GroupEditor editor_;
  std::unique_ptr<CTolvarMenu> stepMenu_;  // in the language it was built in
  Language stepMenuLanguage_ = kEnglish;
  QPointer<CMacGroupEdit> groupName_;
  QPointer<QLineEdit> macroName_;
  QPointer<QLineEdit> loopCount_;
  QPointer<CEditableListBox> macros_;
  QPointer<CEditableListBox> steps_;
  QPointer<CEditableListBox> leds_;
  int pressLines_ = 0;
  KeyboardCapture* capture_ = nullptr;  // a child of the window
  SystemTimeOfDay timeOfDay_;
  KeyTimeline timeline_{timeOfDay_};
};

}  // namespace quillet
