#include "gui/app/about_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "build_info.h"
#include "core/skin/startup.h"
#include "gui/widgets/app_icon.h"

namespace quillet {

namespace {
// No licence has been granted for this program: all rights stay with its developers.
constexpr const char* kLicence = "Copyright © 2026 the Quillet developers. All rights reserved.";
}  // namespace

QString CAboutDlg::text() {
  return QStringLiteral("Quillet — %1\nVersion %2\nBuild %3\n%4")
      .arg(QString::fromUtf8(kWindowTitle), QString::fromLatin1(kVersion), QString::fromLatin1(kBuild),
           QString::fromUtf8(kLicence));
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Quillet"));
  setWindowIcon(appIcon());
  // The skin's colours: the dark ground and the cyan of its buttons.
  setStyleSheet(QStringLiteral("QDialog { background: #161c24; }"
                               "QLabel { color: #e6edf3; padding: 4px 16px; }"
                               "QPushButton { color: #e6edf3; background: #0f6b78; border: 1px solid #35d6e8;"
                               " border-radius: 4px; padding: 4px 18px; }"
                               "QPushButton:hover { background: #138494; }"));
  auto* layout = new QVBoxLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap::fromImage(appIconImage(48)));
  icon->setAlignment(Qt::AlignCenter);
  layout->addWidget(icon);
  auto* label = new QLabel(text(), this);
  label->setObjectName(QStringLiteral("aboutText"));
  label->setAlignment(Qt::AlignCenter);
  layout->addWidget(label);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace quillet
