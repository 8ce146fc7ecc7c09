#include "gui/pages/macro_page.h"

#include <QLineEdit>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QTimer>

#include <cstdio>
#include <set>

#include "core/macro/macro_library.h"
#include "core/macro/macro_text.h"
#include "core/skin/step_menu.h"
#include "gui/widgets/keyboard_capture.h"
#include "gui/widgets/main_renderer.h"
#include "gui/widgets/popup_menu.h"

namespace quillet {

namespace {

namespace mr = macro_region;

constexpr std::int32_t kPopupHeight = 360;
// The group popup hangs below the group-name box, 2 pixels out on the left, 21 wider (the
// arrow's region beside the box).
constexpr std::int32_t kGroupPopupLeft = -2;
constexpr std::int32_t kGroupPopupGap = 2;
constexpr std::int32_t kGroupPopupExtraWidth = 21;
constexpr int kLoopCountDigits = 5;

const QString kControlStyle = QStringLiteral(
    "QLineEdit { background: black; color: white; border: 1px solid rgb(40, 70, 80); padding: 0; }"
    "QLineEdit:disabled { color: rgb(110, 120, 125); }"
    "QListWidget { background: black; color: white; border: 1px solid rgb(40, 70, 80); outline: none; }"
    "QListWidget::item { padding: 1px 4px; border: none; }"
    "QListWidget::item:selected { padding: 1px 4px; border: none; background: rgb(0, 120, 153); color: white; }"
    "QListWidget QLineEdit { background: white; color: black; border: 1px solid rgb(0, 120, 153); }");

QStringList linesOf(const std::vector<std::string>& texts) {
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(texts.size()));
  for (const std::string& t : texts) {
    lines << QString::fromStdString(t);
  }
  return lines;
}

FileDialogSpec groupFileDialog(const MacroLibrary& library) {
  return FileDialogSpec{QStringLiteral("All Files(*.dat)"), QStringLiteral("dat"), library.folders().macroFolder};
}

QRect rectOf(const SkinRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

}  // namespace

MacroPage::MacroPage(PageContext& context)
    : WindowPage(context), editor_(context.library(), context.messages()), capture_(new KeyboardCapture(context.widget())) {}

MacroPage::~MacroPage() {
  stopRecording();  // the keyboard is let go while the window still stands
  destroyControls();
}

// ---- the page coming and going ----

void MacroPage::enter() {
  createControls();
  // The step list's selection starts on the last line of the macro shown.
  editor_.macroShown();
  showAll();
}

void MacroPage::leave() {
  saveEdits();
  closeLedPopups();
  if (stepMenu_) {
    stepMenu_->hide();
  }
  destroyControls();
}

bool MacroPage::saveEdits() {
  stopRecording();
  for (CEditableListBox* list : {macros_.data(), steps_.data(), leds_.data()}) {
    if (list != nullptr) {
      list->endEdit(true);
    }
  }
  if (groupName_ && groupName_->hasFocus()) {
    commitGroupName();
  }
  if (macroName_ && macroName_->hasFocus()) {
    commitMacroName();
  }
  if (loopCount_ && loopCount_->hasFocus()) {
    commitLoopCount();
  }
  return context_.library().saveCurrentMacroOrSay();
}

void MacroPage::createControls() {
  if (macros_) {
    return;
  }
  const SkinLayouts& layouts = context_.layouts();
  const QFont& font = context_.uiFont();
  auto place = [&](QWidget* w, MacroControl c, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(rectOf(layouts.macroControlRect(c)));
    w->setFont(font);
    w->setStyleSheet(kControlStyle);
    w->setEnabled(!context_.applying());
  };

  groupName_ = new CMacGroupEdit(&context_.widget());
  place(groupName_, MacroControl::GroupNameEdit, "groupNameBox");
  groupName_->setAlignment(Qt::AlignCenter);
  groupName_->setMaxLength(static_cast<int>(kGroupNameMaxUnits));
  connect(groupName_, &QLineEdit::editingFinished, this, &MacroPage::commitGroupName);
  connect(groupName_, &CMacGroupEdit::keyReported, this, [this](bool returnKey) {
    if (returnKey) {
      commitGroupName();
    } else {
      showNames();  // Escape: the group's name again
    }
  });

  macroName_ = new QLineEdit(&context_.widget());
  place(macroName_, MacroControl::MacroNameEdit, "macroNameBox");
  macroName_->setAlignment(Qt::AlignCenter);
  macroName_->setMaxLength(kMacroNameMaxChars);
  connect(macroName_, &QLineEdit::editingFinished, this, &MacroPage::commitMacroName);

  loopCount_ = new QLineEdit(&context_.widget());
  place(loopCount_, MacroControl::LoopCountEdit, "loopCountBox");
  loopCount_->setAlignment(Qt::AlignCenter);
  loopCount_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("\\d{0,%1}").arg(kLoopCountDigits)), loopCount_));
  connect(loopCount_, &QLineEdit::textEdited, this, &MacroPage::onLoopCountEdited);
  connect(loopCount_, &QLineEdit::editingFinished, this, &MacroPage::commitLoopCount);

  macros_ = new CEditableListBox(&context_.widget());
  place(macros_, MacroControl::MacroList, "macroList");
  connect(macros_, &CEditableListBox::rowChosen, this, &MacroPage::onMacroChosen);
  connect(macros_, &CEditableListBox::rowDoubleClicked, this, [this](int) { macros_->editSelected(); });
  connect(macros_, &CEditableListBox::editEnded, this, &MacroPage::onMacroEdited);

  steps_ = new CEditableListBox(&context_.widget());
  place(steps_, MacroControl::StepList, "stepList");
  connect(steps_, &CEditableListBox::rowChosen, this, &MacroPage::onStepChosen);
  connect(steps_, &CEditableListBox::rightReleased, this, &MacroPage::onStepRightReleased);
  connect(steps_, &CEditableListBox::editEnded, this, &MacroPage::onStepEdited);

  leds_ = new CEditableListBox(&context_.widget());
  place(leds_, MacroControl::LedList, "ledList");
  connect(leds_, &CEditableListBox::rowDoubleClicked, this, [this](int row) {
    if (row == kLedTimeLine) {
      leds_->editSelected();
    }
  });
  connect(leds_, &CEditableListBox::rightReleased, this, &MacroPage::onLedRightReleased);
  connect(leds_, &CEditableListBox::editEnded, this, &MacroPage::onLedEdited);

  for (QWidget* w : std::initializer_list<QWidget*>{groupName_, macroName_, loopCount_, macros_, steps_, leds_}) {
    w->show();
  }
}

void MacroPage::destroyControls() {
  // Unhooked before they go: a box losing the focus as it is destroyed must not reach the page.
  for (QWidget* w : std::initializer_list<QWidget*>{groupName_, macroName_, loopCount_, macros_, steps_, leds_}) {
    if (w != nullptr) {
      w->disconnect(this);
      delete w;
    }
  }
}

void MacroPage::buildStepMenu() {
  stepMenu_ = std::make_unique<CTolvarMenu>(&context_.widget());
  stepMenu_->setTitle(QString::fromUtf8(kStepMenuTitle));
  stepMenu_->setWindowTitle(QString::fromUtf8(kStepMenuTitle));
  stepMenuLanguage_ = context_.app().language;
  stepMenu_->makeOwnerDrawn(quillet::stepMenu(stepMenuLanguage_), context_.uiFont());
  connect(stepMenu_.get(), &CTolvarMenu::commandChosen, this, &MacroPage::runStepCommand);
}

CTolvarMenu& MacroPage::menuOfLanguage() {
  if (!stepMenu_ || stepMenuLanguage_ != context_.app().language) {
    buildStepMenu();
  }
  return *stepMenu_;
}

void MacroPage::languageChanged() {
  // The library has loaded the other language's macros already.
  buildStepMenu();
  if (!macros_) {
    return;
  }
  for (QWidget* w : std::initializer_list<QWidget*>{groupName_, macroName_, loopCount_, macros_, steps_, leds_}) {
    w->setFont(context_.uiFont());
  }
  editor_.macroShown();
  showAll();
}

void MacroPage::modelReplaced() {
  // A macro adjusted from the mouse shows its new moves; an edit under way is left alone.
  if (steps_ && !steps_->editing() && !leds_->editing() && !macros_->editing()) {
    showSteps();
  }
}

void MacroPage::setBusy(bool busy) {
  closeLedPopups();
  for (QWidget* w : std::initializer_list<QWidget*>{groupName_, macroName_, loopCount_, macros_, steps_, leds_}) {
    if (w != nullptr) {
      w->setEnabled(!busy);
    }
  }
  if (!busy) {
    showLoopCount();  // the box's own rule for being enabled
  }
}

// ---- showing the state ----

void MacroPage::showAll() {
  if (!macros_) {
    return;
  }
  const MacroPageView view = context_.library().view();
  macros_->setLines(linesOf(view.macroNames), view.currentMacro);
  showNames();
  showSteps();
}

void MacroPage::showNames() {
  if (!groupName_) {
    return;
  }
  const MacroPageView view = context_.library().view();
  groupName_->setText(QString::fromStdString(view.groupNameText));
  macroName_->setText(QString::fromStdString(view.macroNameText));
}

void MacroPage::showLoopCount() {
  if (!loopCount_) {
    return;
  }
  const LoopCountBox box = editor_.loopBox();
  loopCount_->setText(QString::fromStdString(box.text));
  loopCount_->setEnabled(box.enabled && !context_.applying() && !recording());
}

void MacroPage::showSteps() {
  if (!steps_) {
    return;
  }
  const Macro* m = editor_.current();
  const StepListing listing = m != nullptr ? listSteps(*m) : StepListing{};
  pressLines_ = listing.pressLines;
  steps_->setLines(linesOf(listing.lines), listing.lines.empty() ? -1 : editor_.selectedLine());
  showLedList();
  showLoopCount();
  context_.scheduleRepaint(context_.pageRegion(RepaintArea::MacroPage));
}

void MacroPage::showLedList() {
  if (!leds_) {
    return;
  }
  const LedRow* row = editor_.ledRow();
  const int keep = leds_->currentRow();
  const std::vector<std::string> lines = row != nullptr ? listLedRow(*row, context_.app().lightingModeNames)
                                                        : std::vector<std::string>{};
  leds_->setLines(linesOf(lines), keep < static_cast<int>(lines.size()) ? keep : -1);
}

void MacroPage::afterGroupChange() {
  editor_.macroShown();
  showAll();
}

void MacroPage::closeLedPopups() {
  PopupMenus& popups = context_.popups();
  if (const CMenuDlg* menu = popups.menu();
      menu != nullptr && (menu->kind() == MenuKind::LedStepEffect || menu->kind() == MenuKind::LedStepColor)) {
    popups.closeAll();
  }
}

// ---- the regions ----

void MacroPage::press(QPoint, std::int32_t common, std::int32_t own) {
  if (common != kNoRegion) {
    return;  // the frame's regions are the window's
  }
  switch (own) {
    case mr::kGroupPopup:
      openGroupPopup();
      break;
    case mr::kNewGroup:
      newGroup();
      break;
    case mr::kDeleteGroup:
      deleteGroup();
      break;
    case mr::kLibraryMenu:
      openLibraryMenu();
      break;
    case mr::kNewMacro:
      newMacro();
      break;
    case mr::kDeleteMacro:
      deleteMacro();
      break;
    case mr::kWhileHeld:
      setPlayMode(PlayModeChoice::WhileHeld);
      break;
    case mr::kToggle:
      setPlayMode(PlayModeChoice::Toggle);
      break;
    case mr::kLoopCount:
      setPlayMode(PlayModeChoice::LoopCount);
      break;
    case mr::kRecord:
      toggleRecording();
      break;
    default:
      break;  // labels
  }
}

void MacroPage::openGroupPopup() {
  const MacroGroupList& groups = context_.library().groups();
  if (groups.groupCount == 0) {
    return;
  }
  const SkinRect& box = context_.layouts().macroControlRect(MacroControl::GroupNameEdit);
  const QPoint origin = context_.screenOrigin();
  const ScreenRect placement{origin.x() + box.left + kGroupPopupLeft, origin.y() + box.bottom + kGroupPopupGap,
                             box.width() + kGroupPopupExtraWidth, kPopupHeight};
  std::vector<std::string> names(groups.names.begin(), groups.names.begin() + groups.groupCount);
  CMenuDlg* menu = context_.popups().openMenu(MenuKind::MacroGroup, placement, context_.pictures(), context_.uiFont(),
                                             textRows(names));
  context_.popupOpened();
  const int count = groups.groupCount;
  connect(menu, &SkinPopup::released, this, [this, count](std::int32_t row) {
    if (row < 1 || row > count) {
      return;
    }
    context_.popups().closeAll();
    handleMessage(macro_message::kSwitchGroup, row);
  });
}

void MacroPage::openLibraryMenu() {
  const QPoint origin = context_.screenOrigin();
  const SkinButton& region = context_.layouts().macro[mr::kLibraryMenu];
  const auto& items = context_.app().isEnglish() ? kLibraryMenuEn : kLibraryMenuCn;
  CMenuDlg* menu = context_.popups().openMenu(MenuKind::MacroLibrary,
                                             menuBelow(origin.x(), origin.y(), region, 0, 0, kPopupHeight),
                                             context_.pictures(), context_.uiFont(),
                                             textRows(std::vector<std::string>(items.begin(), items.end())));
  context_.popupOpened();
  connect(menu, &SkinPopup::released, this, [this](std::int32_t row) {
    if (row < 1 || row > static_cast<std::int32_t>(kLibraryMenuEn.size())) {
      return;
    }
    context_.popups().closeAll();
    handleMessage(macro_message::kGroupFile, row);
  });
}

void MacroPage::handleMessage(unsigned message, int wParam) {
  MacroLibrary& library = context_.library();
  switch (message) {
    case macro_message::kSwitchGroup:
      // The library writes the macro being edited into the group that was open first.
      if (library.switchGroup(wParam).outcome == LibraryOutcome::Done) {
        afterGroupChange();
      }
      break;
    case macro_message::kGroupFile:
      switch (static_cast<GroupFileCommand>(wParam)) {
        case GroupFileCommand::Import:
          importGroup();
          break;
        case GroupFileCommand::Export:
          exportGroup();
          break;
        case GroupFileCommand::RestoreFactorySet:
          library.restoreFactorySet();
          afterGroupChange();
          break;
        default:
          break;
      }
      break;
    case macro_message::kLedStepEffect:
    case macro_message::kLedStepColour:
      showLedList();
      break;
    default:
      break;
  }
}

void MacroPage::importGroup() {
  MacroLibrary& library = context_.library();
  if (!library.mayImport()) {
    return;
  }
  const std::optional<std::filesystem::path> chosen = context_.dialogs().openFile(&context_.widget(), groupFileDialog(library));
  if (chosen && library.importGroup(*chosen).outcome == LibraryOutcome::Done) {
    afterGroupChange();
  }
}

void MacroPage::exportGroup() {
  MacroLibrary& library = context_.library();
  if (!library.mayExport()) {
    return;
  }
  if (const std::optional<std::filesystem::path> chosen = context_.dialogs().saveFile(&context_.widget(), groupFileDialog(library))) {
    library.exportGroup(*chosen);
  }
}

void MacroPage::newGroup() {
  if (context_.library().newGroup().outcome == LibraryOutcome::Done) {
    afterGroupChange();
  }
}

void MacroPage::deleteGroup() {
  const int group = context_.library().groups().currentGroup;
  if (context_.library().deleteGroup().outcome == LibraryOutcome::Done) {
    // The buttons keep the macros they were given: their codes follow the groups that moved up.
    context_.settings().followDeletedGroup(group);
    afterGroupChange();
    context_.scheduleRepaint();
  }
}

void MacroPage::newMacro() {
  if (!editor_.newMacro()) {
    return;
  }
  showAll();
  // The new macro's name is typed at once.
  if (macros_) {
    macros_->editSelected();
  }
}

void MacroPage::deleteMacro() {
  const int group = context_.library().groups().currentGroup;
  const int index = editor_.currentIndex();
  if (editor_.deleteMacro()) {
    context_.settings().followDeletedMacro(group, index);
    showAll();
    context_.scheduleRepaint();
  }
}

void MacroPage::setPlayMode(PlayModeChoice choice) {
  editor_.setPlayMode(choice);
  showLoopCount();
  context_.scheduleRepaint(context_.pageRegion(RepaintArea::MacroPage));
}

// ---- the lists ----

void MacroPage::onMacroChosen(int row) {
  if (row < 0 || row == editor_.currentIndex()) {
    return;
  }
  if (editor_.selectMacro(row)) {
    showNames();
    showSteps();
  } else if (macros_) {
    macros_->selectSilently(editor_.currentIndex());  // refused while recording
  }
}

// ---- recording ----

void MacroPage::toggleRecording() {
  if (recording()) {
    stopRecording();
    return;
  }
  if (editor_.current() == nullptr) {
    return;  // the macro list is empty
  }
  saveEdits();  // what was being typed is kept before the macro is replaced
  if (!capture_->start([this](const CapturedKey& key) { onKey(key); })) {
    context_.messages().show(context_.app().isEnglish() ? kMsgKeyboardTakenEn : kMsgKeyboardTakenCn);
    return;
  }
  timeline_.restart();
  editor_.startRecording();
  enableBoxes();
  showSteps();
  context_.scheduleRepaint(context_.pageRegion(RepaintArea::MacroPage));
}

void MacroPage::stopRecording() {
  if (!recording()) {
    return;
  }
  capture_->stop();  // the keyboard goes back to the desktop first
  editor_.stopRecording();
  enableBoxes();
  context_.scheduleRepaint(context_.pageRegion(RepaintArea::MacroPage));
}

void MacroPage::enableBoxes() {
  // Nothing is typed into the boxes while the keys are the recording's.
  for (QWidget* w : std::initializer_list<QWidget*>{groupName_, macroName_}) {
    if (w != nullptr) {
      w->setEnabled(!recording() && !context_.applying());
    }
  }
  showLoopCount();
}

void MacroPage::onKey(const CapturedKey& key) {
  if (!recording()) {
    return;
  }
  if (key.vk == 0) {
    // A key the virtual-key table does not have is not recorded; its code is said once, so
    // that it can be added.
    static std::set<unsigned> said;
    if (said.insert(key.nativeCode).second) {
      std::fprintf(stderr, "quillet: key code %u has no virtual-key code: not recorded\n", key.nativeCode);
    }
    return;
  }
  const unsigned message = keyMessageOf(key.down, key.vk, key.altHeld, key.controlHeld);
  if (editor_.recordKey(message, key.vk, timeline_.timeOfDay(key.stamp)) != MacroRecorder::Outcome::Recorded) {
    return;
  }
  const Macro* m = editor_.current();
  const int q = editor_.recorder().recordedCount() - 1;
  if (m == nullptr || !steps_) {
    return;
  }
  // The new step's lines are added; the lines shown already do not change (the pause line of
  // the step before is the one added with this step).
  if (q > 0) {
    steps_->addItem(QString::fromStdString(pauseLineText(m->events[static_cast<std::size_t>(q - 1)].delay)));
  }
  const MacroEvent& step = m->events[static_cast<std::size_t>(q)];
  steps_->addItem(QString::fromStdString(stepLineText(step)));
  if (step.type == step_type::kPress) {
    ++pressLines_;
  }
  steps_->selectSilently(steps_->count() - 1);
}

void MacroPage::onMacroEdited(int row, bool kept) {
  if (!kept || row < 0 || row >= macros_->count()) {
    return;
  }
  if (!editor_.renameInList(row, macros_->item(row)->text().toStdString())) {
    // The old name, on its line again.
    showAll();
    return;
  }
  showNames();
}

void MacroPage::onStepChosen(int row) {
  closeLedPopups();
  editor_.selectLine(row);
  showLedList();
}

void MacroPage::onStepRightReleased(int row, QPoint globalPos) {
  if (editor_.stepMenuOpens(row)) {
    CTolvarMenu& menu = menuOfLanguage();
    offerStepCommands(menu);
    menu.popup(globalPos);
  }
}

void MacroPage::offerStepCommands(QMenu& menu) {
  // Change parameters is not offered on an LED step's line (its data is edited in the LED list).
  for (QAction* a : menu.actions()) {
    if (a->menu() != nullptr) {
      offerStepCommands(*a->menu());
    } else if (a->data().toInt() == step_command::kChangeParameters) {
      a->setEnabled(editor_.commandOffered(step_command::kChangeParameters));
    }
  }
}

void MacroPage::runStepCommand(int command) {
  const StepCommandResult result = editor_.runCommand(command);
  if (result.changed) {
    showSteps();
  }
  if (result.editLine && steps_) {
    // Once the menu has closed: its closing gives the focus back to the list, which would take
    // it from an edit box opened now.
    const int line = *result.editLine;
    QTimer::singleShot(0, this, [this, line] {
      if (steps_ && line < steps_->count()) {
        steps_->selectSilently(line);
        steps_->editSelected();
      }
    });
  }
}

void MacroPage::onStepEdited(int row, bool kept) {
  // Escape cancels: the line's text is not read back into the step (a pause line's delay
  // would be split into parts, a key line's name refused).
  if (kept && row >= 0 && row < steps_->count()) {
    editor_.stepLineEdited(row, steps_->item(row)->text().toStdString());
  }
  showSteps();
}

void MacroPage::onLedRightReleased(int row, QPoint globalPos) {
  if (leds_->count() == 0 || !editor_.ledPopupOpens(row)) {
    return;
  }
  const bool effect = row == kLedModeLine;
  std::vector<PopupRow> rows;
  if (effect) {
    // The first five effects; the popup shows five rows.
    const auto& names = context_.app().lightingModeNames;
    for (int i = 0; i < menuKindSpec(MenuKind::LedStepEffect).rows; ++i) {
      rows.push_back(PopupRow{QString::fromStdString(names[static_cast<std::size_t>(i)]), std::nullopt});
    }
  } else {
    for (const ColorRef colour : context_.settings().ledUserColorRef) {
      rows.push_back(PopupRow{QString(), colorOf(colour)});
    }
  }
  const QPoint listLeft = leds_->mapToGlobal(QPoint(0, 0));
  const ScreenRect placement{listLeft.x(), globalPos.y(), leds_->width(), kPopupHeight};
  const MenuKind kind = effect ? MenuKind::LedStepEffect : MenuKind::LedStepColor;
  CMenuDlg* menu =
      context_.popups().openMenu(kind, placement, context_.pictures(), context_.uiFont(), std::move(rows));
  context_.popupOpened();
  connect(menu, &SkinPopup::released, this, [this, effect](std::int32_t chosen) {
    const MenuKindSpec& spec = menuKindSpec(effect ? MenuKind::LedStepEffect : MenuKind::LedStepColor);
    if (chosen < spec.firstActingRow || chosen > spec.lastActingRow) {
      return;
    }
    if (effect) {
      editor_.ledEffectChosen(chosen);
    } else {
      editor_.ledColourChosen(chosen);
    }
    context_.popups().closeAll();
    handleMessage(effect ? macro_message::kLedStepEffect : macro_message::kLedStepColour, chosen);
  });
}

void MacroPage::onLedEdited(int row, bool kept) {
  const int line = row;
  if (kept && row >= 0 && row < leds_->count()) {
    editor_.ledLineEdited(row, leds_->item(row)->text().toStdString());
  }
  showSteps();
  leds_->selectSilently(line);
}

// ---- the boxes ----

void MacroPage::commitGroupName() {
  if (!groupName_) {
    return;
  }
  const std::string text = groupName_->text().toStdString();
  if (text != context_.library().view().groupNameText) {
    context_.library().renameGroup(text);
  }
  showNames();
}

void MacroPage::commitMacroName() {
  if (!macroName_) {
    return;
  }
  if (editor_.current() == nullptr) {
    showNames();  // no macro to name: the box stays empty
    return;
  }
  const std::string shown = editor_.nameBoxEdited(macroName_->text().toStdString());
  macroName_->setText(QString::fromStdString(shown));
  if (QListWidgetItem* line = macros_ ? macros_->item(editor_.currentIndex()) : nullptr) {
    line->setText(QString::fromStdString(shown));
  }
}

void MacroPage::onLoopCountEdited() {
  // Each keystroke sets the count in memory; the file is written when the edit ends.
  if (const std::optional<std::string> corrected = editor_.loopBoxTyped(loopCount_->text().toStdString())) {
    loopCount_->setText(QString::fromStdString(*corrected));
  }
}

void MacroPage::commitLoopCount() {
  if (!loopCount_ || !loopCount_->isEnabled()) {
    return;
  }
  if (const std::optional<std::string> shown = editor_.loopBoxFinished(loopCount_->text().toStdString())) {
    loopCount_->setText(QString::fromStdString(*shown));
  }
}

// ---- drawing and the recording's hold on the window ----

void MacroPage::paintState(WindowPainter& painter, const HoverIndexes& hover) const {
  const auto& m = context_.layouts().macro;
  if (hover.macro != kNoRegion) {
    painter.copyOver(m[static_cast<std::size_t>(hover.macro)]);
  }
  if (recording()) {
    painter.copyDown(m[macro_region::kRecord]);
  }
  // The selected macro's play mode.
  const OpenGroup& open = context_.library().openMacros();
  if (open.count > 0 && open.current >= 0 && open.current < open.count) {
    const std::uint8_t mode = open.slots[static_cast<std::size_t>(open.current)].playMode;
    if (const std::int32_t chosen = playModeRegion(mode); chosen != kNoRegion) {
      painter.copyDown(m[static_cast<std::size_t>(chosen)]);
    }
  }
}

void MacroPage::paintLabels(WindowPainter& painter, const HoverIndexes&) const {
  const QColor recordLabel(1, 255, 246);
  const auto& m = context_.layouts().macro;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(kMacroRegionCount); ++i) {
    const SkinButton& r = m[static_cast<std::size_t>(i)];
    if (i == macro_region::kRecord) {
      painter.label(r, r.label, recordLabel, 0, -3);
    } else {
      painter.label(r, r.label, kLabelWhite);
    }
  }
}

bool MacroPage::refusesPress(std::int32_t common, std::int32_t own) const {
  if (!recording()) {
    return false;
  }
  // While recording, only the recorder's button, minimise, close and empty spots react.
  const bool empty = common == kNoRegion && own == kNoRegion;
  const bool recorder = common == kNoRegion && own == macro_region::kRecord;
  return !(empty || recorder || common == frame_region::kMinimize || common == frame_region::kClose);
}

}  // namespace quillet
