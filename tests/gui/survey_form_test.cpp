// The survey form under the offscreen platform: its skin and shape, the fields' hints, filter and
// limits, gender and hover, the checks of a submission with their messages, and its place in
// the start-up.
#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include "core/io/ini.h"
#include "core/survey/country_list.h"
#include "core/survey/survey_record.h"
#include "core/survey/survey_service.h"
#include "gui/app/quillet_dlg.h"
#include "gui/survey/dialog_login.h"
#include "gui/survey/survey_step.h"
#include "gui/widgets/edit_helper.h"
#include "gui/widgets/png_combo_box.h"
#include "support/temp_dir.h"
#include "core/survey/country_list.h"
#include "core/survey/survey_record.h"
#include "core/survey/survey_service.h"
#include "gui/survey/dialog_login.h"
#include "gui/survey/survey_step.h"
#include "gui/widgets/edit_helper.h"
#include "gui/widgets/png_combo_box.h"
#include "survey/survey_test_server.h"

namespace quillet {
namespace {

using survey::SurveyRecord;

// Types `text` into `w` one character at a time, as a keyboard or an input method would: each
// key event carries its character (QTest's own typing knows ASCII only).
void typeText(QWidget* w, const QString& text) {
  for (const uint c : text.toUcs4()) {
    const char32_t one = static_cast<char32_t>(c);
    const QString typed = QString::fromUcs4(&one, 1);
    const int key = c < 0x80 ? static_cast<int>(QChar(static_cast<char16_t>(c)).toUpper().unicode())
                             : static_cast<int>(Qt::Key_unknown);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
    QApplication::sendEvent(w, &release);
  }
}

class SurveyFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(std::filesystem::path(QUILLET_BIN_DIR) / "skins", dir_ / "skins",
                          std::filesystem::copy_options::recursive);
    app_.setSkinFolder(dir_ / "skins");
    app_.language = kEnglish;
  }

  void open(Language language = kEnglish) {
    app_.language = language;
    form_ = std::make_unique<CDialogLogin>(messages_, app_, app_.language, "0A-1B-2C-3D-4E-5F");
    form_->show();
    QApplication::processEvents();
  }

  QLineEdit* field(SurveyField f) const { return form_->field(f); }
  QPoint centre(std::int32_t region) const {
    const SkinButton& b = form_->layout()[static_cast<std::size_t>(region)];
    return QPoint(b.x + b.width / 2, b.y + b.height / 2);
  }
  QRect rect(std::int32_t region) const {
    const SkinButton& b = form_->layout()[static_cast<std::size_t>(region)];
    return QRect(b.x, b.y, b.width, b.height);
  }
  void send(QEvent::Type type, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), QPointF(form_->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(form_.get(), &event);
  }
  void click(std::int32_t region) {
    send(QEvent::MouseMove, centre(region));
    send(QEvent::MouseButtonPress, centre(region), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, centre(region));
  }
  void answer(SurveyField f, const QString& text) { field(f)->setText(text); }
  void answerAll() {
    answer(SurveyField::Country, QStringLiteral("New Zealand"));
    answer(SurveyField::Name, QStringLiteral("Aroha"));
    answer(SurveyField::Age, QStringLiteral("24"));
    answer(SurveyField::Email, QStringLiteral("aroha@mail.nz"));
  }
  QImage picture(const char* name) const {
    return QImage(QString::fromStdString((app_.skinFolder / name).string())).convertToFormat(QImage::Format_RGB32);
  }
  std::string recordFile() const { return test::readBytes(app_.surveyRecordPath); }

  test::TempDir dir_;
  AppState app_;
  RecordedMessages messages_;
  std::unique_ptr<CDialogLogin> form_;
};

TEST_F(SurveyFormTest, OpensWithTheSkinsShapeEveryHintAndTheCountryList) {
  ASSERT_TRUE(ini::writeString(app_.surveyRecordPath, "UserInfo", "Name", "Ana"));
  open();
  EXPECT_EQ(form_->windowTitle(), QStringLiteral("CDialogLogin"));
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_EQ(form_->size(), picture("Login_mask.jpg").size());
  EXPECT_FALSE(form_->mask().contains(QPoint(0, 0))) << "rounded corner cut away";
  EXPECT_TRUE(form_->mask().contains(centre(survey_region::kSubmit)));
  for (std::int32_t r = survey_region::kFirstField; r < survey_region::kFirstField + 6; ++r) {
    EXPECT_FALSE(form_->repaintRegion().intersects(rect(r))) << "field " << r;
    const QWidget* control = r == survey_region::kFirstField
                                 ? static_cast<QWidget*>(form_->countryBox())
                                 : field(static_cast<SurveyField>(r - survey_region::kFirstField));
    EXPECT_EQ(control->geometry(), rect(r));
  }
  EXPECT_TRUE(form_->repaintRegion().contains(centre(survey_region::kSubmit)));
  const std::vector<std::pair<SurveyField, QString>> shown{
      {SurveyField::Country, "Country:"}, {SurveyField::Name, "Ana"},      {SurveyField::Age, "Age:"},
      {SurveyField::Facebook, "Facebook:"}, {SurveyField::Email, "E-mail:"}, {SurveyField::Game, "What game to play:"}};
  for (const auto& [f, text] : shown) {
    EXPECT_EQ(field(f)->text(), text);
  }
  const auto countries = survey::readCountryList(app_.countryListPath);
  ASSERT_TRUE(countries);
  ASSERT_EQ(form_->countryBox()->count(), static_cast<int>(countries->size()));
  EXPECT_EQ(form_->countryBox()->itemText(0).toStdString(), countries->front());
  EXPECT_EQ(form_->textFont().family(), QStringLiteral("Arial"));
  EXPECT_DOUBLE_EQ(form_->textFont().pointSizeF(), 8.0);
  EXPECT_TRUE(form_->countryBox()->hasArrowImages());
}

TEST_F(SurveyFormTest, AFieldShowingItsHintEmptiesWhenEnteredAndGetsItBackWhenLeftEmpty) {
  open();
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  QWidget* keeper = QApplication::focusWidget();
  ASSERT_NE(keeper, nullptr) << "the zero-size box holds the focus at first";
  EXPECT_EQ(keeper->size(), QSize(0, 0));
  for (std::size_t i = 0; i < kSurveyFieldCount; ++i) {
    const auto f = static_cast<SurveyField>(i);
    QLineEdit* edit = field(f);
    const QString hint = edit->text();
    // The country box takes the focus for its edit part.
    QWidget* target = f == SurveyField::Country ? static_cast<QWidget*>(form_->countryBox()) : edit;
    target->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(edit->text(), QString()) << hint.toStdString();
    keeper->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(edit->text(), hint);
  }
  // Only the exact hint is taken away; an answer stays when the field is left.
  QLineEdit* name = field(SurveyField::Name);
  name->setText(QStringLiteral("name:"));
  name->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(name->text(), QStringLiteral("name:"));
  keeper->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(name->text(), QStringLiteral("name:"));
}

TEST_F(SurveyFormTest, TypedAnswersPassTheCharacterFilterExceptInTheCountryField) {
  open();
  QLineEdit* name = field(SurveyField::Name);
  name->clear();
  typeText(name, QStringLiteral("Li #Wei-中_文@x.y!"));
  EXPECT_EQ(name->text(), QStringLiteral("LiWei中_文@x.y"));
  QTest::keyClick(name, Qt::Key_Backspace);
  EXPECT_EQ(name->text(), QStringLiteral("LiWei中_文@x."));
  QLineEdit* country = field(SurveyField::Country);
  country->clear();
  typeText(country, QStringLiteral("Côte d'Ivoire #1"));
  EXPECT_EQ(country->text(), QStringLiteral("Côte d'Ivoire #1"));
}

TEST_F(SurveyFormTest, LimitsStopTypingButLeaveTheHintsWhole) {
  open();
  EXPECT_EQ(field(SurveyField::Age)->text(), QStringLiteral("Age:")) << "a hint longer than the limit shows whole";
  const std::vector<std::pair<SurveyField, int>> limits{
      {SurveyField::Name, 20}, {SurveyField::Age, 3}, {SurveyField::Facebook, 50}, {SurveyField::Email, 50},
      {SurveyField::Game, 20}};
  for (const auto& [f, limit] : limits) {
    QLineEdit* edit = field(f);
    edit->clear();
    QTest::keyClicks(edit, QString(limit + 5, QLatin1Char('7')));
    EXPECT_EQ(edit->text().size(), limit);
  }
}

TEST_F(SurveyFormTest, TheLastGenderClickedIsTheAnswerAndIsDrawnPressed) {
  open();
  const QImage down = picture("Login_down.jpg");
  const QImage normal = picture("Login_normal.jpg");
  click(survey_region::kMale);
  EXPECT_EQ(form_->record().isMale, 1);
  click(survey_region::kFemale);
  EXPECT_EQ(form_->record().isMale, 0);
  send(QEvent::MouseMove, QPoint(5, form_->height() / 2));  // away from every region
  EXPECT_EQ(form_->hoverIndex(), kNoRegion);
  const QImage& shown = form_->compose();
  // Pictures only: the labels are drawn over the middle of the regions, so compare their tops.
  const QRect female = rect(survey_region::kFemale).adjusted(0, 0, 0, -20);
  const QRect male = rect(survey_region::kMale).adjusted(0, 0, 0, -20);
  EXPECT_EQ(shown.copy(female), down.copy(female));
  EXPECT_EQ(shown.copy(male), normal.copy(male));
}

TEST_F(SurveyFormTest, HoverShowsTheOverPictureAndAPressTheDownPicture) {
  open();
  const QRect top = rect(survey_region::kSubmit).adjusted(0, 0, 0, -25);
  send(QEvent::MouseMove, centre(survey_region::kSubmit));
  EXPECT_EQ(form_->hoverIndex(), survey_region::kSubmit);
  EXPECT_EQ(form_->compose().copy(top), picture("Login_over.jpg").copy(top));
  send(QEvent::MouseButtonPress, centre(survey_region::kSubmit), Qt::LeftButton);
  EXPECT_TRUE(form_->pressedLook());
  EXPECT_EQ(form_->compose().copy(top), picture("Login_down.jpg").copy(top));
  send(QEvent::MouseMove, QPoint(5, form_->height() / 2), Qt::LeftButton);
  EXPECT_EQ(form_->hoverIndex(), kNoRegion);
}

TEST_F(SurveyFormTest, MissingRequiredAnswersAreRefusedAndTheFieldsShowTheirHintsAgain) {
  open();
  const int countries = form_->countryBox()->count();
  answer(SurveyField::Name, QStringLiteral("Aroha"));
  answer(SurveyField::Age, QString());
  click(survey_region::kSubmit);
  ASSERT_EQ(messages_.texts, std::vector<std::string>{"The required items can not be empty"});
  EXPECT_EQ(form_->result(), QDialog::Rejected);
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(field(SurveyField::Name)->text(), QStringLiteral("Aroha"));
  EXPECT_EQ(field(SurveyField::Age)->text(), QStringLiteral("Age:"));
  EXPECT_EQ(field(SurveyField::Country)->text(), QStringLiteral("Country:"));
  EXPECT_EQ(form_->countryBox()->count(), countries) << "each country once, however often it is refused";
  EXPECT_FALSE(std::filesystem::exists(app_.surveyRecordPath) && recordFile().find("Name=") != std::string::npos)
      << "nothing stored";
}

TEST_F(SurveyFormTest, AgeAndEmailFormatsAreRefusedWithTheirMessages) {
  struct Case {
    QString age, email;
    std::string message;
  };
  const std::vector<Case> cases{{"0", "aroha@mail.nz", "年龄格式有误"},
                                {"1a", "aroha@mail.nz", "年龄格式有误"},
                                {"24", "aroha.mail.nz", "邮箱格式有误"},
                                {"0", "x", "年龄格式有误"}};
  open();
  for (const Case& c : cases) {
    messages_.texts.clear();
    answerAll();
    answer(SurveyField::Age, c.age);
    answer(SurveyField::Email, c.email);
    form_->submit();
    EXPECT_EQ(messages_.texts, std::vector<std::string>{c.message}) << c.age.toStdString();
    EXPECT_TRUE(form_->isVisible());
  }
}

TEST_F(SurveyFormTest, AValidSubmissionStoresTheAnswersAsTheyStandAndAccepts) {
  open();
  answerAll();
  click(survey_region::kMale);
  click(survey_region::kSubmit);
  EXPECT_TRUE(messages_.texts.empty()) << messages_.texts.front();
  EXPECT_EQ(form_->result(), QDialog::Accepted);
  EXPECT_NE(recordFile().find("[UserInfo]\nIsMale=1\nRegion=New Zealand\nName=Aroha\nAge=24\nFacebook=Facebook:\n"
                              "E-mail=aroha@mail.nz\nGame=What game to play:\n"),
            std::string::npos)
      << recordFile();
  EXPECT_FALSE(survey::surveyAnswered(app_.surveyRecordPath)) << "answered only once the service accepts";
  EXPECT_EQ(form_->request().query,
            "age=24&area=New%20Zealand&email=aroha@mail.nz&mac=0A-1B-2C-3D-4E-5F&name=Aroha&sexuality=male&types=K736");
  // The filter ends with the form.
  auto* name = static_cast<CEditHelper*>(field(SurveyField::Name));
  EXPECT_FALSE(name->surveyFilter());
}

TEST_F(SurveyFormTest, AnswersTooLongToSignAreRefusedBeforeAnythingIsStored) {
  open();
  answerAll();
  answer(SurveyField::Facebook, QString(22, QChar(0x4E2D)));  // 66 bytes
  form_->submit();
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"The Facebook answer is too long"});
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(recordFile().find("Facebook="), std::string::npos);
}

TEST_F(SurveyFormTest, TheChineseFormReadsItsOwnLayoutAndSpeaksChinese) {
  open(kChinese);
  EXPECT_EQ(form_->layout()[survey_region::kSubmit].label, "提交");
  EXPECT_EQ(field(SurveyField::Name)->text(), QStringLiteral("Name:")) << "the hints are the same in both";
  form_->submit();
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"必填项目不能为空"});
}

TEST_F(SurveyFormTest, MissingFilesAreSaidOnceAndTheFormStillOpens) {
  std::filesystem::remove(app_.countryListPath);
  std::filesystem::remove(skinLayoutPath(app_.skinFolder, kEnglish, SkinFile::Survey));
  open();
  EXPECT_EQ(messages_.texts, (std::vector<std::string>{"找不到配置文件", "地域资料缺失!"}));
  EXPECT_EQ(form_->countryBox()->count(), 0);
  EXPECT_EQ(field(SurveyField::Country)->text(), QStringLiteral("Country:"));
  EXPECT_EQ(form_->layout()[survey_region::kSubmit].width, 0) << "nothing to click: only the close is left";
}

TEST_F(SurveyFormTest, EnterAndEscapeAreSwallowedAndAltF4Rejects) {
  open();
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QTest::keyClick(form_.get(), key);
    QTest::keyClick(field(SurveyField::Name), key);
    EXPECT_TRUE(form_->isVisible()) << key;
  }
  QTest::keyClick(form_.get(), Qt::Key_F4, Qt::AltModifier);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(form_->result(), QDialog::Rejected);
}

// ---- the survey step of the start-up ----

class SurveyStepTest : public SurveyFormTest {
 protected:
  // Runs `act` on the form once it is the modal window.
  void whenTheFormOpens(std::function<void(CDialogLogin&)> act) {
    QTimer::singleShot(0, [this, act = std::move(act)] {
      auto* form = qobject_cast<CDialogLogin*>(QApplication::activeModalWidget());
      seen_ = form != nullptr;
      if (form != nullptr) {
        act(*form);
      }
    });
  }
  bool seen_ = false;
};

TEST_F(SurveyStepTest, AnAnsweredSurveyIsNotAskedAgainButOnlyLoginYesIsAnAnswer) {
  QWidget owner;
  ASSERT_TRUE(survey::markSurveyAnswered(app_.surveyRecordPath));
  EXPECT_TRUE(runSurveyStep(owner, messages_, app_, app_.language));
  ASSERT_TRUE(ini::writeString(app_.surveyRecordPath, "UserInfo", "Login", "yes"));
  whenTheFormOpens([](CDialogLogin& form) { form.close(); });
  EXPECT_FALSE(runSurveyStep(owner, messages_, app_, app_.language));
  EXPECT_TRUE(seen_);
}

TEST_F(SurveyStepTest, ASubmittedFormStartsTheSubmissionWhichEndsWithItsOwner) {
  ::setenv(survey::kSurveyHostVariable, "127.0.0.1:9", 1);  // the discard port: nothing answers
  auto owner = std::make_unique<QWidget>();
  whenTheFormOpens([this](CDialogLogin& form) {
    form.field(SurveyField::Country)->setText(QStringLiteral("Chile"));
    form.field(SurveyField::Name)->setText(QStringLiteral("Ana"));
    form.field(SurveyField::Age)->setText(QStringLiteral("30"));
    form.field(SurveyField::Email)->setText(QStringLiteral("ana@mail.cl"));
    form.submit();
  });
  EXPECT_TRUE(runSurveyStep(*owner, messages_, app_, app_.language));
  EXPECT_TRUE(seen_);
  EXPECT_EQ(owner->children().size(), 1u) << "the submission lives with its owner";
  QElapsedTimer gone;
  gone.start();
  owner.reset();
  EXPECT_LT(gone.elapsed(), 5000) << "the submission stops at once";
  EXPECT_FALSE(survey::surveyAnswered(app_.surveyRecordPath));
  ::unsetenv(survey::kSurveyHostVariable);
}

// Once validly submitted, the form stays away even while the service cannot be reached: each
// start sends the stored answers, read back whole, in the background until the service takes them.
TEST_F(SurveyStepTest, OnceSubmittedTheFormStaysAwayAndEachStartSendsTheStoredAnswers) {
  const std::string email = "someone.with.a.long.name@mail.com";  // longer than 29 characters
  ::setenv(survey::kSurveyHostVariable, "127.0.0.1:9", 1);     // the discard port: nothing answers
  {
    QWidget owner;
    whenTheFormOpens([&](CDialogLogin& form) {
      form.field(SurveyField::Country)->setText(QStringLiteral("Chile"));
      form.field(SurveyField::Name)->setText(QStringLiteral("Ana"));
      form.field(SurveyField::Age)->setText(QStringLiteral("30"));
      form.field(SurveyField::Email)->setText(QString::fromStdString(email));
      form.submit();
    });
    ASSERT_TRUE(runSurveyStep(owner, messages_, app_, app_.language));
    ASSERT_TRUE(seen_);
  }
  EXPECT_TRUE(survey::surveySubmitted(app_.surveyRecordPath));
  EXPECT_FALSE(survey::surveyAnswered(app_.surveyRecordPath));

  // The next start, the service still away: no form, and the answers go out in the background.
  seen_ = false;
  {
    QWidget owner;
    whenTheFormOpens([](CDialogLogin& form) { form.close(); });
    EXPECT_TRUE(runSurveyStep(owner, messages_, app_, app_.language));
    QApplication::processEvents();
    EXPECT_FALSE(seen_) << "the form came back after a valid submission";
    EXPECT_EQ(owner.children().size(), 1u) << "no submission started";
  }

  // The service back: it takes them as they were typed, and the survey is done.
  test::SurveyTestServer server;
  ASSERT_TRUE(server.listening());
  ::setenv(survey::kSurveyHostVariable, server.authority().c_str(), 1);
  {
    QWidget owner;
    EXPECT_TRUE(runSurveyStep(owner, messages_, app_, app_.language));
    QElapsedTimer waited;
    waited.start();
    while (!survey::surveyAnswered(app_.surveyRecordPath) && waited.elapsed() < 10000) {
      QTest::qWait(20);
    }
  }
  EXPECT_TRUE(survey::surveyAnswered(app_.surveyRecordPath));
  const std::vector<std::string> log = server.log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(" 200 1000 valid "), std::string::npos) << log[0];
  EXPECT_NE(log[0].find("email=" + email + "&"), std::string::npos) << log[0];
  ::unsetenv(survey::kSurveyHostVariable);
}

TEST_F(SurveyStepTest, AFormClosedUnansweredEndsTheUtilityAtStartUp) {
  ASSERT_TRUE(survey::markSurveyAnswered(app_.surveyRecordPath));
  ASSERT_TRUE(ini::writeString(app_.surveyRecordPath, "UserInfo", "Login", "No"));
  CQuilletDlg window(messages_, std::make_unique<NullDeviceSession>(messages_));
  QSignalSpy ended(&window, &CQuilletDlg::shutDown);
  whenTheFormOpens([](CDialogLogin& form) { QTest::keyClick(&form, Qt::Key_F4, Qt::AltModifier); });
  window.initDialog(QUILLET_BIN_DIR, app_.skinFolder, false);
  EXPECT_TRUE(seen_);
  EXPECT_TRUE(window.closing());
  QApplication::processEvents();
  EXPECT_EQ(ended.count(), 1);
  EXPECT_TRUE(messages_.texts.empty()) << "no no-mouse message after the form: " << messages_.texts.front();
  EXPECT_FALSE(window.tray().added());
}

}  // namespace
}  // namespace quillet
