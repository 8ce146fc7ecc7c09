#include "gui/pages/advanced_page.h"

#include <QEvent>
#include <QRegularExpressionValidator>

#include <algorithm>

#include "core/skin/window_shape.h"

namespace quillet {

namespace {

namespace ar = advanced_region;

// The value boxes' digit limits. The fire time shows "ms" after its number except while it is
// being edited.
constexpr std::array<int, 3> kValueBoxDigits{2, 2, 3};
constexpr int kPointerSpeedBox = 0;
constexpr int kWheelSpeedBox = 1;
constexpr int kFireTimeBox = 2;
constexpr int kSpeedLimit = 10;
constexpr int kFireTimeLimit = 300;

}  // namespace

AdvancedPage::AdvancedPage(PageContext& context) : WindowPage(context) {}

AdvancedPage::~AdvancedPage() { destroyBoxes(); }

void AdvancedPage::enter() { createBoxes(); }

void AdvancedPage::leave() {
  endDrags();
  destroyBoxes();
}

void AdvancedPage::press(QPoint pos, std::int32_t common, std::int32_t own) {
  if (common != kNoRegion) {
    return;  // the frame's regions are the window's
  }
  ProfileSettings& s = context_.settings();
  const auto region = [&](int i) -> const SkinButton& { return context_.layouts().advanced[static_cast<std::size_t>(i)]; };
  const int x = pos.x();
  if (own == ar::kPointerSpeed || own == ar::kWheelSpeed) {
    const SkinButton& slider = region(own);
    const auto v = static_cast<std::uint8_t>(speedSliderValue(sliderOffset(x, slider.x, kSpeedPressReach), slider.width));
    const bool pointer = own == ar::kPointerSpeed;
    (pointer ? s.pointerSpeed : s.wheelSpeed) = v;
    (pointer ? dragPointerSpeed_ : dragWheelSpeed_) = true;
    showValue(pointer ? kPointerSpeedBox : kWheelSpeedBox);
  } else if (own == ar::kFireTime) {
    const SkinButton& slider = region(own);
    s.fireTime = fireTimeSliderValue(sliderOffset(x, slider.x, kFireTimePressReach), slider.width);
    dragFireTime_ = true;
    showValue(kFireTimeBox);
  } else if (own >= ar::kFirstDpiColor && own < ar::kFirstDpiColor + kDpiLevelCount) {
    if (const std::optional<ColorRef> picked = context_.dialogs().pickColor(&context_.widget())) {
      s.setDpiColor(own - ar::kFirstDpiColor, *picked);
    }
  } else if (own >= ar::kFirstDpiEnable && own < ar::kFirstDpiEnable + kDpiLevelCount) {
    s.toggleDpiLevel(own - ar::kFirstDpiEnable);
  } else if (own >= ar::kFirstDpiSelect && own < ar::kFirstDpiSelect + kDpiLevelCount) {
    s.selectDpiLevel(own - ar::kFirstDpiSelect);
  } else if (own >= ar::kFirstDpiStep && own <= ar::kLastDpiStep) {
    s.setDpiStep((own - ar::kFirstDpiStep) / kDpiStepCount,
                 static_cast<std::uint8_t>((own - ar::kFirstDpiStep) % kDpiStepCount));
  }
  context_.scheduleRepaint();
}

void AdvancedPage::drag(int x) {
  ProfileSettings& s = context_.settings();
  const auto region = [&](int i) -> const SkinButton& { return context_.layouts().advanced[static_cast<std::size_t>(i)]; };
  // A drag changes the value and its box at once, and goes on beyond the slider's region.
  if (dragPointerSpeed_) {
    const SkinButton& slider = region(ar::kPointerSpeed);
    s.pointerSpeed = static_cast<std::uint8_t>(speedSliderValue(sliderOffset(x, slider.x, 0), slider.width));
    showValue(kPointerSpeedBox);
  }
  if (dragWheelSpeed_) {
    const SkinButton& slider = region(ar::kWheelSpeed);
    s.wheelSpeed = static_cast<std::uint8_t>(speedSliderValue(sliderOffset(x, slider.x, 0), slider.width));
    showValue(kWheelSpeedBox);
  }
  if (dragFireTime_) {
    const SkinButton& slider = region(ar::kFireTime);
    s.fireTime = fireTimeSliderValue(sliderOffset(x, slider.x, 0), slider.width);
    showValue(kFireTimeBox);
  }
  if (dragPointerSpeed_ || dragWheelSpeed_ || dragFireTime_) {
    context_.scheduleRepaint(context_.pageRegion(RepaintArea::AdvancedPage));
  }
}

void AdvancedPage::endDrags() { dragPointerSpeed_ = dragWheelSpeed_ = dragFireTime_ = false; }

void AdvancedPage::languageChanged() {
  for (const QPointer<QLineEdit>& box : boxes_) {
    if (box) {
      box->setFont(context_.uiFont());
    }
  }
}

void AdvancedPage::modelReplaced() {
  for (int i = 0; i < static_cast<int>(boxes_.size()); ++i) {
    showValue(i);
  }
}

void AdvancedPage::setBusy(bool busy) {
  endDrags();
  for (const QPointer<QLineEdit>& box : boxes_) {
    if (box) {
      box->setEnabled(!busy);
    }
  }
}

void AdvancedPage::createBoxes() {
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const SkinRect& r = kAdvancedValueBoxes[i];
    auto* box = new QLineEdit(&context_.widget());
    box->setObjectName(QStringLiteral("valueBox%1").arg(i));
    box->setGeometry(r.left, r.top, r.width(), r.height());
    box->setAlignment(Qt::AlignCenter);
    box->setFrame(false);
    box->setFont(context_.uiFont());
    box->setStyleSheet(QStringLiteral("QLineEdit { background: black; color: white; border: none; padding: 0; }"));
    // Digits only, as many as the value has; "ms" is added by the page, never typed.
    box->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,%1}").arg(kValueBoxDigits[i])), box));
    boxes_[i] = box;
    showValue(static_cast<int>(i));
    connect(box, &QLineEdit::textEdited, this, [this, i] { onEdited(static_cast<int>(i)); });
    if (static_cast<int>(i) == kFireTimeBox) {
      box->installEventFilter(this);
    }
    box->setEnabled(!context_.applying());
    box->show();
  }
}

void AdvancedPage::destroyBoxes() {
  // Forgotten and unfiltered before they go: a box being destroyed still sends events (its
  // focus leaving), and the filter must not take it for a live box.
  for (QPointer<QLineEdit>& box : boxes_) {
    QLineEdit* gone = box.data();
    box = nullptr;
    if (gone != nullptr) {
      gone->removeEventFilter(this);
      delete gone;
    }
  }
}

void AdvancedPage::showValue(int index) {
  QLineEdit* box = boxes_[static_cast<std::size_t>(index)];
  if (box == nullptr) {
    return;
  }
  const ProfileSettings& s = context_.settings();
  switch (index) {
    case kPointerSpeedBox:
      box->setText(QString::number(s.pointerSpeed));
      break;
    case kWheelSpeedBox:
      box->setText(QString::number(s.wheelSpeed));
      break;
    default:
      box->setText(box->hasFocus() ? QString::number(s.fireTime) : QString::number(s.fireTime) + QStringLiteral("ms"));
      break;
  }
}

void AdvancedPage::onEdited(int index) {
  QLineEdit* box = boxes_[static_cast<std::size_t>(index)];
  ProfileSettings& s = context_.settings();
  // The value of a text is its leading digits; values above the limit are clamped, and the box
  // then shows the limit.
  const int value = static_cast<int>(skinNumber(box->text().toStdString()));
  if (index == kFireTimeBox) {
    s.fireTime = std::min(value, kFireTimeLimit);
    if (value > kFireTimeLimit) {
      box->setText(QString::number(kFireTimeLimit));
    }
  } else {
    const auto clamped = static_cast<std::uint8_t>(std::min(value, kSpeedLimit));
    (index == kPointerSpeedBox ? s.pointerSpeed : s.wheelSpeed) = clamped;
    if (value > kSpeedLimit) {
      box->setText(QString::number(kSpeedLimit));
    }
  }
  context_.scheduleRepaint(context_.pageRegion(RepaintArea::AdvancedPage));
}

bool AdvancedPage::eventFilter(QObject* watched, QEvent* event) {
  QLineEdit* fire = boxes_[kFireTimeBox];
  if (fire != nullptr && watched == fire) {
    ProfileSettings& s = context_.settings();
    if (event->type() == QEvent::FocusIn) {
      fire->setText(QString::number(s.fireTime));
    } else if (event->type() == QEvent::FocusOut) {
      s.fireTime = std::min(s.fireTime, kFireTimeLimit);
      fire->setText(QString::number(s.fireTime) + QStringLiteral("ms"));
    }
  }
  return QObject::eventFilter(watched, event);
}

// ---- drawing ----

void AdvancedPage::paintState(WindowPainter& painter, const HoverIndexes& hover) const {
  const auto& a = context_.layouts().advanced;
  const auto region = [&](int i) -> const SkinButton& { return a[static_cast<std::size_t>(i)]; };
  if (hover.advanced != kNoRegion) {
    painter.copyOver(region(hover.advanced));
  }
  const ProfileSettings& s = context_.settings();
  if (s.currentDpiLevel >= 0 && s.currentDpiLevel < kDpiLevelCount) {
    painter.copyDown(region(ar::kFirstDpiSelect + s.currentDpiLevel));
  }
  for (int i = 0; i < kDpiLevelCount; ++i) {
    const QColor colour = colorOf(s.dpiColorRef[static_cast<std::size_t>(i)]);
    painter.fill(qrectOf(region(ar::kFirstDpiColor + i)), colour);
    // A step beyond the table (a damaged file) lights the level's whole bar, never the next one's.
    const int first = ar::kFirstDpiStep + kDpiStepCount * i;
    const int last = std::min<int>(s.dpiStepRegion[static_cast<std::size_t>(i)], first + kDpiStepCount - 1);
    for (int r = first; r <= last; ++r) {
      const SkinButton& b = region(r);
      painter.fill(QRect(b.x + 1, b.y + 1, b.width - 2, b.height - 1), colour);
    }
    if (s.dpiLevelEnabled[static_cast<std::size_t>(i)] == 1) {
      painter.copyDown(region(ar::kFirstDpiEnable + i));
    }
  }
  const SkinButton& pointer = region(ar::kPointerSpeed);
  const SkinButton& wheel = region(ar::kWheelSpeed);
  const SkinButton& fire = region(ar::kFireTime);
  // Values beyond a slider's range (a damaged file) are drawn at its end: the knob stays on it.
  painter.slider(pointer, std::min<int>(s.pointerSpeed, 10) * pointer.width / 10);
  painter.slider(wheel, std::min<int>(s.wheelSpeed, 10) * wheel.width / 10);
  painter.slider(fire, std::clamp(s.fireTime, 0, 300) * fire.width / 300);
}

void AdvancedPage::paintLabels(WindowPainter& painter, const HoverIndexes& hover) const {
  const auto& a = context_.layouts().advanced;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(kAdvancedRegionCount); ++i) {
    const SkinButton& r = a[static_cast<std::size_t>(i)];
    painter.label(r, r.label, i == hover.advanced ? kLabelHover : kLabelWhite);
  }
}

}  // namespace quillet
