#pragma once
// CDialogLogin: the start-up survey form. A skinned, borderless form with seven answers
// (country, name, age, gender, Facebook, e-mail, game) that cannot be skipped: only a valid
// submission closes it with Accepted; the window's own close (Alt+F4) rejects it, and the
// utility then ends.
//
// Skin: the layout skin_Login (INI_EN/skin_Login_en.ini or INI_CN/skin_Login.ini) gives regions
// 0..10 — 0, 1 drawn texts; 2..7 the fields country, name, age, Facebook, e-mail, game; 8
// submit; 9 male; 10 female — and the pictures Login_normal.jpg, Login_over.jpg (the hovered
// region), Login_down.jpg (the pressed region and the chosen gender) and Login_mask.jpg (the
// form's shape and size) lie in the skin folder.
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRegion>

#include <array>
#include <string>

#include "core/io/messages.h"
#include "core/settings/app_state.h"
#include "core/skin/skin_layout.h"
#include "core/survey/survey_query.h"
#include "core/survey/survey_record.h"

class QLineEdit;

namespace quillet {

class CEditHelper;
class CPngComboBox;

// The fields, in the order of their regions (2..7) and control IDs (10010..10015).
enum class SurveyField : std::uint8_t { Country, Name, Age, Facebook, Email, Game };
inline constexpr std::size_t kSurveyFieldCount = 6;

namespace survey_region {
inline constexpr std::int32_t kFirstField = 2;
inline constexpr std::int32_t kSubmit = 8;
inline constexpr std::int32_t kMale = 9;
inline constexpr std::int32_t kFemale = 10;
}  // namespace survey_region

class CDialogLogin : public QDialog {
  Q_OBJECT

 public:
  // The window title, by which automation finds the form.
  static constexpr const char* kTitle = "CDialogLogin";
  // The answers' text colour on the pictures.
  inline static const QColor kTextColour{200, 200, 200};

  // Reads the layout and the pictures of the skin folder in `language`, the survey record and the
  // country list. `macText` is the adapter address the request will carry.
  CDialogLogin(MessageService& messages, const DataPaths& paths, Language language, std::string macText,
               QWidget* parent = nullptr);
  ~CDialogLogin() override;

  // After an Accepted end: the signed query of the answers (already written to the record).
  const survey::SignedQuery& request() const { return request_; }
  const survey::SurveyRecord& record() const { return record_; }

  // The submission of region 8: checks the answers, stores them and accepts the form, or says
  // what is wrong and stays open.
  void submit();

  // ---- read by tests ----
  std::int32_t hoverIndex() const { return hoverIndex_; }
  bool pressedLook() const { return pressed_; }
  QLineEdit* field(SurveyField f) const;
  CPngComboBox* countryBox() const { return country_; }
  const SkinLayout<kSurveyRegionCount>& layout() const { return layout_; }
  const QRegion& repaintRegion() const { return repaintRegion_; }
  const QFont& textFont() const { return font_; }
  // The form as the next paint draws it.
  const QImage& compose();
  // The hint a field shows while it holds no answer.
  static const char* hintOf(SurveyField f);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void loadPictures();
  void createControls();
  // Fills the country list from its file and shows every field's stored answer or its hint.
  void fillFields();
  void trackPointer(QPoint pos);
  void setSurveyFilter(bool on);
  QString fieldText(SurveyField f) const;

  MessageService& messages_;
  const Language language_;
  const std::filesystem::path skinFolder_;
  const std::filesystem::path recordPath_;
  const std::filesystem::path countryListPath_;

  SkinLayout<kSurveyRegionCount> layout_{};
  QImage normal_, over_, down_;
  QRegion windowRegion_;
  QRegion repaintRegion_;
  QImage composition_;
  QFont font_;

  survey::SurveyRecord record_;
  survey::SignedQuery request_;

  CEditHelper* focusKeeper_ = nullptr;  // the zero-size box that holds the focus at first
  CPngComboBox* country_ = nullptr;
  std::array<CEditHelper*, kSurveyFieldCount> edits_{};  // Name..Game; [0] unused

  std::int32_t hoverIndex_ = kNoRegion;
  bool pressed_ = false;
  bool movingWindow_ = false;
  QPoint moveOffset_;
};

}  // namespace quillet
