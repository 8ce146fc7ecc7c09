#include "gui/widgets/mac_group_edit.h"

#include <QKeyEvent>

namespace quillet {

void CMacGroupEdit::keyReleaseEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Q_EMIT keyReported(true);
      break;
    case Qt::Key_Escape:
      Q_EMIT keyReported(false);
      break;
    default:
      break;
  }
  QLineEdit::keyReleaseEvent(event);
}

}  // namespace quillet
