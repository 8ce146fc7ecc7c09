// The window's own controls under the offscreen platform: the list box edited in place (what
// starts an edit, what ends it and what each end keeps), the group-name box reporting Return
// and Escape, and the owner-drawn menu (sizes, colours, records, commands) with the step list's
// menu table it carries.
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

#include "core/macro/step_commands.h"
#include "core/skin/step_menu.h"
#include "gui/widgets/editable_list_box.h"
#include "gui/widgets/mac_group_edit.h"
#include "gui/widgets/tolvar_menu.h"

namespace quillet {
namespace {

class ListBoxTest : public ::testing::Test {
 protected:
  ListBoxTest() {
    window.resize(300, 200);
    list = new CEditableListBox(&window);
    list->setGeometry(0, 0, 200, 120);
    QStringList lines;
    for (int i = 0; i < 40; ++i) {
      lines << QStringLiteral("line %1").arg(i);
    }
    list->setLines(lines, 2);
    other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    other->setGeometry(210, 0, 50, 50);
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
  }
  ~ListBoxTest() override { QApplication::processEvents(); }

  void rightRelease(QPoint at) {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(list->viewport()->mapToGlobal(at)),
                        Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &release);
  }
  QPoint centreOf(int row) { return list->visualItemRect(list->item(row)).center(); }
  void type(const QString& text) {
    list->editor()->selectAll();
    QTest::keyClicks(list->editor(), text);
  }

  QWidget window;
  CEditableListBox* list = nullptr;
  QWidget* other = nullptr;
};

TEST_F(ListBoxTest, AnEditStartsOnlyWhileArmedAndOnlyOnTheSelectedLine) {
  QSignalSpy right(list, &CEditableListBox::rightReleased);
  rightRelease(centreOf(2));
  EXPECT_FALSE(list->editing()) << "not armed: the release is the window's (its menus)";
  ASSERT_EQ(right.count(), 1);
  EXPECT_EQ(right.at(0).at(0).toInt(), 2);

  CEditableListBox::armEdit();
  rightRelease(centreOf(3));
  EXPECT_FALSE(list->editing()) << "armed, but not on the selected line";
  rightRelease(centreOf(2));
  ASSERT_TRUE(list->editing());
  EXPECT_EQ(list->editedRow(), 2);
  EXPECT_EQ(CEditableListBox::editArmed(), 0) << "the mark is cleared as the edit starts";
  EXPECT_EQ(list->editor()->text(), "line 2");
  EXPECT_EQ(list->editor()->selectedText(), "line 2");
  EXPECT_TRUE(list->editor()->geometry().contains(centreOf(2)));
  list->endEdit(false);

  // Insert's release starts one only when armed; so does the character of code 1.
  QTest::keyClick(list, Qt::Key_Insert);
  EXPECT_FALSE(list->editing());
  CEditableListBox::armEdit();
  QTest::keyClick(list, Qt::Key_Insert);
  EXPECT_TRUE(list->editing());
  list->endEdit(false);
  QTest::keyClick(list, Qt::Key_A);
  EXPECT_FALSE(list->editing());
  QKeyEvent controlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
  QApplication::sendEvent(list, &controlA);
  EXPECT_TRUE(list->editing()) << "Ctrl+A types the character 1";
  list->endEdit(false);

  // Without a selected line nothing is edited.
  list->selectSilently(-1);
  EXPECT_FALSE(list->editSelected());
  EXPECT_FALSE(list->editing());
}

struct EndCase {
  const char* how;
  std::function<void()> end;
  bool kept;
};

TEST_F(ListBoxTest, ReturnAndFocusLossKeepEscapeDiscardsAndEveryEndIsReported) {
  const std::vector<EndCase> cases = {
      {"Return", [this] { QTest::keyClick(list->editor(), Qt::Key_Return); }, true},
      {"Enter", [this] { QTest::keyClick(list->editor(), Qt::Key_Enter); }, true},
      {"Escape", [this] { QTest::keyClick(list->editor(), Qt::Key_Escape); }, false},
      {"focus loss", [this] { other->setFocus(Qt::MouseFocusReason); }, true},
      {"scroll", [this] { list->verticalScrollBar()->setValue(5); }, true},
      {"resize", [this] { list->resize(180, 110); }, true},
  };
  for (const EndCase& c : cases) {
    QStringList lines{"alpha", "beta", "gamma"};
    for (int i = 0; i < 37; ++i) {
      lines << QStringLiteral("more %1").arg(i);
    }
    list->setLines(lines, 1);
    list->verticalScrollBar()->setValue(0);
    QSignalSpy stored(list, &CEditableListBox::textStored);
    QSignalSpy ended(list, &CEditableListBox::editEnded);
    ASSERT_TRUE(list->editSelected()) << c.how;
    type(QStringLiteral("BETA"));
    c.end();
    QApplication::processEvents();
    EXPECT_FALSE(list->editing()) << c.how;
    ASSERT_EQ(ended.count(), 1) << c.how;
    EXPECT_EQ(ended.at(0).at(0).toInt(), 1) << c.how;
    EXPECT_EQ(ended.at(0).at(1).toBool(), c.kept) << c.how;
    EXPECT_EQ(list->item(1)->text(), c.kept ? "BETA" : "beta") << c.how;
    EXPECT_EQ(list->currentRow(), 1) << c.how;
    ASSERT_EQ(stored.count(), c.kept ? 1 : 0) << c.how;
    if (c.kept) {
      EXPECT_EQ(stored.at(0).at(0).toInt(), 1);
      EXPECT_EQ(stored.at(0).at(1).toString(), "beta") << "the previous text comes along";
    }
    EXPECT_EQ(list->count(), 40) << c.how;
  }
}

TEST_F(ListBoxTest, AReturnPressedElsewhereEndsNoEditOnItsRelease) {
  // The Return that chose the menu item which opened the edit is released in the edit box.
  ASSERT_TRUE(list->editSelected());
  QTest::keyRelease(list->editor(), Qt::Key_Return);
  EXPECT_TRUE(list->editing());
  QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier, QString(), true);
  QTest::keyPress(list->editor(), Qt::Key_Escape);
  QApplication::sendEvent(list->editor(), &repeat);
  EXPECT_TRUE(list->editing()) << "a key held down ends nothing until it is let go";
  QTest::keyRelease(list->editor(), Qt::Key_Escape);
  EXPECT_FALSE(list->editing());
}

TEST_F(ListBoxTest, TheSameTextStoresNothingButStillEndsTheEdit) {
  QSignalSpy stored(list, &CEditableListBox::textStored);
  QSignalSpy ended(list, &CEditableListBox::editEnded);
  QSignalSpy chosen(list, &CEditableListBox::rowChosen);
  ASSERT_TRUE(list->editSelected());
  QTest::keyClick(list->editor(), Qt::Key_Return);
  EXPECT_EQ(stored.count(), 0);
  EXPECT_EQ(ended.count(), 1);
  // The window's own changes of the lines and the selection are not the user's choices.
  list->setLines({"x", "y"}, 1);
  list->selectSilently(0);
  EXPECT_EQ(chosen.count(), 0);
  QTest::keyClick(list, Qt::Key_Down);
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen.at(0).at(0).toInt(), 1);
  // A list that does not notify stores without telling.
  list->setNotify(false);
  ASSERT_TRUE(list->editSelected());
  type(QStringLiteral("z"));
  QTest::keyClick(list->editor(), Qt::Key_Return);
  EXPECT_EQ(list->item(1)->text(), "z");
  EXPECT_EQ(stored.count(), 0);
}

TEST(MacGroupEdit, ReportsReturnAndEscapeOnTheirRelease) {
  CMacGroupEdit box;
  box.show();
  QSignalSpy reported(&box, &CMacGroupEdit::keyReported);
  QTest::keyClick(&box, Qt::Key_Return);
  QTest::keyClick(&box, Qt::Key_Escape);
  QTest::keyClick(&box, Qt::Key_Enter);
  QTest::keyClick(&box, Qt::Key_X);
  ASSERT_EQ(reported.count(), 3);
  EXPECT_TRUE(reported.at(0).at(0).toBool());
  EXPECT_FALSE(reported.at(1).at(0).toBool());
  EXPECT_TRUE(reported.at(2).at(0).toBool());
  EXPECT_EQ(box.text(), "x");
  QTest::keyPress(&box, Qt::Key_Return);
  EXPECT_EQ(reported.count(), 3) << "not before the key is released";
}

TEST(TolvarMenu, ItemsMeasureEightPixelsACharacterAndDrawInTheirColours) {
  EXPECT_EQ(CTolvarMenu::measureItem(QStringLiteral("Exit Driver"), 32800), QSize(88, 20));
  EXPECT_EQ(CTolvarMenu::measureItem(QStringLiteral("显示窗口   "), 32837), QSize(56, 20));
  EXPECT_EQ(CTolvarMenu::measureItem(QString(), 0), QSize(0, 1));
  EXPECT_EQ(CTolvarMenu::gradientLine(0, 20), QColor(0, 0, 255));
  EXPECT_EQ(CTolvarMenu::gradientLine(19, 20), QColor(0, 12 * 19, 255));
  EXPECT_EQ(CTolvarMenu::gradientLine(2, 3), QColor(0, 170, 255));

  CTolvarMenu menu;
  menu.makeOwnerDrawn({{"Show Window", 32801, {}}, {}, {"Exit Driver", 32800, {}}});
  ASSERT_EQ(menu.records().size(), 3u);
  EXPECT_EQ(menu.records()[0].ordinal, 0);
  EXPECT_EQ(menu.records()[1].command, 0);
  EXPECT_EQ(menu.records()[2].ordinal, 1);
  const QList<QAction*> actions = menu.actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_TRUE(actions[1]->isSeparator());
  // The menu is as wide as its widest item plus the arrow's room, every item 20 high.
  EXPECT_EQ(menu.actionGeometry(actions[0]).size(), QSize(88 + CTolvarMenu::kArrowRoom, 20));
  EXPECT_EQ(menu.actionGeometry(actions[1]).height(), 1);
  const QImage picture = menu.grab().toImage();
  const QRect item = menu.actionGeometry(actions[2]);
  EXPECT_EQ(QColor(picture.pixel(item.right() - 2, item.top() + 2)), CTolvarMenu::kItemFill);
  const QRect separator = menu.actionGeometry(actions[1]);
  EXPECT_EQ(QColor(picture.pixel(separator.left() + CTolvarMenu::kSeparatorIndent + 5, separator.top())),
            QColor(0, 0, 255));

  QSignalSpy chosen(&menu, &CTolvarMenu::commandChosen);
  actions[2]->trigger();
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen.at(0).at(0).toInt(), 32800);
  // A second build starts its records anew.
  menu.makeOwnerDrawn({{"Only", 7, {}}});
  EXPECT_EQ(menu.records().size(), 1u);
  EXPECT_EQ(menu.actions().size(), 1);
}

TEST(StepMenu, BothLanguagesCarryEveryCommandOnceUnderTheSameIds) {
  namespace sc = step_command;
  const std::set<int> all = {sc::kLeftPressBefore,  sc::kLeftReleaseBefore,  sc::kRightPressBefore,
                             sc::kRightReleaseBefore, sc::kMiddlePressBefore, sc::kMiddleReleaseBefore,
                             sc::kLeftPressAfter,   sc::kLeftReleaseAfter,   sc::kRightPressAfter,
                             sc::kRightReleaseAfter, sc::kMiddlePressAfter,  sc::kMiddleReleaseAfter,
                             sc::kMoveLeftUp,       sc::kMoveLeftDown,       sc::kMoveRightUp,
                             sc::kMoveRightDown,    sc::kCpiSet,             sc::kCpiReset,
                             sc::kLed,              sc::kPause,              sc::kChangeParameters,
                             sc::kModifyDelay,      sc::kDeleteStep};
  for (const Language language : {kEnglish, kChinese}) {
    const std::vector<int> ids = commandsOf(stepMenu(language));
    EXPECT_EQ(ids.size(), all.size());
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()), all);
  }
  EXPECT_EQ(commandsOf(stepMenu(kEnglish)), commandsOf(stepMenu(kChinese)));
  // Texts as the menus have always had them.
  const std::vector<MenuItemSpec> en = stepMenu(kEnglish);
  const std::vector<MenuItemSpec> cn = stepMenu(kChinese);
  EXPECT_EQ(en[1].text, "Insert after");
  EXPECT_EQ(en[2].items[1].text, "X-,Y+");
  EXPECT_EQ(en[3].items[0].text, "Set up CPI");
  EXPECT_EQ(en.back().text, "Delete option");
  EXPECT_EQ(QString::fromStdString(cn[0].text).trimmed(), "项前插入");
  EXPECT_EQ(QString::fromStdString(cn[3].items[1].text).trimmed(), "返回CPI至执行前");
  EXPECT_EQ(QString::fromStdString(cn[0].items[0].items[0].text).trimmed(), "向下");

  // Every insert is the step its text says: before and after, press and release, per button.
  const MenuItemSpec& middleAfter = en[1].items[2];
  EXPECT_EQ(QString::fromStdString(middleAfter.text).trimmed(), "Middle button");
  const std::optional<StepInsertCommand> step = stepInsertOf(middleAfter.items[0].command);
  ASSERT_TRUE(step);
  EXPECT_EQ(step->place, InsertPlace::After);
  EXPECT_EQ(step->step.code, step_code::kMouseMiddle);
  EXPECT_EQ(step->step.type, step_type::kPress);
  EXPECT_EQ(stepInsertOf(en[0].items[1].items[1].command)->step.code, step_code::kMouseRight);
  EXPECT_EQ(stepInsertOf(en[0].items[1].items[1].command)->place, InsertPlace::Before);
}

}  // namespace
}  // namespace quillet
