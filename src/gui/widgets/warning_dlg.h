#pragma once
// The warning dialog: a small skinned modal dialog shaped by its mask picture, with a confirming
// button (region 0), a cancelling button (region 1) and the message (region 2) of the warning
// layout. It asks before the only left click of profile 1 is given another function.
#include <QDialog>
#include <QFont>

#include "core/skin/skin_layout.h"
#include "gui/widgets/skin_pictures.h"

namespace quillet {

class WarningDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kConfirmed = 1;
  static constexpr int kCancelled = 2;

  WarningDlg(QWidget* parent, const SkinLayout<kWarningRegionCount>& layout, const SkinPictures& pictures,
             const QFont& font);

  // Shows the dialog with its top-left corner at (x, y) on the screen and waits for the answer:
  // kConfirmed, or kCancelled (also by Escape and by closing). Return does nothing.
  int showWarning(int x, int y);

  std::int32_t hoverButton() const { return hover_; }
  // The dialog as the next paint draws it: at its device pixel ratio, or at `ratio`.
  QImage render() const;
  QImage render(qreal ratio) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const SkinLayout<kWarningRegionCount>& layout_;
  const SkinPictures& pictures_;
  QFont font_;
  std::int32_t hover_ = kNoRegion;  // kConfirmed, kCancelled or kNoRegion
};

// The dialog's window title, by which tools find it.
inline constexpr const char* kWarningTitle = "WarningDlg";

}  // namespace quillet
