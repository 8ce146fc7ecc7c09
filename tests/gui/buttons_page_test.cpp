// The buttons page under the offscreen platform: the profile list, every row of the function
// list and its sub-menus with the codes they assign, the left-click protection and its warning,
// popups closed by a press that still acts, the settings file's import, export and reset, the
// support site, the advanced page's colours, and a download that keeps the window answering.
#include <sys/stat.h>

#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include "core/io/ini.h"
#include "core/settings/settings_file.h"
#include "core/skin/startup.h"
#include "gui/pages/buttons_page.h"
#include "gui/widgets/warning_dlg.h"
#include "gui/window_fixture.h"

namespace quillet {
namespace {

using test::WindowTest;

QStringList texts(const SkinPopup& popup) {
  QStringList out;
  for (const PopupRow& row : popup.rows()) {
    out << row.text;
  }
  return out;
}

class ButtonsPageTest : public WindowTest {
 protected:
  // Opens the function list of `button` on profile `profile` (profiles 2..4 have no left-click
  // protection, so no warning comes first).
  CMenuDlg& openFunctions(int button, int profile = 1) {
    dlg_->app().currentProfile = profile;
    clickMain(frame_region::kFirstButton + button);
    CMenuDlg* menu = dlg_->popups().menu();
    EXPECT_NE(menu, nullptr);
    return *menu;
  }
  ButtonFunction function(int button, int profile = 1) {
    return dlg_->settings().buttonFunction[static_cast<std::size_t>(profile)][static_cast<std::size_t>(button)];
  }
  // Sub-menu row `item` of function-list row `row`, chosen on button 3 of profile 2.
  ButtonFunction choose(int row, int item) {
    CMenuDlg& menu = openFunctions(3);
    hoverRow(&menu, menu.rowHeight(), row);
    CSubMenuDlg* sub = dlg_->popups().subMenu();
    EXPECT_NE(sub, nullptr) << "row " << row;
    if (sub == nullptr) {
      return -1;
    }
    clickRow(sub, sub->rowHeight(), item);
    QApplication::processEvents();
    EXPECT_FALSE(dlg_->popups().anyOpen());
    return function(3);
  }
};

TEST_F(ButtonsPageTest, TheProfileListPicksAProfileAndWritesCurConfigAtOnce) {
  start();
  const SkinButton& box = dlg_->layouts().main[frame_region::kProfile];
  clickMain(frame_region::kProfile);
  CMenuDlg* menu = dlg_->popups().menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->kind(), MenuKind::Profile);
  EXPECT_EQ(menu->windowTitle(), "MainMenuDlg");
  EXPECT_EQ(dlg_->app().popupOpen, 1);
  // Right below the profile box, the box's width, four rows of a tenth of the mask's height.
  const int rowHeight = dlg_->pictures().popup(PopupPictureSet::Menu).mask.height() / 10;
  EXPECT_EQ(menu->geometry(), QRect(dlg_->mapToGlobal(QPoint(box.x, box.y + box.height)), QSize(box.width, 4 * rowHeight)));
  EXPECT_EQ(texts(*menu), (QStringList{"Profile 1", "Profile 2", "Profile 3", "Profile 4"}));

  // The hovered row comes from the hover picture, the pressed one from the down picture.
  hoverRow(menu, rowHeight, 3);
  const QRect band(0, 2 * rowHeight, menu->width(), rowHeight);
  const QImage& pics = dlg_->pictures().popup(PopupPictureSet::Menu).over;
  EXPECT_EQ(menu->render().pixel(2, band.top() + 1), pics.pixel(2, band.top() + 1));
  send(menu, QEvent::MouseButtonPress, band.center(), Qt::LeftButton);
  EXPECT_EQ(menu->render().pixel(2, band.top() + 1),
            dlg_->pictures().popup(PopupPictureSet::Menu).down.pixel(2, band.top() + 1));
  send(menu, QEvent::MouseButtonRelease, band.center());
  QApplication::processEvents();

  EXPECT_EQ(dlg_->app().currentProfile, 2);
  EXPECT_EQ(ini::readString(configPath(), "Init", "CurConfig", "", 16), "3") << "written before any apply";
  EXPECT_FALSE(dlg_->popups().anyOpen());

  // In Chinese the list shows the Chinese names.
  clickMain(frame_region::kChinese);
  clickMain(frame_region::kProfile);
  ASSERT_NE(dlg_->popups().menu(), nullptr);
  EXPECT_EQ(texts(*dlg_->popups().menu()), (QStringList{"配置1", "配置2", "配置3", "配置4"}));
}

TEST_F(ButtonsPageTest, EveryItemOfTheFunctionListAssignsItsCode) {
  start();
  // Rows 1..6 assign their own number.
  for (int row = 1; row <= 6; ++row) {
    CMenuDlg& menu = openFunctions(3);
    clickRow(&menu, menu.rowHeight(), row);
    QApplication::processEvents();
    EXPECT_EQ(function(3), row);
    EXPECT_FALSE(dlg_->popups().anyOpen());
  }
  // Advanced: the device functions 11..21, then the hold function 40.
  const std::vector<ButtonFunction> advanced{11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 40};
  for (int item = 1; item <= 12; ++item) {
    EXPECT_EQ(choose(7, item), advanced[static_cast<std::size_t>(item - 1)]) << "advanced item " << item;
  }
  for (int item = 1; item <= 10; ++item) {
    EXPECT_EQ(choose(8, item), 21 + item) << "multimedia item " << item;
  }
  for (int item = 1; item <= 8; ++item) {
    EXPECT_EQ(choose(10, item), 31 + item) << "built-in macro " << item;
  }
}

TEST_F(ButtonsPageTest, TheListsShowTheSkinsNamesWhereTheyBelong) {
  start();
  CMenuDlg& menu = openFunctions(3);
  EXPECT_EQ(texts(menu), (QStringList{"Left click", "Right click", "Middle click", "Back", "Forward", "DPI cycle",
                                      "Advanced", "Multimedia", "Macros", "Built-in macros"}));
  const SkinButton& box = dlg_->layouts().main[frame_region::kFirstButton + 3];
  const int row = menu.rowHeight();
  EXPECT_EQ(row, dlg_->pictures().popup(PopupPictureSet::FunctionMenu).mask.height() / 15);
  EXPECT_EQ(menu.geometry(), QRect(dlg_->mapToGlobal(QPoint(box.x + 1, box.y + box.height)), QSize(box.width + 1, 10 * row)));

  // Row 7 does nothing itself: hovering it opens its twelve items beside the list, a row lower.
  hoverRow(&menu, row, 7);
  CSubMenuDlg* sub = dlg_->popups().subMenu();
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->windowTitle(), "SubMenuDlg");
  EXPECT_EQ(sub->geometry().topLeft(), menu.geometry().topLeft() + QPoint(menu.width(), row));
  EXPECT_EQ(texts(*sub).first(), "Fire");
  EXPECT_EQ(texts(*sub).last(), "Hold");
  EXPECT_EQ(sub->rowCount(), 12);
  const ButtonFunction before = function(3);
  clickRow(&menu, row, 7);
  EXPECT_EQ(function(3), before);
  EXPECT_NE(dlg_->popups().menu(), nullptr) << "the list stays open";

  // Multimedia opens two rows above the list's top; another row closes the sub-menu.
  hoverRow(&menu, row, 8);
  ASSERT_NE(dlg_->popups().subMenu(), nullptr);
  EXPECT_EQ(dlg_->popups().subMenu()->geometry().top(), menu.geometry().top() - 2 * row);
  EXPECT_EQ(texts(*dlg_->popups().subMenu()).first(), "Home page");
  hoverRow(&menu, row, 2);
  QApplication::processEvents();
  EXPECT_EQ(dlg_->popups().subMenu(), nullptr);

  // The sub-menu's hovered item is drawn red.
  hoverRow(&menu, row, 10);
  sub = dlg_->popups().subMenu();
  ASSERT_NE(sub, nullptr);
  hoverRow(sub, sub->rowHeight(), 2);
  const QImage shown = sub->render();
  int red = 0;
  for (int x = 0; x < shown.width(); ++x) {
    const QColor c = shown.pixelColor(x, sub->rowHeight() + sub->rowHeight() / 2);
    red += c.red() > 200 && c.green() < 80 ? 1 : 0;
  }
  EXPECT_GT(red, 3);
}

TEST_F(ButtonsPageTest, AMacroOfTheLibraryIsAssignedFromTheThirdLevel) {
  start();
  const MacroGroupList& groups = dlg_->library().groups();
  ASSERT_GE(groups.groupCount, 3) << "the shipped library";
  CMenuDlg& menu = openFunctions(3);
  hoverRow(&menu, menu.rowHeight(), 9);
  CSubMenuDlg* sub = dlg_->popups().subMenu();
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(texts(*sub), (QStringList{"Office", "Gaming", "Browser"}));
  EXPECT_EQ(sub->geometry().top(), menu.geometry().top() + (9 - 3) * menu.rowHeight());
  // A release on a group assigns nothing: its macros are the way on.
  clickRow(sub, sub->rowHeight(), 3);
  ASSERT_NE(dlg_->popups().macroMenu(), nullptr);
  MacSelMenuDlg* macros = dlg_->popups().macroMenu();
  EXPECT_EQ(macros->windowTitle(), "MacSelMenuDlg");
  EXPECT_EQ(macros->group(), 2);
  EXPECT_EQ(macros->rowCount(), 8);
  EXPECT_EQ(macros->geometry().top(), sub->geometry().top() + 2 * sub->rowHeight());
  clickRow(macros, macros->rowHeight(), 2);
  QApplication::processEvents();
  EXPECT_EQ(function(3), 256 * 3 + 1) << "the second macro of the third group";
  EXPECT_FALSE(dlg_->popups().anyOpen()) << "all three levels close";
  // The button is shown under the macro's name.
  EXPECT_EQ(buttonFunctionName(function(3), dlg_->app(), dlg_->library().macroNames()),
            dlg_->library().macroNames().groups[2].names[1]);
}

TEST_F(ButtonsPageTest, ProfileOneKeepsALeftClickAndAsksBeforeItsOnlyOneChanges) {
  start();
  dlg_->app().currentProfile = 0;
  auto& profile1 = dlg_->settings().buttonFunction[0];
  profile1 = {1, 2, 3, 4, 5, 6, 14, 13};

  // Button 4 is not the left click: no warning, and giving it a function keeps button 0's.
  clickMain(frame_region::kFirstButton + 3);
  EXPECT_EQ(dlg_->warning(), nullptr);
  ASSERT_NE(dlg_->popups().menu(), nullptr);
  dlg_->popups().closeAll();

  // Button 1 holds the only left click: the warning comes first, just below the button.
  const SkinButton& b0 = dlg_->layouts().main[frame_region::kFirstButton];
  QRect shownAt;
  bool returnKept = false;
  pressAnsweringWarning(frame_region::kFirstButton, [&](WarningDlg& w) {
    shownAt = w.geometry();
    EXPECT_EQ(w.windowTitle(), "WarningDlg");
    QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&w, &ret);
    returnKept = w.isVisible();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&w, &esc);
  });
  EXPECT_TRUE(returnKept) << "Return does nothing";
  EXPECT_EQ(dlg_->hover().main, kNoRegion) << "the button stays lit after the warning has closed";
  EXPECT_EQ(shownAt.topLeft(), dlg_->mapToGlobal(QPoint(b0.x, b0.y + b0.height)));
  EXPECT_FALSE(dlg_->popups().anyOpen()) << "Escape cancels: no list";

  // Confirmed: the list opens; a release on the message area answers nothing.
  pressAnsweringWarning(frame_region::kFirstButton, [&](WarningDlg& w) {
    const SkinButton& text = dlg_->layouts().warning[2];
    send(&w, QEvent::MouseMove, centre(text));
    send(&w, QEvent::MouseButtonRelease, centre(text));
    EXPECT_TRUE(w.isVisible());
    const QPoint ok = centre(dlg_->layouts().warning[0]);
    send(&w, QEvent::MouseMove, ok);
    EXPECT_EQ(w.hoverButton(), WarningDlg::kConfirmed);
    send(&w, QEvent::MouseButtonRelease, ok);
  });
  CMenuDlg* menu = dlg_->popups().menu();
  ASSERT_NE(menu, nullptr);
  clickRow(menu, menu->rowHeight(), 2);
  QApplication::processEvents();
  EXPECT_EQ(profile1[0], 2);
  EXPECT_EQ(profile1[1], 1) << "the next button takes the left click";

  // The last button gets its own left click back.
  profile1 = {2, 3, 3, 4, 5, 6, 14, 1};
  pressAnsweringWarning(frame_region::kFirstButton + 7, [&](WarningDlg& w) {
    const QPoint ok = centre(dlg_->layouts().warning[0]);
    send(&w, QEvent::MouseMove, ok);
    send(&w, QEvent::MouseButtonRelease, ok);
  });
  menu = dlg_->popups().menu();
  ASSERT_NE(menu, nullptr);
  hoverRow(menu, menu->rowHeight(), 8);
  ASSERT_NE(dlg_->popups().subMenu(), nullptr);
  clickRow(dlg_->popups().subMenu(), dlg_->popups().subMenu()->rowHeight(), 1);
  QApplication::processEvents();
  EXPECT_EQ(profile1[7], 1);

  // Two left clicks: no warning for either; other profiles never warn.
  profile1 = {1, 2, 1, 4, 5, 6, 14, 13};
  clickMain(frame_region::kFirstButton);
  EXPECT_NE(dlg_->popups().menu(), nullptr);
  dlg_->settings().buttonFunction[1] = {2, 2, 2, 2, 2, 2, 2, 2};
  openFunctions(0, 1);
  EXPECT_NE(dlg_->popups().menu(), nullptr);
}

TEST_F(ButtonsPageTest, APressInTheWindowClosesThePopupAndStillActs) {
  start();
  openFunctions(3);
  ASSERT_TRUE(dlg_->popups().anyOpen());
  clickMain(frame_region::kProfile);
  ASSERT_NE(dlg_->popups().menu(), nullptr);
  EXPECT_EQ(dlg_->popups().menu()->kind(), MenuKind::Profile) << "the press opened the profile list";
  clickMain(7);
  QApplication::processEvents();
  EXPECT_FALSE(dlg_->popups().anyOpen());
  EXPECT_EQ(dlg_->app().currentPage, 1) << "and switched the page";
}

TEST_F(ButtonsPageTest, APopupThatWouldLeaveTheScreenStaysOnIt) {
  if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
    GTEST_SKIP() << "on Wayland the compositor keeps popups on the screen";
  }
  start();
  const QRect screen = dlg_->screen()->availableGeometry();
  dlg_->move(screen.right() - dlg_->width() + 1, screen.bottom() - dlg_->height() + 1);
  QApplication::processEvents();
  CMenuDlg& menu = openFunctions(1);  // a button on the window's right
  hoverRow(&menu, menu.rowHeight(), 9);
  CSubMenuDlg* sub = dlg_->popups().subMenu();
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(screen.contains(menu.geometry())) << menu.geometry().x() << "," << menu.geometry().y();
  EXPECT_TRUE(screen.contains(sub->geometry()));
  EXPECT_EQ(sub->geometry().right() + 1, menu.geometry().left()) << "the sub-menu opens on the list's left";
}

TEST_F(ButtonsPageTest, ImportExportAndResetGoThroughTheFileDialogs) {
  start();
  // Export: the dialog starts in the application folder with the settings files' filter.
  const std::filesystem::path exported = dir_ / "saved.ini";
  dialogs_->files.push_back(exported);
  clickMain(frame_region::kExport);
  ASSERT_EQ(dialogs_->asked.size(), 1u);
  EXPECT_EQ(dialogs_->asked[0].filter, "All Files(*.ini)");
  EXPECT_EQ(dialogs_->asked[0].defaultSuffix, "ini");
  EXPECT_EQ(dialogs_->asked[0].folder, std::filesystem::path(QUILLET_BIN_DIR));
  EXPECT_EQ(test::readBytes(exported), test::readBytes(configPath()));

  // Import of an edited copy: the window shows what it holds.
  ASSERT_TRUE(ini::writeString(exported, "Config1", "FIRE_TIME", "123"));
  ASSERT_TRUE(ini::writeString(exported, "Config1", "K2", "29"));
  dialogs_->files.push_back(exported);
  clickMain(frame_region::kImport);
  EXPECT_EQ(dlg_->settings().fireTime, 123);
  EXPECT_EQ(dlg_->settings().buttonFunction[0][2], 29);
  EXPECT_TRUE(messages_.texts.empty() || messages_.texts.back() != "Error!");

  // A file that is not a settings file: said so, and nothing changes, in memory or on disk.
  const std::string before = test::readBytes(configPath());
  const std::filesystem::path junk = dir_ / "junk.ini";
  test::writeBytes(junk, "not settings\n");
  dialogs_->files.push_back(junk);
  messages_.texts.clear();
  clickMain(frame_region::kImport);
  ASSERT_EQ(messages_.texts.size(), 1u);
  EXPECT_EQ(messages_.texts[0], kSettingsImportNotSettings);
  EXPECT_EQ(dlg_->settings().fireTime, 123);
  EXPECT_EQ(test::readBytes(configPath()), before);
  // A cancelled dialog does nothing at all.
  clickMain(frame_region::kImport);
  EXPECT_EQ(messages_.texts.size(), 1u);

  // Reset: profile 1's factory buttons, saved; the advanced page's boxes show the reset values.
  clickMain(frame_region::kReset);
  EXPECT_EQ(dlg_->settings().buttonFunction[0], (std::array<std::int32_t, 8>{1, 2, 3, 4, 5, 6, 14, 13}));
  EXPECT_EQ(ini::readString(configPath(), "Config1", "K6", "", 16), "14");
  clickMain(7);
  ASSERT_NE(dlg_->valueBox(2), nullptr);
  EXPECT_EQ(dlg_->valueBox(2)->text(), QString::number(dlg_->settings().fireTime) + "ms");
  EXPECT_NE(dlg_->settings().fireTime, 123);
}

TEST_F(ButtonsPageTest, ASettingsFileThatCannotBeWrittenIsSaidAtResetAndLanguageChange) {
  start();
  ::chmod(configPath().c_str(), 0444);  // as a full disk refuses the write
  const std::string before = test::readBytes(configPath());
  const std::vector<std::string> said{saveFailedMessage(configPath())};
  struct Case {
    const char* what;
    int region;
  };
  for (const Case& c : {Case{"reset", frame_region::kReset}, Case{"language", frame_region::kChinese}}) {
    messages_.texts.clear();
    clickMain(c.region);
    EXPECT_EQ(messages_.texts, said) << c.what;
    EXPECT_EQ(test::readBytes(configPath()), before) << c.what;
  }
  EXPECT_EQ(dlg_->settings().buttonFunction[0], (std::array<std::int32_t, 8>{1, 2, 3, 4, 5, 6, 14, 13}))
      << "the window shows the reset values all the same";
  EXPECT_EQ(dlg_->app().language, kChinese) << "and the language for this run";
  ::chmod(configPath().c_str(), 0644);
}

TEST_F(ButtonsPageTest, TheSupportLinkAndTheDpiColours) {
  start();
  messages_.texts.clear();
  clickMain(frame_region::kSupportSite);
  EXPECT_EQ(dialogs_->urls, std::vector<std::string>{QUILLET_SUPPORT_URL}) << "the build's setting";
  EXPECT_TRUE(messages_.texts.empty());
  // Without a browser the user is told the address, in the window's language.
  dialogs_->browserOpens = false;
  clickMain(frame_region::kSupportSite);
  ASSERT_EQ(messages_.texts.size(), 1u);
  EXPECT_EQ(messages_.texts[0], supportSiteNotOpenedMessage(dlg_->app().language, QUILLET_SUPPORT_URL));
  EXPECT_NE(messages_.texts[0].find(QUILLET_SUPPORT_URL), std::string::npos);
  dialogs_->browserOpens = true;
  messages_.texts.clear();

  clickMain(7);
  dialogs_->colours.push_back(makeColorRef(255, 0, 128));
  click(centre(dlg_->layouts().advanced[advanced_region::kFirstDpiColor + 2]));
  EXPECT_EQ(dlg_->settings().dpiColor[2], (ColorLevels{0, 15, 7}));
  EXPECT_EQ(dlg_->settings().dpiColorRef[2], makeColorRef(255, 15, 143));
  click(centre(dlg_->layouts().advanced[advanced_region::kFirstDpiColor + 2]));  // cancelled
  EXPECT_EQ(dlg_->settings().dpiColor[2], (ColorLevels{0, 15, 7}));
}

TEST_F(ButtonsPageTest, WhileADownloadRunsTheWindowAnswersButNothingChangesTheSettings) {
  start(true);
  session_->holdApplies = true;
  clickMain(frame_region::kApply);
  ASSERT_TRUE(dlg_->applying());
  EXPECT_EQ(dlg_->applyProgress().sent, 3u);
  EXPECT_EQ(dlg_->applyProgress().total, 10u);
  // The Apply button shows the progress instead of its label.
  const SkinButton& apply = dlg_->layouts().main[frame_region::kApply];
  const QRect applyRect(apply.x, apply.y, apply.width, apply.height);
  const QImage during = dlg_->compose().copy(applyRect);

  const std::array<std::int32_t, 8> before = dlg_->settings().buttonFunction[1];
  dlg_->app().currentProfile = 1;
  clickMain(frame_region::kFirstButton + 2);
  EXPECT_FALSE(dlg_->popups().anyOpen()) << "no function list while the mouse is written";
  clickMain(frame_region::kChinese);
  EXPECT_EQ(dlg_->app().language, kEnglish);
  FollowedChange dpi;
  dpi.kind = FollowedChange::Kind::kDpiLevel;
  dpi.dpiLevel = 4;
  dlg_->session().onFollowed(dpi);
  EXPECT_NE(dlg_->settings().currentDpiLevel, 4) << "held back until the download has ended";
  clickMain(7);
  EXPECT_EQ(dlg_->app().currentPage, 1) << "the pages still switch";
  ASSERT_NE(dlg_->valueBox(0), nullptr);
  EXPECT_FALSE(dlg_->valueBox(0)->isEnabled());

  session_->finishApplyNow();
  EXPECT_FALSE(dlg_->applying());
  EXPECT_TRUE(dlg_->valueBox(0)->isEnabled());
  EXPECT_EQ(dlg_->settings().currentDpiLevel, 4);
  EXPECT_EQ(dlg_->settings().buttonFunction[1], before);
  EXPECT_NE(dlg_->compose().copy(applyRect), during);
  clickMain(6);
  clickMain(frame_region::kFirstButton + 2);
  EXPECT_TRUE(dlg_->popups().anyOpen());
}

TEST_F(ButtonsPageTest, AMouseThatDidNotTakeTheDownloadIsReportedAndTheSettingsAreKept) {
  start(true);
  session_->mouseTakesAll = false;
  dlg_->settings().fireTime = 77;
  clickMain(frame_region::kApply);
  ASSERT_FALSE(messages_.texts.empty());
  EXPECT_EQ(messages_.texts.back(), applyNotTakenMessage(kEnglish));
  EXPECT_EQ(ini::readString(configPath(), "Config1", "FIRE_TIME", "", 16), "77") << "saved all the same";
  EXPECT_EQ(dlg_->settings().fireTime, 77);
  // Without a mouse at all Apply only saves, silently, as it always has.
  messages_.texts.clear();
  session_->mouseTakesAll = true;
  clickMain(frame_region::kApply);
  EXPECT_TRUE(messages_.texts.empty());
}

}  // namespace
}  // namespace quillet
