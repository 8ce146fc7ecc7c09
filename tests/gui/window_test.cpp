// The main window under the offscreen platform: start-up, hover and its repaint regions, the
// composition, tabs, sliders, the frame commands, the language switch and the single instance.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "core/device/configuration.h"
#include "core/io/file_io.h"
#include "core/io/ini.h"
#include "core/settings/settings_file.h"
#include "core/skin/startup.h"
#include "core/survey/survey_record.h"
#include "gui/app/about_dlg.h"
#include "gui/app/quillet_dlg.h"
#include "gui/app/single_instance.h"
#include "gui/window_fixture.h"
#include "support/shipped_configuration.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::FakeSession;
using test::WindowTest;

TEST_F(WindowTest, StartsWithoutAMouse) {
  start();
  EXPECT_EQ(dlg_->windowTitle(), QString::fromUtf8(kWindowTitle));
  ASSERT_EQ(messages_.texts.size(), 1u);
  EXPECT_EQ(messages_.texts[0], noMouseMessage(dlg_->app().language));
  EXPECT_EQ(dlg_->app().devicePresent, 0);
  EXPECT_FALSE(dlg_->tray().added()) << "no icon without a mouse";
  EXPECT_EQ(dlg_->app().currentPage, 0);
  // The shape comes from the mask: the corners are cut, the middle is in.
  EXPECT_EQ(dlg_->size(), dlg_->pictures().size());
  EXPECT_FALSE(dlg_->mask().isEmpty());
  EXPECT_FALSE(dlg_->mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(dlg_->mask().contains(QPoint(dlg_->width() / 2, dlg_->height() / 2)));
  EXPECT_EQ(dlg_->uiFont().family(), "Arial");
  EXPECT_DOUBLE_EQ(dlg_->uiFont().pointSizeF(), 8.5) << "the test screen's 96 dpi: scale 1";
}

TEST_F(WindowTest, AMouseGetsTheIconAndItsDeviceValueAndCloseSaysGoodbye) {
  start(true);
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_EQ(dlg_->app().devicePresent, 1);
  EXPECT_EQ(dlg_->app().deviceValue, 5);
  EXPECT_TRUE(dlg_->tray().added());
  QSignalSpy ended(dlg_.get(), &CQuilletDlg::shutDown);
  clickMain(frame_region::kClose);
  EXPECT_EQ(ended.count(), 1);
  EXPECT_EQ(session_->hostExits, 1);
  EXPECT_FALSE(dlg_->tray().added());
  dlg_->onClose();
  EXPECT_EQ(session_->hostExits, 1) << "shutdown runs once";
}

TEST_F(WindowTest, TheWindowsOwnCloseOnlyHidesIt) {
  start(true);
  QSignalSpy ended(dlg_.get(), &CQuilletDlg::shutDown);
  dlg_->close();
  QApplication::processEvents();
  EXPECT_EQ(ended.count(), 0);
  EXPECT_TRUE(dlg_->tray().added());
  dlg_->tray().runCommand(tray_command::kShowWindowEn);
  EXPECT_TRUE(dlg_->isVisible());
  dlg_->tray().runCommand(tray_command::kExitCn);
  EXPECT_EQ(ended.count(), 1);
  EXPECT_EQ(session_->hostExits, 1);
}

TEST_F(WindowTest, HoverRepaintsThePageRegionAndPicturesAreDecodedOnce) {
  start();
  const SkinLayouts& l = dlg_->layouts();
  moveTo(centre(l.main[21]));
  EXPECT_EQ(dlg_->hover().main, 21);
  EXPECT_EQ(dlg_->lastHoverRepaint(), QRegion(dlg_->rect()));

  clickMain(7);
  ASSERT_EQ(dlg_->app().currentPage, 1);
  moveTo(centre(l.advanced[70]));
  EXPECT_EQ(dlg_->hover().advanced, 70);
  const QRegion& repaint = dlg_->lastHoverRepaint();
  EXPECT_EQ(repaint, dlg_->pageRegion(RepaintArea::AdvancedPage));
  for (const SkinRect& box : kAdvancedValueBoxes) {
    EXPECT_FALSE(repaint.intersects(QRect(box.left, box.top, box.width(), box.height())));
  }
  EXPECT_TRUE(repaint.contains(centre(l.advanced[70])));

  clickMain(8);
  moveTo(centre(l.macro[6]));
  EXPECT_EQ(dlg_->lastHoverRepaint(), dlg_->pageRegion(RepaintArea::MacroPage));
  const SkinRect list = l.macroControlRects[3];
  EXPECT_FALSE(dlg_->lastHoverRepaint().contains(QPoint(list.left + 5, list.top + 5)));

  for (int i = 0; i < 5; ++i) {
    dlg_->repaint();
  }
  EXPECT_EQ(dlg_->pictures().loads(), 1);
}

// The pointer leaving the window takes the light off whatever it was over, on every page.
TEST_F(WindowTest, LeavingTheWindowClearsTheHover) {
  start();
  const SkinLayouts& l = dlg_->layouts();
  struct Case {
    int tab;  // the main layout's page tab, or -1 for the main page as it starts
    QPoint at;
  };
  for (const Case& c : {Case{-1, centre(l.main[21])}, Case{7, centre(l.advanced[70])}, Case{8, centre(l.macro[6])},
                        Case{9, centre(l.lighting[10])}}) {
    SCOPED_TRACE(c.tab);
    if (c.tab >= 0) {
      clickMain(c.tab);
    }
    moveTo(c.at);
    ASSERT_NE(dlg_->hover(), HoverIndexes{});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(dlg_.get(), &leave);
    EXPECT_EQ(dlg_->hover(), HoverIndexes{});
    EXPECT_EQ(dlg_->lastHoverRepaint(), dlg_->pageRegion(hoverRepaintArea(dlg_->app().currentPage)));
  }
}

int redPixels(const QImage& image, const SkinButton& r) {
  int n = 0;
  for (int y = r.y; y < r.y + r.height; ++y) {
    for (int x = r.x; x < r.x + r.width; ++x) {
      const QColor c = image.pixelColor(x, y);
      n += c.red() > 200 && c.green() < 60 && c.blue() < 60 ? 1 : 0;
    }
  }
  return n;
}

TEST_F(WindowTest, ButtonLabelsAreRedOnlyUnderThePointer) {
  start();
  const SkinLayouts& l = dlg_->layouts();
  moveTo(QPoint(1, dlg_->height() / 2));
  ASSERT_EQ(dlg_->hover().main, kNoRegion);
  QImage idle = dlg_->compose().copy();
  for (int r = 20; r <= 27; ++r) {
    EXPECT_EQ(redPixels(idle, l.main[static_cast<std::size_t>(r)]), 0) << r;
  }
  moveTo(centre(l.main[22]));
  const QImage& hovered = dlg_->compose();
  EXPECT_GT(redPixels(hovered, l.main[22]), 10);
  EXPECT_EQ(redPixels(hovered, l.main[23]), 0);
}

TEST_F(WindowTest, ButtonLabelsFollowTheirFunctions) {
  start();
  const SkinLayouts& l = dlg_->layouts();
  moveTo(QPoint(1, dlg_->height() / 2));
  const SkinButton& b = l.main[20];
  const QRect r(b.x, b.y, b.width, b.height);
  dlg_->settings().buttonFunction[0][0] = 1;
  const QImage one = dlg_->compose().copy(r);
  dlg_->settings().buttonFunction[0][0] = 2;
  const QImage two = dlg_->compose().copy(r);
  dlg_->settings().buttonFunction[0][0] = 0;
  const QImage none = dlg_->compose().copy(r);
  EXPECT_NE(one, two);
  EXPECT_NE(one, none);
  // Without a name the region shows its picture alone.
  EXPECT_EQ(none, dlg_->pictures().page(0).normal.copy(r));
}

TEST_F(WindowTest, TabsSwitchPagesAndTheAdvancedPageHasItsValueBoxes) {
  start();
  const SkinLayouts& l = dlg_->layouts();
  const SkinButton& tab = l.main[7];
  const QRect tabRect(tab.x, tab.y, tab.width, tab.height);
  clickMain(7);
  EXPECT_EQ(dlg_->app().currentPage, 1);
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(dlg_->valueBox(i), nullptr);
    EXPECT_EQ(dlg_->valueBox(i)->geometry().topLeft(), QPoint(kAdvancedValueBoxes[static_cast<std::size_t>(i)].left,
                                                             kAdvancedValueBoxes[static_cast<std::size_t>(i)].top));
  }
  EXPECT_EQ(dlg_->valueBox(2)->text(), QString::number(dlg_->settings().fireTime) + "ms");
  // The shown page's tab is drawn pressed, also under the pointer; the pointer's region of
  // the tab image differs from the pressed one only where the label is.
  QImage composed = dlg_->compose().copy(tabRect);
  const QImage down = dlg_->pictures().page(1).down.copy(tabRect);
  EXPECT_EQ(composed.pixel(1, 1), down.pixel(1, 1));
  clickMain(6);
  EXPECT_EQ(dlg_->app().currentPage, 0);
  EXPECT_EQ(dlg_->valueBox(0), nullptr);
  clickMain(9);
  EXPECT_EQ(dlg_->app().currentPage, 3);
  clickMain(9);
  EXPECT_EQ(dlg_->app().currentPage, 3);
}

TEST_F(WindowTest, SliderPressAndDrag) {
  start();
  clickMain(7);
  const SkinButton& s = dlg_->layouts().advanced[advanced_region::kPointerSpeed];
  const QPoint left(s.x + 150, s.y + s.height / 2);
  moveTo(left);
  send(QEvent::MouseButtonPress, left, Qt::LeftButton);
  EXPECT_EQ(dlg_->settings().pointerSpeed, 7) << "(150 + 14) * 10 / 226";
  moveTo(QPoint(s.x + s.width + 200, s.y + 300), Qt::LeftButton);
  EXPECT_EQ(dlg_->settings().pointerSpeed, 10) << "beyond the end, and off the region";
  EXPECT_EQ(dlg_->valueBox(0)->text(), "10");
  moveTo(QPoint(s.x - 50, s.y), Qt::LeftButton);
  EXPECT_EQ(dlg_->settings().pointerSpeed, 0);
  moveTo(QPoint(s.x + s.width / 2, s.y), Qt::LeftButton);
  send(QEvent::MouseButtonRelease, QPoint(s.x + s.width / 2, s.y));
  EXPECT_EQ(dlg_->settings().pointerSpeed, 5);
  moveTo(QPoint(s.x + s.width, s.y));
  EXPECT_EQ(dlg_->settings().pointerSpeed, 5) << "the release ended the drag";

  const SkinButton& f = dlg_->layouts().advanced[advanced_region::kFireTime];
  moveTo(QPoint(f.x + 1, f.y + 2));
  send(QEvent::MouseButtonPress, QPoint(f.x + 1, f.y + 2), Qt::LeftButton);
  moveTo(QPoint(f.x + f.width + 10, f.y), Qt::LeftButton);
  send(QEvent::MouseButtonRelease, QPoint(f.x + f.width + 10, f.y));
  EXPECT_EQ(dlg_->settings().fireTime, 300);
  EXPECT_EQ(dlg_->valueBox(2)->text(), "300ms");
}

TEST_F(WindowTest, AProfileFollowedFromTheMouseReplacesTheModelAndTheBoxes) {
  start(true);
  const std::filesystem::path config = skins_ / "config" / "config.ini";
  ASSERT_TRUE(ini::writeString(config, "Config3", "FIRE_TIME", "120"));
  clickMain(7);
  ASSERT_NE(dlg_->valueBox(2), nullptr);
  FollowedChange change;
  change.kind = FollowedChange::Kind::kProfile;
  change.profileNumber = 3;
  dlg_->session().onFollowed(change);
  EXPECT_EQ(dlg_->app().currentProfileNumber, 3);
  EXPECT_EQ(dlg_->settings().fireTime, 120);
  EXPECT_EQ(dlg_->valueBox(2)->text(), "120ms");
  EXPECT_EQ(ini::readString(config, "Init", "CurConfig", "", 16), "3");
}

TEST_F(WindowTest, ApplyDownloadsAndSaves) {
  start();
  clickMain(7);
  click(centre(dlg_->layouts().advanced[advanced_region::kFirstDpiStep + 11]));
  EXPECT_EQ(dlg_->settings().dpiStep[0], 11);
  const std::filesystem::path config = skins_ / "config" / "config.ini";
  EXPECT_NE(ini::readString(config, "Config1", "DPI_SET0", "", 16), "11") << "edits stay in memory";
  clickMain(frame_region::kApply);
  EXPECT_EQ(session_->applies, 1);
  // The configuration area first: the shipped one with level 1's DPI code 15 (step 12) beside
  // level 2's code 4. Then the shipped buttons' descriptors (profile 4's multimedia keys).
  ASSERT_GE(session_->lastBlocks().size(), 16u);
  test::ConfigurationArea written;
  for (std::size_t i = 0; i < 16; ++i) {
    written[session_->lastBlocks()[i].address] = session_->lastBlocks()[i].bytes;
  }
  EXPECT_EQ(written, test::withByte(test::shippedConfigurationArea(), 0x0015, 0xF4));
  EXPECT_EQ(session_->lastBlocks()[16].address, 0x0080 + 8 * (14 * 3 + 3)) << "profile 4, button 3";
  EXPECT_EQ(ini::readString(config, "Config1", "DPI_SET0", "", 16), "11");
}

TEST_F(WindowTest, LanguageSwitchReloadsNamesTrayMenuAndStoresTheChoice) {
  start(true);
  const Language other = dlg_->app().language == kChinese ? kEnglish : kChinese;
  const std::string before = dlg_->layouts().profileNames[0];
  clickMain(other == kChinese ? frame_region::kChinese : frame_region::kEnglish);
  EXPECT_EQ(dlg_->app().language, other);
  EXPECT_NE(dlg_->layouts().profileNames[0], before);
  EXPECT_EQ(readLanguage(skins_ / "config" / "config.ini"), other);
  ASSERT_NE(dlg_->tray().menu(), nullptr);
  EXPECT_EQ(dlg_->tray().menu()->actions().at(1)->text().toStdString(), trayMenu(other).items[1].text);
  EXPECT_EQ(dlg_->windowTitle(), QString::fromUtf8(kWindowTitle));

  // Each language's tray menu, About included, in that language's words and the window's face
  // of it (the items draw in the menu's font).
  for (const Language language : {kChinese, kEnglish}) {
    SCOPED_TRACE(language == kChinese ? "Chinese" : "English");
    clickMain(language == kChinese ? frame_region::kChinese : frame_region::kEnglish);
    const CTolvarMenu* menu = dlg_->tray().menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().back()->text().toStdString(), aboutItemText(language));
    EXPECT_EQ(menu->font().family(), dlg_->uiFont().family());
    EXPECT_EQ(menu->font().pointSizeF(), dlg_->uiFont().pointSizeF());
  }
  EXPECT_NE(std::string(kAboutItemTextCn).find("关于"), std::string::npos);
}

// An XEmbed notification area reports clicks and double-clicks, a StatusNotifierItem host only
// clicks (its Activate): the window comes back on the double-click there and on the click here.
TEST(TrayActivation, RestoresOnTheDoubleClickWhereThereIsOneElseOnTheClick) {
  using R = QSystemTrayIcon::ActivationReason;
  struct Case {
    R reason;
    bool hostHasDoubleClick;
    bool restores;
  };
  const Case cases[] = {
      {R::DoubleClick, true, true},  {R::Trigger, true, false},      {R::Context, true, false},
      {R::MiddleClick, true, false}, {R::Trigger, false, true},      {R::Context, false, false},
      {R::MiddleClick, false, false}, {R::Unknown, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(activationRestores(c.reason, c.hostHasDoubleClick), c.restores)
        << "reason " << c.reason << (c.hostHasDoubleClick ? " (XEmbed)" : " (StatusNotifierItem)");
  }
}

TEST_F(WindowTest, AMissingOrUnreadableLayoutFileEndsTheWindowAsAFailure) {
  for (const bool missing : {true, false}) {
    SCOPED_TRACE(missing ? "missing" : "unreadable");
    dlg_.reset();
    std::filesystem::remove_all(skins_);
    messages_.texts.clear();
    start(true, [missing](const std::filesystem::path& skins) {
      for (const auto& file : {skins / "INI_EN" / "skin_mac_en.ini", skins / "INI_CN" / "skin_mac.ini"}) {
        std::filesystem::remove(file);
        if (!missing) {
          // Too large to be a layout file: it is not read, even by root.
          { std::ofstream create(file); }
          std::filesystem::resize_file(file, fileio::kMaxReadBytes + 1);
        }
      }
    });
    QApplication::processEvents();
    ASSERT_FALSE(messages_.texts.empty());
    if (missing) {
      EXPECT_EQ(messages_.texts[0], std::string(kSkinFileMissingText));
    } else {
      // Too large a file is said as what it is, naming it.
      EXPECT_EQ(messages_.texts[0], ini::tooLargeMessage(skins_ / "INI_EN" / "skin_mac_en.ini"));
    }
    EXPECT_EQ(session_->hostExits, 1) << "one goodbye, however many files are missing";
    EXPECT_FALSE(dlg_->tray().added());
    EXPECT_TRUE(dlg_->closing());
    EXPECT_EQ(dlg_->exitCode(), 1) << "a start-up that fails ends with a failure";
  }
}

TEST_F(WindowTest, AMouseThatMayNotBeOpenedIsSaidSoAndNotPretended) {
  start(false, {}, "/dev/hidraw3: Permission denied");
  ASSERT_EQ(messages_.texts.size(), 1u);
  EXPECT_EQ(messages_.texts[0], mouseNotOpenedMessage(dlg_->app().language, "/dev/hidraw3: Permission denied"));
  EXPECT_NE(messages_.texts[0].find("70-quillet.rules"), std::string::npos);
  EXPECT_EQ(dlg_->app().devicePresent, 0);
  EXPECT_FALSE(dlg_->tray().added());
}

TEST_F(WindowTest, AnApplyThatCannotSaveSaysErrorAndKeepsTheEdits) {
  const std::filesystem::path config = skins_ / "config" / "config.ini";
  start(false, [&config](const std::filesystem::path&) {
    // A button on a macro whose group is gone: the apply gives it 0, so its save must write.
    ASSERT_TRUE(ini::writeString(config, "Config1", "K0", "2304"));
    std::filesystem::permissions(config, std::filesystem::perms::owner_read);
  });
  messages_.texts.clear();
  const std::string before = test::readBytes(config);
  dlg_->settings().pointerSpeed = 9;
  clickMain(frame_region::kApply);
  EXPECT_EQ(session_->applies, 1);
  EXPECT_EQ(messages_.texts, std::vector<std::string>{kSettingsSaveError});
  EXPECT_EQ(test::readBytes(config), before);
  EXPECT_EQ(dlg_->settings().pointerSpeed, 9) << "the edits stay in memory for the next apply";
}

TEST_F(WindowTest, WithoutItsMaskTheWindowIsStillDrawn) {
  start(false, [](const std::filesystem::path& skins) { std::filesystem::remove(skins / "main_mask.jpg"); });
  EXPECT_TRUE(dlg_->pictures().mask().isNull());
  const QSize size = dlg_->pictures().page(0).normal.size();
  ASSERT_FALSE(size.isEmpty());
  EXPECT_EQ(dlg_->size(), size);
  const QImage& drawn = dlg_->compose();
  EXPECT_EQ(drawn.size(), size) << "the composition takes the same size as the window";
  // Away from every label and region, the idle picture shows through.
  const QPoint spot(size.width() / 2, size.height() - 3);
  EXPECT_EQ(drawn.pixel(spot), dlg_->pictures().page(0).normal.pixel(spot));
}

TEST(SingleInstance, ASecondStartAsksTheFirstToRestore) {
  SingleInstance first(QStringLiteral("QuilletTest"));
  SingleInstance second(QStringLiteral("QuilletTest"));
  EXPECT_FALSE(first.askRunningInstanceToRestore(200)) << "nobody runs yet";
  ASSERT_EQ(first.claim(), SingleInstance::Claim::kFirst);
  EXPECT_TRUE(first.listening());
  QSignalSpy restore(&first, &SingleInstance::restoreRequested);
  EXPECT_EQ(second.claim(), SingleInstance::Claim::kHandedOver);
  EXPECT_TRUE(restore.wait(2000));
  EXPECT_TRUE(SingleInstance::socketPath("X").startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
}

TEST(SingleInstance, ConnectionsThatSayNothingAreDroppedAndBounded) {
  // A program opens many connections to the guard and never writes: they are dropped after a
  // short patience, never more than a bound are kept, and a real request still gets through.
  const QString name = QStringLiteral("QuilletTestSilent");
  SingleInstance first(name);
  ASSERT_EQ(first.claim(), SingleInstance::Claim::kFirst);
  const QByteArray path = SingleInstance::socketPath(name).toLocal8Bit();
  std::vector<int> silent;
  for (int i = 0; i < 100; ++i) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);  // may be refused: the backlog is full
    silent.push_back(fd);
  }
  // Every silent connection ends from the guard's side (end of file, or refused at once).
  int maxOpen = 0;
  const QDeadlineTimer patience(30000);
  auto allEnded = [&] {
    for (const int fd : silent) {
      char byte;
      const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return false;
      }
    }
    return true;
  };
  while (!allEnded() && !patience.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    maxOpen = std::max(maxOpen, first.openClients());
  }
  EXPECT_TRUE(allEnded());
  EXPECT_LE(maxOpen, 16);
  for (const int fd : silent) {
    ::close(fd);
  }
  QSignalSpy restore(&first, &SingleInstance::restoreRequested);
  SingleInstance second(name);
  EXPECT_EQ(second.claim(), SingleInstance::Claim::kHandedOver);
  EXPECT_TRUE(restore.wait(2000));
}

TEST(SingleInstance, AHolderThatDoesNotListenIsNeverDisplaced) {
  // The holder of the guard has not listened yet (or hangs): a later start neither takes its
  // place nor runs beside it; it gives up after its patience.
  const QString name = QStringLiteral("QuilletTestHeld");
  SingleInstance holder(name);
  ASSERT_EQ(holder.claim(), SingleInstance::Claim::kFirst);
  QLocalServer::removeServer(SingleInstance::socketPath(name));  // as if it did not listen yet
  SingleInstance late(name);
  EXPECT_EQ(late.claim(300), SingleInstance::Claim::kNoAnswer);
  EXPECT_FALSE(late.listening());
}

}  // namespace
}  // namespace quillet
