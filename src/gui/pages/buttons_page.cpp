#include "gui/pages/buttons_page.h"

#include "build_info.h"
#include "core/settings/settings_file.h"
#include "gui/widgets/popup_menu.h"
#include "gui/widgets/warning_dlg.h"

namespace quillet {

namespace {

constexpr std::int32_t kProfileListHeight = 300;
constexpr std::int32_t kFunctionListHeight = 360;
constexpr std::int32_t kSubMenuWidth = 300;
constexpr std::int32_t kSubMenuHeight = 400;

const FileDialogSpec settingsFileDialog(const AppState& app) {
  return FileDialogSpec{QStringLiteral("All Files(*.ini)"), QStringLiteral("ini"), app.appFolder};
}

}  // namespace

ButtonsPage::ButtonsPage(PageContext& context) : WindowPage(context) {}

void ButtonsPage::press(QPoint, std::int32_t common, std::int32_t) {
  if (common == frame_region::kProfile) {
    openProfileList();
  } else if (common >= frame_region::kFirstButton && common <= frame_region::kLastButton) {
    openFunctionList(common - frame_region::kFirstButton);
  }
}

void ButtonsPage::release(std::int32_t common, std::int32_t) {
  switch (common) {
    case frame_region::kImport:
      importSettings();
      break;
    case frame_region::kExport:
      exportSettings();
      break;
    case frame_region::kReset:
      resetSettings();
      break;
    case frame_region::kSupportSite:
      openSupportSite();
      break;
    default:
      break;
  }
}

void ButtonsPage::openProfileList() {
  const SkinLayouts& layouts = context_.layouts();
  const QPoint origin = context_.screenOrigin();
  std::vector<std::string> names(layouts.profileNames.begin(), layouts.profileNames.end());
  CMenuDlg* menu = context_.popups().openMenu(
      MenuKind::Profile, menuBelow(origin.x(), origin.y(), layouts.main[frame_region::kProfile], 0, 0, kProfileListHeight),
      context_.pictures(), context_.uiFont(), textRows(names));
  context_.popupOpened();
  connect(menu, &SkinPopup::released, this, [this](std::int32_t row) {
    if (row < 1 || row > kProfileCount) {
      return;  // the list stays open
    }
    context_.app().currentProfile = row - 1;
    context_.popups().closeAll();
    context_.onProfileChosen();
  });
}

void ButtonsPage::openFunctionList(int button) {
  const SkinLayouts& layouts = context_.layouts();
  const AppState& app = context_.app();
  const SkinButton& region = layouts.main[static_cast<std::size_t>(frame_region::kFirstButton + button)];
  const QPoint origin = context_.screenOrigin();
  editedButton_ = button;
  // The only left click of profile 1 is given away only when the user confirms it.
  if (context_.settings().needsLeftClickWarning(app.currentProfile, button)) {
    WarningDlg warning(&context_.widget(), layouts.warning, context_.pictures(), context_.uiFont());
    context_.warningOpened(&warning);
    const int answer = warning.showWarning(origin.x() + region.x, origin.y() + region.y + region.height);
    context_.warningOpened(nullptr);
    if (answer == WarningDlg::kCancelled) {
      return;
    }
  }
  std::vector<std::string> names;
  for (int row = 1; row <= kFunctionMenuRows; ++row) {
    names.push_back(app.functionNames[static_cast<std::size_t>(row)]);
  }
  CMenuDlg* menu = context_.popups().openMenu(MenuKind::ButtonFunction,
                                             menuBelow(origin.x(), origin.y(), region, 1, 1, kFunctionListHeight),
                                             context_.pictures(), context_.uiFont(), textRows(names));
  context_.popupOpened();
  connect(menu, &SkinPopup::hoverChanged, this, &ButtonsPage::onFunctionHover);
  connect(menu, &SkinPopup::released, this, [this](std::int32_t row) {
    if (row >= 1 && row <= kLastBasicFunctionRow) {
      assign(row);
    }
    // Rows 7..10 lead on through their sub-menus and close nothing.
  });
}

void ButtonsPage::onFunctionHover(std::int32_t row) {
  PopupMenus& popups = context_.popups();
  const std::optional<FunctionSubMenu> sub = functionSubMenu(row);
  CMenuDlg* menu = popups.menu();
  if (!sub || menu == nullptr) {
    popups.closeSubMenu();
    return;
  }
  const AppState& app = context_.app();
  const MacroGroupList& groups = context_.library().groups();
  std::vector<std::string> names;
  if (sub->listsMacroGroups) {
    names.assign(groups.names.begin(), groups.names.begin() + groups.groupCount);
  } else {
    for (const FunctionChoice& item : sub->items) {
      names.push_back(app.functionNames[static_cast<std::size_t>(item.nameIndex)]);
    }
  }
  const ScreenRect& at = menu->placedAt();
  const ScreenRect placement{at.x + menu->width(),
                             at.y + functionSubMenuRowOffset(row, groups.groupCount) * menu->rowHeight(), kSubMenuWidth,
                             kSubMenuHeight};
  CSubMenuDlg* subMenu = popups.openSubMenu(row, placement, context_.pictures(), context_.uiFont(), textRows(names));
  connect(subMenu, &SkinPopup::hoverChanged, this, &ButtonsPage::onSubMenuHover);
  const FunctionSubMenu items = *sub;
  connect(subMenu, &SkinPopup::released, this, [this, items](std::int32_t item) {
    if (items.listsMacroGroups) {
      return;  // a group leads on to its macros
    }
    if (item >= 1 && item <= static_cast<std::int32_t>(items.items.size())) {
      assign(items.items[static_cast<std::size_t>(item - 1)].code);
    } else {
      context_.popups().closeAll();  // a release beside the items closes the levels all the same
    }
  });
}

void ButtonsPage::onSubMenuHover(std::int32_t row) {
  PopupMenus& popups = context_.popups();
  CSubMenuDlg* subMenu = popups.subMenu();
  const MacroGroupList& groups = context_.library().groups();
  if (subMenu == nullptr || subMenu->functionRow() != kMacroSubMenuRow || row < 1 || row > groups.groupCount) {
    popups.closeMacroMenu();
    return;
  }
  const int group = row - 1;
  const MacroNameTable::Group& macros = context_.library().macroNames().groups[static_cast<std::size_t>(group)];
  std::vector<std::string> names(macros.names.begin(), macros.names.begin() + std::clamp(macros.count, 0, kGroupMaxMacros));
  const ScreenRect& at = subMenu->placedAt();
  const ScreenRect placement{at.x + subMenu->width(), at.y + (row - 1) * subMenu->rowHeight(), kSubMenuWidth,
                             kSubMenuHeight};
  MacSelMenuDlg* macroMenu = popups.openMacroMenu(group, placement, context_.pictures(), context_.uiFont(), textRows(names));
  const int count = static_cast<int>(names.size());
  connect(macroMenu, &SkinPopup::released, this, [this, group, count](std::int32_t macroRow) {
    if (macroRow >= 1 && macroRow <= count) {
      assign(macroMenuCode(group, macroRow));
    } else {
      context_.popups().closeAll();  // nothing assigned, the three levels close all the same
    }
  });
}

void ButtonsPage::assign(ButtonFunction code) {
  context_.popups().closeAll();
  if (editedButton_ < 0) {
    return;
  }
  // The left-click rule runs with every assignment: profile 1 always keeps a left click.
  context_.settings().setButtonFunction(context_.app().currentProfile, editedButton_, code);
  context_.scheduleRepaint();
}

void ButtonsPage::importSettings() {
  AppState& app = context_.app();
  const std::optional<std::filesystem::path> chosen = context_.dialogs().openFile(&context_.widget(), settingsFileDialog(app));
  if (!chosen) {
    return;
  }
  if (quillet::importSettings(app, context_.settings(), *chosen, context_.messages())) {
    context_.modelReplaced();
  }
}

void ButtonsPage::exportSettings() {
  const AppState& app = context_.app();
  const std::optional<std::filesystem::path> chosen = context_.dialogs().saveFile(&context_.widget(), settingsFileDialog(app));
  if (!chosen) {
    return;
  }
  quillet::exportSettings(app, *chosen, context_.messages());
  context_.scheduleRepaint();
}

void ButtonsPage::resetSettings() {
  if (!quillet::resetSettings(context_.app(), context_.settings())) {
    // The window shows the reset values; the file keeps the old ones until the next save.
    context_.messages().show(saveFailedMessage(context_.app().configPath));
  }
  context_.modelReplaced();
}

const char* supportSiteUrl() { return kBuiltInSupportUrl; }

std::string supportSiteNotOpenedMessage(Language language, std::string_view url) {
  if (language != kChinese) {
    return "No web browser could open the support site. Its address is:\n" + std::string(url);
  }
  return "没有可以打开支持网站的浏览器。网址是：\n" + std::string(url);
}

void ButtonsPage::openSupportSite() {
  if (!context_.dialogs().openUrl(supportSiteUrl())) {
    context_.messages().show(supportSiteNotOpenedMessage(context_.app().language, supportSiteUrl()));
  }
}

// ---- drawing ----

void ButtonsPage::paintState(WindowPainter& painter, const HoverIndexes& hover) const {
  if (hover.main != kNoRegion) {
    painter.copyOver(context_.layouts().main[static_cast<std::size_t>(hover.main)]);
  }
}

void ButtonsPage::paintLabels(WindowPainter& painter, const HoverIndexes& hover) const {
  // Room that the select boxes keep for their drop-down arrow.
  constexpr int kArrowRoom = 23;
  const SkinLayouts& layouts = context_.layouts();
  const AppState& app = context_.app();
  const auto& buttons = context_.settings().buttonFunction[static_cast<std::size_t>(app.currentProfile & 3)];
  for (auto i = static_cast<std::int32_t>(kFrameRegionCount); i < static_cast<std::int32_t>(kMainRegionCount); ++i) {
    const SkinButton& r = layouts.main[static_cast<std::size_t>(i)];
    if (i >= frame_region::kFirstButton && i <= frame_region::kLastButton) {
      const int button = i - frame_region::kFirstButton;
      painter.label(r, buttonFunctionName(buttons[static_cast<std::size_t>(button)], app, context_.library().macroNames()),
                    i == hover.main ? kLabelHover : kLabelWhite, kArrowRoom);
    } else if (i == frame_region::kProfile) {
      painter.label(r, layouts.profileNames[static_cast<std::size_t>(app.currentProfile & 3)], kLabelWhite, kArrowRoom);
    } else {
      painter.label(r, r.label, kLabelWhite);
    }
  }
}

}  // namespace quillet
