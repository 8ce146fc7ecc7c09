#pragma once
// The window's message service: each message is a modal message box captioned with the
// application's name, over the main window.
#include <QPointer>
#include <QWidget>

#include "core/io/messages.h"

namespace quillet {

class MessageBoxes final : public MessageService {
 public:
  void setParent(QWidget* parent) { parent_ = parent; }
  QWidget* parent() const { return parent_; }
  void show(std::string_view text) override;

 private:
  QPointer<QWidget> parent_;
};

// While it lives, the boxes of `messages` (when it shows boxes) open over `window`, a window
// that runs before the main window shows (the survey form); then over the main window again.
class MessageBoxesOver {
 public:
  MessageBoxesOver(MessageService& messages, QWidget* window) : boxes_(dynamic_cast<MessageBoxes*>(&messages)) {
    if (boxes_ != nullptr) {
      previous_ = boxes_->parent();
      boxes_->setParent(window);
    }
  }
  ~MessageBoxesOver() {
    if (boxes_ != nullptr) {
      boxes_->setParent(previous_);
    }
  }
  MessageBoxesOver(const MessageBoxesOver&) = delete;
  MessageBoxesOver& operator=(const MessageBoxesOver&) = delete;

 private:
  MessageBoxes* boxes_;
  QPointer<QWidget> previous_;
};

}  // namespace quillet
