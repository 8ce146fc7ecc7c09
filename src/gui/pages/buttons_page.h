#pragma once
// The buttons page (the main page): the profile list, the function list of each of the eight
// buttons with its sub-menus and the macro menu, the warning before the only left click of
// profile 1 changes, and the settings file's import, export and reset and the support site.
#include <QObject>

#include <string>
#include <string_view>

#include "gui/pages/window_page.h"
#include "core/settings/app_state.h"
#include "core/settings/button_function.h"

namespace quillet {

class SkinPopup;

class ButtonsPage : public QObject, public WindowPage {
  Q_OBJECT

 public:
  explicit ButtonsPage(PageContext& context);

  void paintState(WindowPainter& painter, const HoverIndexes& hover) const override;
  void paintLabels(WindowPainter& painter, const HoverIndexes& hover) const override;
  void press(QPoint pos, std::int32_t common, std::int32_t own) override;
  void release(std::int32_t common, std::int32_t own) override;

  // The commands, as the regions run them.
  void openProfileList();
  void openFunctionList(int button);
  void importSettings();
  void exportSettings();
  void resetSettings();
  void openSupportSite();

 private:
  void assign(ButtonFunction code);
  void onFunctionHover(std::int32_t row);
  void onSubMenuHover(std::int32_t row);

  int editedButton_ = -1;  // the button whose function list is open
};

// The support site the main page's link opens: the build's setting QUILLET_SUPPORT_URL.
const char* supportSiteUrl();

// Said when no web browser could open the support site: the address, for the user to open.
std::string supportSiteNotOpenedMessage(Language language, std::string_view url);

}  // namespace quillet
