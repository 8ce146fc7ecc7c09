// The owner-drawn controls: the in-place edit box (CEditHelper) and the skinned combo box
// (CPngComboBox).
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "gui/widgets/edit_helper.h"
#include "gui/widgets/png_combo_box.h"

namespace quillet {
namespace {

TEST(EditHelper, ReturnKeepsEscapeDiscardsAndLeavingKeeps) {
  QWidget parent;
  auto* edit = new CEditHelper(&parent);
  parent.show();
  QSignalSpy ended(edit, &CEditHelper::editEnded);
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Enter);
  QTest::keyClick(edit, Qt::Key_Escape);
  QTest::keyClick(edit, Qt::Key_A);
  ASSERT_EQ(ended.count(), 3);
  EXPECT_TRUE(ended[0][0].toBool());
  EXPECT_TRUE(ended[1][0].toBool());
  EXPECT_FALSE(ended[2][0].toBool());
  // Reported on the release: a press alone ends nothing.
  QTest::keyPress(edit, Qt::Key_Return);
  EXPECT_EQ(ended.count(), 3);
  QTest::keyRelease(edit, Qt::Key_Return);
  EXPECT_EQ(ended.count(), 4);

  QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
  QApplication::sendEvent(edit, &popup);
  EXPECT_EQ(ended.count(), 4) << "its own context menu keeps the edit going";
  QFocusEvent away(QEvent::FocusOut, Qt::MouseFocusReason);
  QApplication::sendEvent(edit, &away);
  ASSERT_EQ(ended.count(), 5);
  EXPECT_TRUE(ended[4][0].toBool());
  EXPECT_EQ(edit->text(), QStringLiteral("a")) << "the owner decides what becomes of the text";
}

TEST(EditHelper, TheSurveyFilterJudgesTypedTextOnly) {
  CEditHelper edit;
  QTest::keyClicks(&edit, QStringLiteral("a#b"));
  EXPECT_EQ(edit.text(), QStringLiteral("a#b")) << "no filter unless it is asked for";
  edit.clear();
  edit.setSurveyFilter(true);
  QTest::keyClicks(&edit, QStringLiteral("a#b c-d"));
  EXPECT_EQ(edit.text(), QStringLiteral("abcd"));
  QTest::keyClick(&edit, Qt::Key_Left);
  QTest::keyClick(&edit, Qt::Key_Delete);
  EXPECT_EQ(edit.text(), QStringLiteral("abc")) << "keys that type nothing pass";
  QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit.text(), QStringLiteral("abc")) << "Ctrl+V types a control character, which the filter drops";
  edit.setText(QStringLiteral("set #1"));
  EXPECT_EQ(edit.text(), QStringLiteral("set #1")) << "text put in by the program is not filtered";

  // An input method's committed text loses the characters the filter drops.
  edit.clear();
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("中文，ok!"));
  QApplication::sendEvent(&edit, &commit);
  EXPECT_EQ(edit.text(), QStringLiteral("中文ok"));
}

// Keys as a display server sends them, text included: X11 and Wayland give Delete the text
// "\x7f" and backspace "\b"; a synthetic key without text would pass any filter.
TEST(EditHelper, TheSurveyFilterPassesEditingKeysAndDropsPrintedCharactersItRefuses) {
  QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* text;
    const char* after;  // from "abcd" with the cursor after "ab"
  };
  const Case cases[] = {
      {Qt::Key_Delete, Qt::NoModifier, "\x7f", "abd"},
      {Qt::Key_Backspace, Qt::NoModifier, "\b", "acd"},
      {Qt::Key_Home, Qt::NoModifier, "", "abcd"},
      {Qt::Key_X, Qt::NoModifier, "x", "abxcd"},
      {Qt::Key_At, Qt::ShiftModifier, "@", "ab@cd"},
      {Qt::Key_NumberSign, Qt::ShiftModifier, "#", "abcd"},
      {Qt::Key_Space, Qt::NoModifier, " ", "abcd"},
      {Qt::Key_Tab, Qt::NoModifier, "\t", "abcd"},
      {Qt::Key_V, Qt::ControlModifier, "\x16", "abcd"},    // a paste would bring in unfiltered text
      {Qt::Key_Insert, Qt::ShiftModifier, "", "abcd"},    // so would this one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after);
    CEditHelper edit;
    edit.setText(QStringLiteral("abcd"));
    edit.setCursorPosition(2);
    edit.setSurveyFilter(true);
    QTest::sendKeyEvent(QTest::Press, &edit, c.key, QString::fromLatin1(c.text), c.modifiers);
    QTest::sendKeyEvent(QTest::Release, &edit, c.key, QString::fromLatin1(c.text), c.modifiers);
    EXPECT_EQ(edit.text().toStdString(), c.after);
  }
}

TEST(EditHelper, TheLimitStopsTypingNotTheProgram) {
  CEditHelper edit;
  edit.setTextLimit(3);
  QTest::keyClicks(&edit, QStringLiteral("12345"));
  EXPECT_EQ(edit.text(), QStringLiteral("123"));
  edit.setText(QStringLiteral("What game to play:"));
  EXPECT_EQ(edit.text(), QStringLiteral("What game to play:"));
  edit.setTextLimit(0);
  edit.clear();
  QTest::keyClicks(&edit, QStringLiteral("12345"));
  EXPECT_EQ(edit.text(), QStringLiteral("12345"));
}

TEST(PngComboBox, ItemsKeepTheirColoursAndRowsAreFifteenPixelsHigh) {
  CPngComboBox box;
  box.addItem(QStringLiteral("Red"), QColor(255, 0, 0));
  box.addItem(QStringLiteral("Plain"), Qt::white);
  EXPECT_EQ(box.count(), 2);
  EXPECT_EQ(box.itemColour(0), QColor(255, 0, 0));
  EXPECT_EQ(box.itemColour(1), QColor(Qt::white));
  QStyleOptionViewItem option;
  option.initFrom(box.view());
  EXPECT_EQ(box.itemDelegate()->sizeHint(option, box.model()->index(0, 0)).height(), CPngComboBox::kItemHeight);
}

TEST(PngComboBox, DrawsItsFrameAndArrowWithOrWithoutThePicture) {
  for (const bool picture : {true, false}) {
    CPngComboBox box;
    box.resize(200, 28);
    if (picture) {
      ASSERT_TRUE(box.loadArrowImages()) << "the arrow is built into the program";
    }
    EXPECT_EQ(box.hasArrowImages(), picture);
    const QImage drawn = box.render();
    EXPECT_EQ(QColor(drawn.pixel(0, 14)), CPngComboBox::kOutline);
    EXPECT_EQ(QColor(drawn.pixel(100, 14)), CPngComboBox::kBackground);
    // Something light in the arrow area, nothing but background left of it.
    int light = 0;
    for (int x = 200 - CPngComboBox::kArrowWidth + 1; x < 199; ++x) {
      for (int y = 2; y < 26; ++y) {
        light += qGray(drawn.pixel(x, y)) > 128 ? 1 : 0;
      }
    }
    EXPECT_GT(light, 4) << (picture ? "picture" : "platform arrow");
  }
}

TEST(PngComboBox, PressAndHoverAreTrackedAndThePressEndsWhenTheListCloses) {
  QWidget parent;
  auto* box = new CPngComboBox(&parent);
  box->setGeometry(10, 10, 200, 28);
  for (const char* c : {"Chile", "China", "Cuba"}) {
    box->addItem(QString::fromLatin1(c), Qt::white);
  }
  parent.show();
  QMouseEvent move(QEvent::MouseMove, QPointF(50, 10), QPointF(box->mapToGlobal(QPoint(50, 10))), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(box, &move);
  EXPECT_TRUE(box->hovering());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(box, &leave);
  EXPECT_FALSE(box->hovering());
  QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(190, 14));
  EXPECT_TRUE(box->pressed());
  box->hidePopup();
  EXPECT_FALSE(box->pressed());

  // The highlight follows the current row of the open list, remembering the one before.
  box->showPopup();
  box->view()->setCurrentIndex(box->model()->index(1, 0));
  box->view()->setCurrentIndex(box->model()->index(2, 0));
  EXPECT_EQ(box->highlight(), 2);
  EXPECT_EQ(box->previousHighlight(), 1);
  box->hidePopup();
}

}  // namespace
}  // namespace quillet
