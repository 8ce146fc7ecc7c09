#pragma once
// The window's message service: each message is a modal message box captioned with the
// application's name, over the main window.
#include <QPointer>
#include <QWidget>

#include "platform/messages.h"

namespace quillet {

class MessageBoxes final : public MessageService {
 public:
  void setParent(QWidget* parent) { parent_ = parent; }
  void show(std::string_view text) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace quillet
