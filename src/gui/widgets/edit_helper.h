#pragma once
// CEditHelper: an in-place edit box. It reports the end of an edit to its owner, who decides
// what to do with the text: Return ends keeping it, Escape ends discarding it, and losing the
// focus ends keeping it. Each is reported on the key's release, so that the key's press has
// done whatever else it does (a dialog swallows it) before the owner acts; a release whose
// press went elsewhere (the Return that chose a menu item which opened the box) ends nothing.
// A popup of the box itself (its context menu) does not end the edit.
//
// With the survey filter on, typed characters pass only when surveyCharacterAccepted says so
// (ui/character_filter.h); text put in by the program (setText) is never filtered.
#include <QLineEdit>

class QValidator;

namespace quillet {

class CEditHelper : public QLineEdit {
  Q_OBJECT

 public:
  explicit CEditHelper(QWidget* parent = nullptr);

  void setSurveyFilter(bool on) { surveyFilter_ = on; }
  bool surveyFilter() const { return surveyFilter_; }
  // Typing and pasting stop at `chars` characters (UTF-16 code units); text put in by the program
  // is not cut, so a hint longer than the limit still shows whole. 0: no limit.
  void setTextLimit(int chars);
  int textLimit() const { return textLimit_; }

 Q_SIGNALS:
  // The edit has ended: keep the text (Return, focus loss) or not (Escape).
  void editEnded(bool keep);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  bool surveyFilter_ = false;
  int pressedEndKey_ = 0;  // Return, Enter or Escape, pressed in this box and not released yet
  int textLimit_ = 0;
  QValidator* limit_ = nullptr;  // ours, while a limit is set
};

}  // namespace quillet
