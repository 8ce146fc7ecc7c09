#include "gui/widgets/message_box.h"

#include <QMessageBox>

namespace quillet {

void MessageBoxes::show(std::string_view text) {
  QMessageBox::information(parent_, QStringLiteral("Quillet"),
                           QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace quillet
