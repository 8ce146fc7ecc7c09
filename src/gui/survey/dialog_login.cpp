#include "gui/survey/dialog_login.h"
#include "linux/md5.h"

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cstdio>

#include "core/survey/country_list.h"
#include "core/survey/survey_rules.h"
#include "gui/widgets/edit_helper.h"
#include "gui/widgets/png_combo_box.h"
#include "gui/widgets/ui_fonts.h"
#include "gui/widgets/window_region.h"

namespace quillet {
namespace {

// Both faces at 8 points, whatever the screen's scale.
constexpr double kFormFontPoints = 8.0;
// The form's size when its mask is missing: the template's 371 × 412 dialog units.
constexpr QSize kFallbackSize(556, 670);

struct FieldSpec {
  const char* name;  // object name, for tests and accessibility
  int controlId;
  int limit;  // characters; 0 none
  std::string_view hint;
};

constexpr std::array<FieldSpec, kSurveyFieldCount> kFields{{
    {"country", 10010, 0, survey::kCountryHint},
    {"name", 10011, survey::kNameMaxChars, survey::kNameHint},
    {"age", 10012, survey::kAgeMaxChars, survey::kAgeHint},
    {"facebook", 10013, survey::kFacebookMaxChars, survey::kFacebookHint},
    {"email", 10014, survey::kEmailMaxChars, survey::kEmailHint},
    {"game", 10015, survey::kGameMaxChars, survey::kGameHint},
}};

const FieldSpec& spec(SurveyField f) { return kFields[static_cast<std::size_t>(f)]; }

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QImage decode(const std::filesystem::path& file) {
  QImage image(QString::fromStdString(file.string()));
  return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

QRect qrect(const SkinButton& b) { return QRect(b.x, b.y, b.width, b.height); }

// White text on black for the edit boxes, with no frame of their own: the pictures draw it.
void styleEdit(QLineEdit* edit) {
  edit->setFrame(false);
  QPalette colours = edit->palette();
  colours.setColor(QPalette::Base, Qt::black);
  colours.setColor(QPalette::Text, Qt::white);
  colours.setColor(QPalette::Window, Qt::black);
  edit->setPalette(colours);
  edit->setAutoFillBackground(true);
}

}  // namespace

const char* CDialogLogin::hintOf(SurveyField f) { return spec(f).hint.data(); }

CDialogLogin::CDialogLogin(MessageService& messages, const DataPaths& paths, Language language, std::string macText,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      messages_(messages),
      language_(language),
      skinFolder_(paths.skinFolder),
      recordPath_(paths.surveyRecordPath),
      countryListPath_(paths.countryListPath) {
  setWindowTitle(QString::fromLatin1(kTitle));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);

  // The layout: a missing file is said once, and the form goes on with empty regions (it can
  // then only be closed).
  SkinReadReport report(messages_);
  readSkinLayout(skinLayoutPath(skinFolder_, language_, SkinFile::Survey), layout_, report);

  loadPictures();
  font_ = uiFontFor(language_, kFormFontPoints);
  setFont(font_);

  record_ = survey::readSurveyRecord(recordPath_);
  record_.macText = std::move(macText);
  createControls();
  fillFields();
  setSurveyFilter(true);
}

CDialogLogin::~CDialogLogin() {
  // The boxes are destroyed after this body: the focus moving between them as they go must not
  // reach a form that is half gone.
  for (QObject* box : findChildren<QLineEdit*>()) {
    box->removeEventFilter(this);
  }
  country_->removeEventFilter(this);
}

void CDialogLogin::loadPictures() {
  normal_ = decode(skinFolder_ / "Login_normal.jpg");
  over_ = decode(skinFolder_ / "Login_over.jpg");
  down_ = decode(skinFolder_ / "Login_down.jpg");
  const QImage mask = decode(skinFolder_ / "Login_mask.jpg");
  if (mask.isNull()) {
    setFixedSize(normal_.isNull() ? kFallbackSize : normal_.size());
    windowRegion_ = QRegion(rect());
  } else {
    setFixedSize(mask.size());
    windowRegion_ = regionOf(shapeOf(mask));
    setMask(windowRegion_);
  }
  repaintRegion_ = windowRegion_;
  for (std::size_t f = 0; f < kSurveyFieldCount; ++f) {
    repaintRegion_ -= qrect(layout_[survey_region::kFirstField + f]);
  }
}

void CDialogLogin::createControls() {
  // Created first, it holds the focus when the form opens, so that every field shows its hint
  // until the user goes to it.
  focusKeeper_ = new CEditHelper(this);
  focusKeeper_->setObjectName(QStringLiteral("field10016"));
  focusKeeper_->setGeometry(0, 0, 0, 0);

  for (std::size_t i = 0; i < kSurveyFieldCount; ++i) {
    const auto f = static_cast<SurveyField>(i);
    const QRect r = qrect(layout_[survey_region::kFirstField + i]);
    if (f == SurveyField::Country) {
      country_ = new CPngComboBox(this);
      country_->setObjectName(QString::fromLatin1(spec(f).name));
      country_->setEditable(true);
      country_->setInsertPolicy(QComboBox::NoInsert);
      country_->setGeometry(r);
      country_->loadArrowImages();
      country_->setMaxVisibleItems(12);
      // The list: white text on grey where no item is.
      QPalette list = country_->view()->palette();
      list.setColor(QPalette::Base, QColor(128, 128, 128));
      country_->view()->setPalette(list);
      styleEdit(country_->lineEdit());
      country_->lineEdit()->setFont(font_);
      country_->lineEdit()->installEventFilter(this);
      country_->installEventFilter(this);
      continue;
    }
    auto* edit = new CEditHelper(this);
    edit->setObjectName(QString::fromLatin1(spec(f).name));
    edit->setGeometry(r);
    edit->setTextLimit(spec(f).limit);
    edit->setFont(font_);
    edit->setTextMargins(4, 0, 4, 0);
    styleEdit(edit);
    edit->installEventFilter(this);
    edits_[i] = edit;
  }
}

QLineEdit* CDialogLogin::field(SurveyField f) const {
  if (f == SurveyField::Country) {
    return country_->lineEdit();
  }
  return edits_[static_cast<std::size_t>(f)];
}

QString CDialogLogin::fieldText(SurveyField f) const { return field(f)->text(); }

void CDialogLogin::fillFields() {
  // The list is read anew each time: after a refused submission it holds each country once.
  country_->clear();
  if (const auto countries = survey::readCountryList(countryListPath_)) {
    for (const std::string& c : *countries) {
      country_->addItem(qs(c), Qt::white);
    }
  } else {
    messages_.show(survey::kCountryListMissingText);
  }
  const std::array<const std::string*, kSurveyFieldCount> stored{&record_.region, &record_.name,     &record_.age,
                                                                 &record_.facebook, &record_.email, &record_.game};
  for (std::size_t i = 0; i < kSurveyFieldCount; ++i) {
    const auto f = static_cast<SurveyField>(i);
    const std::string& value = *stored[i];
    field(f)->setText(value.empty() ? qs(spec(f).hint) : qs(value));
    field(f)->setCursorPosition(0);
  }
}

void CDialogLogin::setSurveyFilter(bool on) {
  focusKeeper_->setSurveyFilter(on);
  for (CEditHelper* edit : edits_) {
    if (edit != nullptr) {
      edit->setSurveyFilter(on);
    }
  }
}

bool CDialogLogin::eventFilter(QObject* watched, QEvent* event) {
  // A field that shows its hint is emptied when the user comes to it, and shows the hint again
  // when the user leaves it empty.
  if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
    for (std::size_t i = 0; i < kSurveyFieldCount; ++i) {
      const auto f = static_cast<SurveyField>(i);
      QLineEdit* edit = field(f);
      // The country box takes the focus for its edit part (it is the edit's focus proxy).
      if (watched != edit && !(f == SurveyField::Country && watched == country_)) {
        continue;
      }
      const QString hint = qs(spec(f).hint);
      if (event->type() == QEvent::FocusIn && edit->text() == hint) {
        edit->clear();
      } else if (event->type() == QEvent::FocusOut && edit->text().isEmpty()) {
        edit->setText(hint);
        edit->setCursorPosition(0);
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CDialogLogin::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred on the screen, as the template asks.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  focusKeeper_->setFocus(Qt::OtherFocusReason);
}

// ---- painting ----

const QImage& CDialogLogin::compose() {
  if (composition_.size() != size()) {
    composition_ = QImage(size(), QImage::Format_RGB32);
  }
  QPainter p(&composition_);
  if (normal_.isNull()) {
    composition_.fill(Qt::black);
  } else {
    p.drawImage(0, 0, normal_);
  }
  const auto copyFrom = [&](const QImage& picture, std::int32_t region) {
    if (region >= 0 && region < static_cast<std::int32_t>(layout_.size()) && !picture.isNull()) {
      const QRect r = qrect(layout_[static_cast<std::size_t>(region)]);
      p.drawImage(r.topLeft(), picture, r);
    }
  };
  if (hoverIndex_ != kNoRegion) {
    copyFrom(pressed_ ? down_ : over_, hoverIndex_);
  }
  copyFrom(down_, record_.isMale != 0 ? survey_region::kMale : survey_region::kFemale);
  p.setFont(font_);
  p.setPen(kTextColour);
  for (const SkinButton& b : layout_) {
    if (!b.label.empty()) {
      p.drawText(qrect(b), Qt::AlignCenter | Qt::TextSingleLine, qs(b.label));
    }
  }
  return composition_;
}

void CDialogLogin::paintEvent(QPaintEvent* event) {
  compose();
  QPainter painter(this);
  const QRect area = event->rect();
  painter.drawImage(area.topLeft(), composition_, area);
}

// ---- the pointer ----

void CDialogLogin::trackPointer(QPoint pos) {
  const std::int32_t now = hitTest(layout_, pos.x(), pos.y(), kSurveyRegionCount - 1);
  if (now != hoverIndex_) {
    hoverIndex_ = now;
    update(repaintRegion_);
  }
}

void CDialogLogin::mouseMoveEvent(QMouseEvent* event) {
  if (movingWindow_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - moveOffset_);
    return;
  }
  trackPointer(event->position().toPoint());
}

void CDialogLogin::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  // A press that no move preceded (the form opened under the pointer) finds its region first.
  trackPointer(event->position().toPoint());
  if (hoverIndex_ == kNoRegion) {
    // Anywhere else the form is dragged as by a caption.
    if (windowHandle() == nullptr || !windowHandle()->startSystemMove()) {
      movingWindow_ = true;
      moveOffset_ = event->globalPosition().toPoint() - pos();
    }
    return;
  }
  pressed_ = true;
  if (hoverIndex_ == survey_region::kMale) {
    record_.isMale = 1;
  } else if (hoverIndex_ == survey_region::kFemale) {
    record_.isMale = 0;
  }
  update(repaintRegion_);
}

void CDialogLogin::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QDialog::mouseReleaseEvent(event);
    return;
  }
  movingWindow_ = false;
  pressed_ = false;
  update(repaintRegion_);
  if (hoverIndex_ == survey_region::kSubmit) {
    submit();
  }
}

void CDialogLogin::keyPressEvent(QKeyEvent* event) {
  // Neither Enter nor Escape closes the form. Alt+F4 is the window's close wherever the desktop
  // does not make it one: it rejects the form, and the utility ends.
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    case Qt::Key_F4:
      if (event->modifiers() == Qt::AltModifier) {
        event->accept();
        close();
        return;
      }
      break;
    default:
      break;
  }
  QDialog::keyPressEvent(event);
}

// ---- the submission ----

void CDialogLogin::submit() {
  hoverIndex_ = kNoRegion;
  update(repaintRegion_);
  record_.region = fieldText(SurveyField::Country).toStdString();
  record_.name = fieldText(SurveyField::Name).toStdString();
  record_.age = fieldText(SurveyField::Age).toStdString();
  record_.facebook = fieldText(SurveyField::Facebook).toStdString();
  record_.email = fieldText(SurveyField::Email).toStdString();
  record_.game = fieldText(SurveyField::Game).toStdString();

  const survey::AnswerProblem problem = survey::checkAnswers(record_);
  if (problem != survey::AnswerProblem::None) {
    messages_.show(survey::answerProblemText(problem, language_));
    if (problem == survey::AnswerProblem::RequiredMissing) {
      fillFields();
    }
    return;
  }
  // Answers the service could not check are refused here, before anything is stored or sent.
  survey::PreparedSurvey prepared = survey::prepareSurvey(record_, md5Hex);
  if (!prepared.request) {
    messages_.show(survey::surveyLimitText(prepared.limit, language_));
    return;
  }
  // Stored with the mark that they were given: the form is not shown again, and the next starts
  // send these answers until the service takes them.
  if (!survey::writeSurveyAnswers(recordPath_, record_, true)) {
    std::fprintf(stderr, "quillet: cannot write the survey answers into %s\n", recordPath_.string().c_str());
  }
  request_ = std::move(*prepared.request);
  setSurveyFilter(false);
  accept();
}

}  // namespace quillet
