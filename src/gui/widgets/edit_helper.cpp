#include "gui/widgets/edit_helper.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QValidator>

#include <algorithm>

#include "core/skin/character_filter.h"

namespace quillet {
namespace {

bool accepted(const QString& text) {
  const QList<uint> codes = text.toUcs4();
  return std::all_of(codes.begin(), codes.end(), [](uint c) { return surveyCharacterAccepted(static_cast<char32_t>(c)); });
}

bool typesPrintable(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

// A line edit checks its validator on typing and pasting, never on setText: the limit of an edit
// box whose program may put in longer text.
class LengthLimit final : public QValidator {
 public:
  LengthLimit(int chars, QObject* parent) : QValidator(parent), chars_(chars) {}
  State validate(QString& input, int&) const override { return input.size() <= chars_ ? Acceptable : Invalid; }

 private:
  int chars_;
};

}  // namespace

CEditHelper::CEditHelper(QWidget* parent) : QLineEdit(parent) {}

void CEditHelper::setTextLimit(int chars) {
  textLimit_ = chars > 0 ? chars : 0;
  if (validator() == limit_) {
    setValidator(nullptr);
  }
  delete limit_;
  limit_ = textLimit_ > 0 ? new LengthLimit(textLimit_, this) : nullptr;
  if (limit_ != nullptr) {
    setValidator(limit_);
  }
}

void CEditHelper::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    pressedEndKey_ = event->key();
  }
  // A key press that types something types the characters of its text; the filter judges those.
  // Keys that type no printable character (arrows, Home; Delete, whose text is "\x7f" on X11
  // and Wayland; backspace, "\b") are editing keys and pass, except the paste, which would bring
  // in text the filter never saw.
  if (surveyFilter_ && (event->matches(QKeySequence::Paste) || (typesPrintable(event->text()) && !accepted(event->text())))) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void CEditHelper::inputMethodEvent(QInputMethodEvent* event) {
  // Text committed by an input method is typed text too: what the filter drops never arrives.
  if (surveyFilter_ && !event->commitString().isEmpty() && !accepted(event->commitString())) {
    QString kept;
    for (const uint c : event->commitString().toUcs4()) {
      if (surveyCharacterAccepted(static_cast<char32_t>(c))) {
        const char32_t one = static_cast<char32_t>(c);
        kept += QString::fromUcs4(&one, 1);
      }
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
    return;
  }
  QLineEdit::inputMethodEvent(event);
}

void CEditHelper::keyReleaseEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && event->key() == pressedEndKey_) {
    pressedEndKey_ = 0;
    Q_EMIT editEnded(event->key() != Qt::Key_Escape);
  }
  QLineEdit::keyReleaseEvent(event);
}

void CEditHelper::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // A popup of the box's own (its context menu, an input method's list) keeps the edit going:
  // the focus comes back when it closes.
  if (event->reason() != Qt::PopupFocusReason) {
    Q_EMIT editEnded(true);
  }
}

}  // namespace quillet
