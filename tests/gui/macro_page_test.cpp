// The macro page under the offscreen platform: its controls and the exact texts of its lists,
// a macro built in the window from the menu and the in-place edits, the LED popups, the play
// modes, the group popup and the library menu with their file dialogs, the group commands, and
// every moment at which the macro being edited reaches its group file.
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"
#include "core/macro/macro_library.h"
#include "core/macro/macro_text.h"
#include "gui/pages/macro_page.h"
#include "gui/widgets/popup_menu.h"
#include "gui/window_fixture.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
namespace sc = step_command;
using test::WindowTest;

QStringList linesOf(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) {
    out << list->item(i)->text();
  }
  return out;
}

QAction* actionOf(QMenu* menu, int command) {
  for (QAction* a : menu->actions()) {
    if (a->menu() != nullptr) {
      if (QAction* inner = actionOf(a->menu(), command)) {
        return inner;
      }
    } else if (!a->isSeparator() && a->data().toInt() == command) {
      return a;
    }
  }
  return nullptr;
}

class MacroPageTest : public WindowTest {
 protected:
  void open() {
    start();
    messages_.texts.clear();  // no mouse
    clickMain(frame_region::kFirstTab + pageNumber(Page::Macro));
    ASSERT_EQ(dlg_->app().currentPage, pageNumber(Page::Macro));
  }
  MacroPage& page() { return dlg_->macroPage(); }
  void clickMacroRegion(int region) { click(centre(dlg_->layouts().macro[static_cast<std::size_t>(region)])); }
  // A command of the step list's menu, chosen as a click on its item does.
  void choose(int command) {
    QAction* a = actionOf(&page().stepMenu(), command);
    ASSERT_NE(a, nullptr) << command;
    a->trigger();
    QApplication::processEvents();  // an edit a command starts opens once the menu has gone
  }
  void selectLine(CEditableListBox* list, int row) {
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
  }
  void rightRelease(CEditableListBox* list, QPoint at) {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(list->viewport()->mapToGlobal(at)),
                        Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &release);
  }
  // Types `text` over the whole text of the in-place edit under way and ends it with Return.
  void typeInPlace(CEditableListBox* list, const QString& text) {
    ASSERT_TRUE(list->editing());
    list->editor()->selectAll();
    QTest::keyClicks(list->editor(), text);
    QTest::keyClick(list->editor(), Qt::Key_Return);
  }
  fs::path macroFolder() const { return dlg_->library().folders().macroFolder; }
  Macro inFile(int group, int index) const { return readMacro(macroFolder(), group, index); }
  Macro& current() { return *page().editor().current(); }
};

TEST_F(MacroPageTest, ThePageShowsTheOpenGroupWithTheExactTexts) {
  open();
  const SkinLayouts& layouts = dlg_->layouts();
  ASSERT_NE(page().macroList(), nullptr);
  EXPECT_EQ(page().stepList()->geometry().topLeft(),
            QPoint(layouts.macroControlRect(MacroControl::StepList).left, layouts.macroControlRect(MacroControl::StepList).top));
  EXPECT_EQ(page().groupNameBox()->text(), "Office");
  EXPECT_EQ(linesOf(page().macroList()).mid(0, 3), (QStringList{"Copy", "Paste", "Cut"}));
  EXPECT_EQ(page().macroList()->currentRow(), 0);
  EXPECT_EQ(page().macroNameBox()->text(), "Copy");
  EXPECT_EQ(linesOf(page().stepList()), (QStringList{"[↓]LCONTROL", "    20ms", "[↓]C", "    50ms", "[↑]C", "    20ms",
                                                     "[↑]LCONTROL"}));
  EXPECT_EQ(page().stepList()->currentRow(), 6) << "the selection starts on the last line";
  EXPECT_EQ(page().ledList()->count(), 0);
  EXPECT_TRUE(page().loopCountBox()->isEnabled());
  EXPECT_EQ(page().loopCountBox()->text(), "1");
  EXPECT_EQ(page().pressLines(), 2);

  // A double click edits a macro's name in place: at most nine characters.
  CEditableListBox* macros = page().macroList();
  const QPoint onFirst = macros->visualItemRect(macros->item(0)).center();
  QTest::mouseClick(macros->viewport(), Qt::LeftButton, Qt::NoModifier, onFirst);
  QTest::mouseDClick(macros->viewport(), Qt::LeftButton, Qt::NoModifier, onFirst);
  typeInPlace(macros, QStringLiteral("TenLetters"));
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"More than limit!"});
  EXPECT_EQ(macros->item(0)->text(), "Copy");
  macros->editSelected();
  typeInPlace(macros, QStringLiteral("Copier"));
  EXPECT_EQ(macros->item(0)->text(), "Copier");
  EXPECT_EQ(page().macroNameBox()->text(), "Copier");

  // Another macro chosen in the list: its steps and name.
  selectLine(page().macroList(), 1);
  EXPECT_EQ(page().macroNameBox()->text(), "Paste");
  EXPECT_EQ(page().stepList()->item(2)->text(), "[↓]V");

  // Leaving the page takes the controls away; coming back shows the same macro.
  clickMain(frame_region::kFirstTab);
  EXPECT_EQ(page().macroList(), nullptr);
  clickMain(frame_region::kFirstTab + pageNumber(Page::Macro));
  EXPECT_EQ(page().macroNameBox()->text(), "Paste");
}

TEST_F(MacroPageTest, AMacroBuiltInTheWindowReachesItsFileAndTheMacroMenus) {
  open();
  clickMacroRegion(macro_region::kNewMacro);
  CEditableListBox* macros = page().macroList();
  EXPECT_EQ(macros->currentItem()->text(), "New");
  typeInPlace(macros, QStringLiteral("Combo"));
  EXPECT_EQ(macros->currentItem()->text(), "Combo");
  EXPECT_EQ(page().macroNameBox()->text(), "Combo");
  const int index = page().editor().currentIndex();

  // Four left-button steps, then the first two made the key A.
  choose(sc::kLeftPressAfter);
  choose(sc::kLeftReleaseAfter);
  choose(sc::kLeftPressAfter);
  choose(sc::kLeftReleaseAfter);
  CEditableListBox* steps = page().stepList();
  EXPECT_EQ(steps->count(), 7);
  EXPECT_EQ(steps->currentRow(), 6);
  selectLine(steps, 0);
  choose(sc::kChangeParameters);
  typeInPlace(steps, QStringLiteral("A"));
  selectLine(steps, 2);
  choose(sc::kChangeParameters);
  typeInPlace(steps, QStringLiteral("a"));
  // A pause of 300 ms after the key.
  selectLine(steps, 2);
  choose(sc::kPause);
  selectLine(steps, 5);
  choose(sc::kModifyDelay);
  typeInPlace(steps, QStringLiteral("300"));
  EXPECT_EQ(linesOf(steps), (QStringList{"[↓]A", "    5ms", "[↑]A", "    5ms", "[Delay]", "    300ms", "[↓]L-KEY",
                                         "    5ms", "[↑]L-KEY"}));
  EXPECT_TRUE(messages_.texts.empty());

  // In memory only, until the page is left.
  EXPECT_EQ(readMacroNum(macroFolder() / "Office.dat"), index);
  clickMain(frame_region::kFirstTab);
  const Macro saved = inFile(0, index);
  EXPECT_EQ(macroName(saved), "Combo");
  EXPECT_EQ(listSteps(saved).lines, (std::vector<std::string>{"[↓]A", "    5ms", "[↑]A", "    5ms", "[Delay]", "    300ms",
                                                              "[↓]L-KEY", "    5ms", "[↑]L-KEY"}));
  EXPECT_EQ(dlg_->library().macroNames().groups[0].names[static_cast<std::size_t>(index)], "Combo")
      << "the function list's macro menu offers it";
}

TEST_F(MacroPageTest, TheStepMenuOpensOverLinesAndItsCommandsActOnTheSelection) {
  open();
  CEditableListBox* steps = page().stepList();
  rightRelease(steps, steps->visualItemRect(steps->item(2)).center());
  EXPECT_TRUE(page().stepMenu().isVisible());
  EXPECT_EQ(page().stepMenu().title(), QString::fromUtf8("宏编辑"));
  EXPECT_EQ(steps->currentRow(), 6) << "the right button selects nothing";
  page().stepMenu().hide();
  rightRelease(steps, QPoint(20, steps->viewport()->height() - 5));
  EXPECT_FALSE(page().stepMenu().isVisible()) << "below the lines of a list that has some";

  // Delete option on the selected line; the CPI line edited in place.
  selectLine(steps, 2);
  choose(sc::kDeleteStep);
  EXPECT_EQ(linesOf(steps), (QStringList{"[↓]LCONTROL", "    20ms", "[↑]C", "    20ms", "[↑]LCONTROL"}));
  EXPECT_EQ(steps->currentRow(), 0);
  choose(sc::kCpiSet);
  EXPECT_EQ(steps->item(2)->text(), "[DPI]:800 ");
  choose(sc::kChangeParameters);
  typeInPlace(steps, QStringLiteral("[DPI]:1500"));
  EXPECT_EQ(messages_.texts, std::vector<std::string>{kMsgCpiValues});
  EXPECT_EQ(steps->item(2)->text(), "[DPI]:800 ");
  // Escape leaves the line as it was.
  choose(sc::kChangeParameters);
  steps->editor()->setText(QStringLiteral("[DPI]:4800"));
  QTest::keyClick(steps->editor(), Qt::Key_Escape);
  EXPECT_EQ(steps->item(2)->text(), "[DPI]:800 ");
  // Six CPI steps are one too many.
  for (int i = 0; i < 4; ++i) {
    choose(sc::kCpiReset);
  }
  messages_.texts.clear();
  choose(sc::kCpiReset);
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"Error!"});
  EXPECT_EQ(current().cpiCount, 5);
}

TEST_F(MacroPageTest, TheLedListAndItsPopups) {
  open();
  choose(sc::kLed);
  CEditableListBox* leds = page().ledList();
  EXPECT_EQ(linesOf(leds), (QStringList{"[LEN     ]:1", "[Mode]:Single water", "[Colour]:Colour0", "[Time]:0s"}));

  // Line 1: the effect popup at the list's left edge and the pointer's height, five effects.
  const QPoint onMode = leds->visualItemRect(leds->item(kLedModeLine)).center();
  rightRelease(leds, onMode);
  CMenuDlg* effects = dlg_->popups().menu();
  ASSERT_NE(effects, nullptr);
  EXPECT_EQ(effects->kind(), MenuKind::LedStepEffect);
  EXPECT_EQ(effects->placedAt().x, leds->mapToGlobal(QPoint(0, 0)).x());
  EXPECT_EQ(effects->placedAt().y, leds->viewport()->mapToGlobal(onMode).y());
  ASSERT_EQ(effects->rowCount(), 5);
  EXPECT_EQ(effects->rows()[3].text, "Flow water");
  clickRow(effects, effects->rowHeight(), 4);
  QApplication::processEvents();
  EXPECT_FALSE(dlg_->popups().anyOpen());
  EXPECT_EQ(leds->item(kLedModeLine)->text(), "[Mode]:Flow water");
  EXPECT_EQ(page().editor().ledRow()->bytes[4], 6);

  // Line 2: the seven user colours.
  rightRelease(leds, leds->visualItemRect(leds->item(kLedColourLine)).center());
  CMenuDlg* colours = dlg_->popups().menu();
  ASSERT_NE(colours, nullptr);
  EXPECT_EQ(colours->kind(), MenuKind::LedStepColor);
  ASSERT_EQ(colours->rowCount(), 7);
  EXPECT_EQ(colours->rows()[2].fill, colorOf(dlg_->settings().ledUserColorRef[2]));
  clickRow(colours, colours->rowHeight(), 3);
  EXPECT_EQ(leds->item(kLedColourLine)->text(), "[Colour]:Colour3");

  // Line 3 is edited in place and stays selected.
  const QPoint onTime = leds->visualItemRect(leds->item(kLedTimeLine)).center();
  QTest::mouseClick(leds->viewport(), Qt::LeftButton, Qt::NoModifier, onTime);
  QTest::mouseDClick(leds->viewport(), Qt::LeftButton, Qt::NoModifier, onTime);
  typeInPlace(leds, QStringLiteral("[Time]:4s"));
  EXPECT_EQ(leds->item(kLedTimeLine)->text(), "[Time]:4s");
  EXPECT_EQ(page().editor().ledRow()->bytes[6], 40);
  EXPECT_EQ(leds->currentRow(), kLedTimeLine);

  // A step line without LED data empties the list, and closes an open LED popup.
  rightRelease(leds, onMode);
  ASSERT_NE(dlg_->popups().menu(), nullptr);
  selectLine(page().stepList(), 0);
  QApplication::processEvents();
  EXPECT_FALSE(dlg_->popups().anyOpen());
  EXPECT_EQ(leds->count(), 0);
  rightRelease(leds, QPoint(10, 10));
  EXPECT_FALSE(dlg_->popups().anyOpen());
}

TEST_F(MacroPageTest, PlayModeRegionsAndTheLoopCountBox) {
  open();
  const SkinLayouts& layouts = dlg_->layouts();
  auto pressedShown = [&](int region) {
    const SkinButton& r = layouts.macro[static_cast<std::size_t>(region)];
    const QPoint p(r.x + 3, r.y + r.height / 2);
    return dlg_->compose().pixel(p) == dlg_->pictures().page(pageNumber(Page::Macro)).down.pixel(p);
  };
  current().loopCount = 4;
  clickMacroRegion(macro_region::kWhileHeld);
  EXPECT_EQ(current().playMode, play_mode::kWhileHeld);
  EXPECT_EQ(current().loopCount, 1);
  EXPECT_FALSE(page().loopCountBox()->isEnabled());
  EXPECT_EQ(page().loopCountBox()->text(), "1");
  EXPECT_TRUE(pressedShown(macro_region::kWhileHeld));
  EXPECT_FALSE(pressedShown(macro_region::kLoopCount));
  clickMacroRegion(macro_region::kToggle);
  EXPECT_EQ(current().playMode, play_mode::kToggle);
  EXPECT_TRUE(pressedShown(macro_region::kToggle));
  clickMacroRegion(macro_region::kLoopCount);
  EXPECT_EQ(current().playMode, play_mode::kLoopCount);
  EXPECT_TRUE(page().loopCountBox()->isEnabled());

  // The box is typed into as any number box: a count above the largest is put right at once,
  // the file is written when the edit ends, and 0 or nothing becomes 1 then.
  QLineEdit* box = page().loopCountBox();
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("70000"));
  EXPECT_EQ(box->text(), "65535");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(inFile(0, 0).loopCount, 65535);
  box->selectAll();
  QTest::keyClick(box, Qt::Key_0);
  EXPECT_EQ(box->text(), "0");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(box->text(), "1");
  EXPECT_EQ(inFile(0, 0).loopCount, 1);
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("12x3456"));
  EXPECT_EQ(box->text(), "12345") << "digits only, five at most";
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(inFile(0, 0).loopCount, 12345);

  // Cleared, then a new count typed: the box holds what was typed, and the file is written
  // once, when the edit ends.
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_EQ(box->text(), "");
  QTest::keyClick(box, Qt::Key_5);
  EXPECT_EQ(box->text(), "5");
  EXPECT_EQ(current().loopCount, 5);
  EXPECT_EQ(inFile(0, 0).loopCount, 12345) << "not written while it is typed";
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(inFile(0, 0).loopCount, 5);
  // A count typed and left without Return is kept when the page is left.
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("42"));
  clickMain(frame_region::kFirstTab);
  EXPECT_EQ(inFile(0, 0).loopCount, 42);
}

TEST_F(MacroPageTest, EscapeCancelsAnInPlaceEditOfAnyLine) {
  // Each line's edit is started (as Ctrl+A does) and cancelled: the macro, its lines and the
  // messages stay as they were.
  open();
  current().events[0].delay = 3000;  // a pause longer than one pause step, as files may hold
  page().showSteps();
  CEditableListBox* steps = page().stepList();
  const Macro before = current();
  const QStringList lines = linesOf(steps);
  for (const int line : {0, 1, 2, 3}) {
    SCOPED_TRACE(line);
    selectLine(steps, line);
    ASSERT_TRUE(steps->editSelected());
    steps->editor()->setText(QStringLiteral("[DPI]:9"));
    QTest::keyClick(steps->editor(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(steps->editing());
    EXPECT_EQ(current(), before);
    EXPECT_EQ(linesOf(steps), lines);
    EXPECT_TRUE(messages_.texts.empty()) << messages_.texts.front();
  }
  // The macro list's line too.
  CEditableListBox* macros = page().macroList();
  ASSERT_TRUE(macros->editSelected());
  macros->editor()->setText(QStringLiteral("Other"));
  QTest::keyClick(macros->editor(), Qt::Key_Escape);
  EXPECT_EQ(macroName(current()), "Copy");
  // Return keeps the edit: the pause line's delay is split into steps.
  selectLine(steps, 1);
  ASSERT_TRUE(steps->editSelected());
  QTest::keyClick(steps->editor(), Qt::Key_Return);
  EXPECT_EQ(linesOf(steps).mid(1, 5), (QStringList{"    1270ms", "[Delay]", "    1270ms", "[Delay]", "    460ms"}));
}

TEST_F(MacroPageTest, ChangeParametersIsNotOfferedOnALightingLine) {
  open();
  CEditableListBox* steps = page().stepList();
  selectLine(steps, 0);
  choose(sc::kLed);
  ASSERT_TRUE(steps->item(2)->text().startsWith(QStringLiteral("[LED"))) << steps->item(2)->text().toStdString();
  QAction* change = actionOf(&page().stepMenu(), sc::kChangeParameters);
  // Only there: the other items stay where the keyboard finds them.
  for (const std::pair<int, bool>& c : std::vector<std::pair<int, bool>>{{2, false}, {0, true}, {1, true}, {2, false}}) {
    SCOPED_TRACE(c.first);
    selectLine(steps, c.first);
    rightRelease(steps, steps->visualItemRect(steps->item(c.first)).center());
    ASSERT_TRUE(page().stepMenu().isVisible());
    EXPECT_EQ(change->isEnabled(), c.second);
    for (QAction* other : {actionOf(&page().stepMenu(), sc::kModifyDelay), actionOf(&page().stepMenu(), sc::kDeleteStep)}) {
      EXPECT_TRUE(other->isEnabled());
    }
    page().stepMenu().hide();
  }
  // Chosen all the same (a shortcut, a stale menu): no edit starts on the lighting line.
  selectLine(steps, 2);
  page().runStepCommand(sc::kChangeParameters);
  QApplication::processEvents();
  EXPECT_FALSE(steps->editing());
}

TEST_F(MacroPageTest, AFailedSaveIsSaidAndTheGroupStaysOpenWithItsEdits) {
  open();
  choose(sc::kPause);  // an edit of Copy, in memory
  const Macro edited = current();
  const fs::path file = macroFolder() / "Office.dat";
  ::chmod(file.c_str(), 0444);  // as a full disk refuses the write
  const std::string said = saveFailedMessage(file);

  page().handleMessage(macro_message::kSwitchGroup, 2);
  EXPECT_EQ(messages_.texts, std::vector<std::string>{said});
  EXPECT_EQ(page().groupNameBox()->text(), "Office");
  EXPECT_EQ(current(), edited);
  messages_.texts.clear();
  clickMacroRegion(macro_region::kNewGroup);
  EXPECT_EQ(messages_.texts, std::vector<std::string>{said});
  EXPECT_EQ(page().groupNameBox()->text(), "Office");
  messages_.texts.clear();
  clickMain(frame_region::kChinese);
  EXPECT_EQ(messages_.texts, std::vector<std::string>{said});
  EXPECT_EQ(dlg_->app().language, kEnglish) << "the language stays with the edits";
  EXPECT_EQ(current(), edited);

  // Writable again: the switch saves the edit and goes on.
  ::chmod(file.c_str(), 0644);
  messages_.texts.clear();
  page().handleMessage(macro_message::kSwitchGroup, 2);
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_EQ(page().groupNameBox()->text(), "Gaming");
  EXPECT_EQ(inFile(0, 0), edited);
}

TEST_F(MacroPageTest, ButtonsKeepTheirMacrosWhenGroupsAndMacrosAreDeleted) {
  open();
  MacroLibrary& library = dlg_->library();
  ASSERT_GE(library.groups().groupCount, 3);
  const auto nameOf = [&](ButtonFunction code) {
    return library.macroNames().groups[static_cast<std::size_t>(function_code::macroGroup(code) - 1)]
        .names[static_cast<std::size_t>(function_code::macroIndex(code))];
  };
  ProfileSettings& settings = dlg_->settings();
  settings.buttonFunction[0][4] = function_code::libraryMacro(2, 1);  // the second group's second macro
  settings.buttonFunction[2][7] = function_code::libraryMacro(3, 0);
  settings.buttonFunction[1][3] = function_code::libraryMacro(1, 0);  // on the group deleted
  settings.buttonFunction[3][5] = function_code::libraryMacro(2, 3);
  const std::string second = nameOf(settings.buttonFunction[0][4]);
  const std::string third = nameOf(settings.buttonFunction[2][7]);
  const std::string later = nameOf(settings.buttonFunction[3][5]);

  clickMacroRegion(macro_region::kDeleteGroup);  // the first group, open
  EXPECT_EQ(settings.buttonFunction[0][4], function_code::libraryMacro(1, 1));
  EXPECT_EQ(nameOf(settings.buttonFunction[0][4]), second);
  EXPECT_EQ(nameOf(settings.buttonFunction[2][7]), third);
  EXPECT_EQ(settings.buttonFunction[1][3], function_code::kNone);

  // The open group is now the one of button 5: its first macro deleted moves the others up.
  ASSERT_TRUE(page().editor().selectMacro(0));
  clickMacroRegion(macro_region::kDeleteMacro);
  EXPECT_EQ(settings.buttonFunction[0][4], function_code::libraryMacro(1, 0));
  EXPECT_EQ(nameOf(settings.buttonFunction[0][4]), second);
  EXPECT_EQ(nameOf(settings.buttonFunction[3][5]), later);
  // Its own macro deleted: no function.
  ASSERT_TRUE(page().editor().selectMacro(0));
  clickMacroRegion(macro_region::kDeleteMacro);
  EXPECT_EQ(settings.buttonFunction[0][4], function_code::kNone);
  EXPECT_EQ(nameOf(settings.buttonFunction[2][7]), third);
}

TEST_F(MacroPageTest, TheGroupPopupSwitchesAfterSavingTheEdit) {
  open();
  choose(sc::kPause);
  clickMacroRegion(macro_region::kGroupPopup);
  CMenuDlg* groups = dlg_->popups().menu();
  ASSERT_NE(groups, nullptr);
  EXPECT_EQ(groups->kind(), MenuKind::MacroGroup);
  const SkinRect& box = dlg_->layouts().macroControlRect(MacroControl::GroupNameEdit);
  EXPECT_EQ(groups->placedAt().x, dlg_->screenOrigin().x() + box.left - 2);
  EXPECT_EQ(groups->placedAt().y, dlg_->screenOrigin().y() + box.bottom + 2);
  ASSERT_EQ(groups->rowCount(), 3);
  EXPECT_EQ(groups->rows()[1].text, "Gaming");
  clickRow(groups, groups->rowHeight(), 2);
  QApplication::processEvents();
  EXPECT_FALSE(dlg_->popups().anyOpen());
  EXPECT_EQ(page().groupNameBox()->text(), "Gaming");
  EXPECT_EQ(dlg_->library().groups().currentGroup, 1);
  EXPECT_EQ(page().macroList()->currentRow(), 0);
  EXPECT_EQ(inFile(0, 0).eventCount, 5) << "the edit went into the group that was open";
  // An item beyond the groups does nothing.
  page().handleMessage(macro_message::kSwitchGroup, 4);
  EXPECT_EQ(dlg_->library().groups().currentGroup, 1);
}

TEST_F(MacroPageTest, TheLibraryMenuImportsExportsAndRestores) {
  open();
  clickMacroRegion(macro_region::kLibraryMenu);
  CMenuDlg* menu = dlg_->popups().menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->kind(), MenuKind::MacroLibrary);
  ASSERT_EQ(menu->rowCount(), 3);
  EXPECT_EQ(menu->rows()[1].text, "Export");

  // Export: the open group as it is in memory, unsaved edits included.
  choose(sc::kPause);
  const fs::path exported = dir_ / "out.dat";
  dialogs_->files.push_back(exported);
  clickRow(menu, menu->rowHeight(), 2);
  ASSERT_EQ(dialogs_->asked.size(), 1u);
  EXPECT_EQ(dialogs_->asked[0].filter, "All Files(*.dat)");
  EXPECT_EQ(dialogs_->asked[0].defaultSuffix, "dat");
  EXPECT_EQ(dialogs_->asked[0].folder, macroFolder());
  OpenGroup back;
  ASSERT_TRUE(readGroupFile(exported, back, messages_));
  EXPECT_EQ(back.slots[0].eventCount, 5);

  // Import: a group named after the file, opened.
  fs::copy_file(macroFolder() / "Gaming.dat", dir_ / "Extra.dat");
  dialogs_->files.push_back(dir_ / "Extra.dat");
  page().handleMessage(macro_message::kGroupFile, 1);
  EXPECT_EQ(page().groupNameBox()->text(), "Extra");
  EXPECT_EQ(readGroupList(macroFolder()).groupCount, 4);
  EXPECT_EQ(inFile(0, 0).eventCount, 5) << "the edit was saved before the import";
  // A cancelled dialog, and a command the menu does not have, do nothing.
  page().handleMessage(macro_message::kGroupFile, 1);
  page().handleMessage(macro_message::kGroupFile, 4);
  EXPECT_EQ(readGroupList(macroFolder()).groupCount, 4);

  // Restore: the factory set again.
  page().handleMessage(macro_message::kGroupFile, 3);
  EXPECT_EQ(readGroupList(macroFolder()).groupCount, 3);
  EXPECT_FALSE(fs::exists(macroFolder() / "Extra.dat"));
  EXPECT_EQ(page().groupNameBox()->text(), "Office");
  EXPECT_EQ(inFile(0, 0).eventCount, 4);

  // Ten groups: "More than limit!" before any dialog.
  for (int i = 0; i < 7; ++i) {
    clickMacroRegion(macro_region::kNewGroup);
    page().groupNameBox()->setText(QStringLiteral("G%1").arg(i));
    QTest::keyClick(page().groupNameBox(), Qt::Key_Return);
  }
  ASSERT_EQ(dlg_->library().groups().groupCount, 10);
  messages_.texts.clear();
  const std::size_t asked = dialogs_->asked.size();
  page().handleMessage(macro_message::kGroupFile, 1);
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"More than limit!"});
  EXPECT_EQ(dialogs_->asked.size(), asked);
}

TEST_F(MacroPageTest, GroupsAreMadeRenamedThroughTheBoxAndDeleted) {
  open();
  clickMacroRegion(macro_region::kNewGroup);
  CMacGroupEdit* box = page().groupNameBox();
  EXPECT_EQ(box->text(), "New");
  EXPECT_TRUE(fs::exists(macroFolder() / "New.dat"));
  EXPECT_EQ(page().macroList()->count(), 0);
  EXPECT_EQ(page().stepList()->count(), 0);

  // Escape puts the name back; Return renames the group and its file once.
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("Mine"));
  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_EQ(box->text(), "New");
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("Mine"));
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(box->text(), "Mine");
  EXPECT_TRUE(fs::exists(macroFolder() / "Mine.dat"));
  EXPECT_FALSE(fs::exists(macroFolder() / "New.dat"));
  // The name of another group is refused: the box shows the group's own again.
  box->selectAll();
  QTest::keyClicks(box, QStringLiteral("Gaming"));
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(box->text(), "Mine");

  clickMacroRegion(macro_region::kDeleteGroup);
  EXPECT_FALSE(fs::exists(macroFolder() / "Mine.dat"));
  EXPECT_EQ(box->text(), "Office");
  EXPECT_EQ(readGroupList(macroFolder()).groupCount, 3);
  // New macro and its name, delete macro.
  clickMacroRegion(macro_region::kNewMacro);
  QTest::keyClick(page().macroList()->editor(), Qt::Key_Return);
  EXPECT_EQ(page().macroNameBox()->text(), "New");
  const int made = page().macroList()->count();
  clickMacroRegion(macro_region::kDeleteMacro);
  EXPECT_EQ(page().macroList()->count(), made - 1);
  EXPECT_EQ(readMacroNum(macroFolder() / "Office.dat"), made - 1);
}

struct SaveMoment {
  const char* what;
  std::function<void()> act;
};

TEST_F(MacroPageTest, TheEditedMacroReachesItsFileAtEveryMomentThatEndsItsEdit) {
  const std::vector<SaveMoment> moments = {
      {"another macro chosen", [this] {
         page().stepList()->endEdit(true);  // the click in the list takes the focus first
         selectLine(page().macroList(), 2);
       }},
      {"another page", [this] { clickMain(frame_region::kFirstTab + 1); }},
      {"the other language", [this] { clickMain(frame_region::kChinese); }},
      {"Apply", [this] { clickMain(frame_region::kApply); }},
      {"hidden to the tray", [this] { clickMain(frame_region::kMinimize); }},
      {"shut down", [this] { dlg_->onClose(); }},
      {"the name box's edit ended", [this] {
         page().stepList()->endEdit(true);
         QLineEdit* name = page().macroNameBox();
         name->setFocus();
         name->selectAll();
         QTest::keyClicks(name, QStringLiteral("Kept"));
         QTest::keyClick(name, Qt::Key_Return);
       }},
  };
  for (const SaveMoment& m : moments) {
    SCOPED_TRACE(m.what);
    TearDown();
    fs::remove_all(skins_);
    open();
    // An in-place edit under way is kept too.
    choose(sc::kPause);
    selectLine(page().stepList(), 7);
    choose(sc::kModifyDelay);
    page().stepList()->editor()->setText(QStringLiteral("777"));
    m.act();
    const Macro saved = readMacro(MacroFolders::of(skins_, kEnglish).macroFolder, 0, 0);
    EXPECT_EQ(saved.eventCount, 5);
    EXPECT_EQ(saved.events[3].delay, 777);
  }
}

TEST_F(MacroPageTest, WhileADownloadRunsThePageTakesNoInput) {
  open();
  session_->holdApplies = true;
  clickMain(frame_region::kApply);
  ASSERT_TRUE(dlg_->applying());
  EXPECT_FALSE(page().macroList()->isEnabled());
  EXPECT_FALSE(page().groupNameBox()->isEnabled());
  clickMacroRegion(macro_region::kNewMacro);
  EXPECT_EQ(page().macroList()->count(), 8) << "the press is ignored";
  session_->finishApplyNow();
  EXPECT_TRUE(page().macroList()->isEnabled());
  EXPECT_TRUE(page().loopCountBox()->isEnabled());
}

// ---- recording ----

// A key event as the window system delivers it: its key code (evdev + 8) and its time stamp.
void playKey(QWidget* to, bool down, unsigned evdev, std::uint32_t ms, bool repeat = false,
             Qt::Key key = Qt::Key_unknown) {
  QKeyEvent event(down ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier, evdev + 8, 0, 0, QString(), repeat);
  event.setTimestamp(ms);
  QApplication::sendEvent(to, &event);
}

TEST_F(MacroPageTest, RecordingTakesTheKeysPlayedAndTheWindowRefusesEverythingElse) {
  open();
  EXPECT_EQ(page().macroNameBox()->text(), "Copy");
  const Macro before = inFile(0, 0);
  clickMacroRegion(macro_region::kRecord);
  ASSERT_TRUE(page().recording());
  EXPECT_EQ(page().stepList()->count(), 0);
  EXPECT_EQ(page().loopCountBox()->text(), "1");
  EXPECT_FALSE(page().loopCountBox()->isEnabled());
  EXPECT_FALSE(page().macroNameBox()->isEnabled());

  // Keys reach the recorder whichever widget has the focus, and no widget sees them.
  QWidget* anywhere = page().stepList();
  playKey(anywhere, true, 30, 10'000);          // A, held until it repeats
  playKey(anywhere, false, 30, 10'500, true);    // the releases between repeats never happened
  playKey(anywhere, true, 30, 10'500, true);
  playKey(anywhere, true, 30, 10'533, true);
  playKey(anywhere, false, 30, 10'700);
  playKey(anywhere, true, 54, 10'750);          // right Shift
  playKey(anywhere, true, 79, 10'760);          // keypad 1, Shift held
  playKey(anywhere, false, 79, 10'800);
  playKey(anywhere, false, 54, 10'900);
  playKey(anywhere, true, 183, 11'000);         // F13
  playKey(anywhere, false, 183, 11'020);
  playKey(anywhere, true, 0x2ff, 11'100);       // no key of the table: not recorded
  playKey(anywhere, false, 0x2ff, 11'200);
  playKey(anywhere, true, 28, 11'300);          // Return: recorded, the window does not act on it
  playKey(anywhere, false, 28, 11'400);
  playKey(anywhere, true, 103, 11'500, false, Qt::Key_Up);  // the list would move its selection up
  playKey(anywhere, false, 103, 11'510, false, Qt::Key_Up);
  EXPECT_EQ(linesOf(page().stepList()),
            (QStringList{"[↓]A", "    700ms", "[↑]A", "    50ms", "[↓]RSHIFT", "    10ms", "[↓]NUMPAD1", "    40ms", "[↑]NUMPAD1",
                         "    100ms", "[↑]RSHIFT", "    100ms", "[↓]F13", "    20ms", "[↑]F13", "    280ms",
                         "[↓]RETURN", "    100ms", "[↑]RETURN", "    100ms", "[↓]UP", "    10ms", "[↑]UP"}));
  EXPECT_EQ(page().stepList()->currentRow(), page().stepList()->count() - 1)
      << "the last line is selected, and Up reached the recorder, not the list";
  EXPECT_EQ(page().pressLines(), 6);

  // Everything but the recorder's button, minimise, close and empty spots says "Recording".
  messages_.texts.clear();
  clickMacroRegion(macro_region::kNewMacro);
  clickMain(frame_region::kApply);
  clickMain(frame_region::kFirstTab);
  selectLine(page().macroList(), 1);
  EXPECT_EQ(messages_.texts, (std::vector<std::string>(4, "Recording")));
  EXPECT_EQ(session_->applies, 0);
  EXPECT_EQ(dlg_->app().currentPage, pageNumber(Page::Macro));
  EXPECT_EQ(page().macroList()->currentRow(), 0) << "the selection goes back";
  EXPECT_EQ(inFile(0, 0), before) << "nothing is written while recording";

  clickMacroRegion(macro_region::kRecord);
  EXPECT_FALSE(page().recording());
  EXPECT_TRUE(page().macroNameBox()->isEnabled());
  const Macro recorded = current();
  EXPECT_EQ(recorded.eventCount, 12);
  EXPECT_EQ(recorded.loopCount, 1);
  EXPECT_EQ(macroName(recorded), "Copy");
  EXPECT_EQ(recorded.events[9], (MacroEvent{2, 40, 0, 0, 100}));
  EXPECT_EQ(recorded.events[11], (MacroEvent{2, 82, 0, 0, 20}));
  playKey(anywhere, true, 30, 12'000);
  EXPECT_EQ(current().eventCount, 12) << "the keys are the widgets' again";

  // The macro reaches its file when it is left, like every edit.
  selectLine(page().macroList(), 1);
  EXPECT_EQ(inFile(0, 0), recorded);
}

TEST_F(MacroPageTest, HidingTheWindowEndsTheRecordingAndKeepsIt) {
  open();
  clickMacroRegion(macro_region::kRecord);
  ASSERT_TRUE(page().recording());
  playKey(page().stepList(), true, 44, 5'000);  // Z, pressed and never released
  clickMain(frame_region::kMinimize);
  EXPECT_FALSE(page().recording());
  EXPECT_TRUE(messages_.texts.empty());
  const Macro saved = inFile(0, 0);
  EXPECT_EQ(saved.eventCount, 1);
  EXPECT_EQ(saved.events[0], (MacroEvent{1, 29, 0, 0, 0}));
}

}  // namespace
}  // namespace quillet
