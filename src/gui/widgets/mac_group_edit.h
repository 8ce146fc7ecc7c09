#pragma once
// CMacGroupEdit: the macro page's group-name box. It reports Return and Escape, on their
// release, to whoever edits through it: the page renames the group when Return ends the edit
// and puts the group's name back on Escape.
#include <QLineEdit>

namespace quillet {

class CMacGroupEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CMacGroupEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

 Q_SIGNALS:
  // true: Return (or Enter); false: Escape.
  void keyReported(bool returnKey);

 protected:
  void keyReleaseEvent(QKeyEvent* event) override;
};

}  // namespace quillet
