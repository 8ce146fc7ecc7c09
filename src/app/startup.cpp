#include "app/startup.h"

#include "device/device_link.h"

namespace quillet {

int uiFontTenthsOfPoint(double scale) {
  if (scale == 1.0) {
    return 85;
  }
  if (scale == 1.25) {
    return 63;
  }
  if (scale == 1.5) {
    return 53;
  }
  if (scale == 1.75 || scale == 2.0) {
    return 43;
  }
  if (scale > 2.0 && scale < 3.0) {
    return 30;
  }
  if (scale == 3.0) {
    return 20;
  }
  return 10;
}

bool commandLineRequestsHide(std::string_view commandLine) {
  const std::size_t dash = commandLine.rfind('-');
  const std::string_view rest = dash == std::string_view::npos ? commandLine : commandLine.substr(dash + 1);
  return rest.substr(0, 4) == "HIDE";
}

std::string noMouseMessage(Language language) {
  if (language != kChinese) {
    return std::string("Please plug-in【") + kWindowTitle + "】USB Mouse";
  }
  return std::string("请插入【") + kWindowTitle + "】USB鼠标";
}

std::string udevRuleHint() {
  return std::string("The udev rule ") + kUdevRuleName + " gives the mouse to the logged-in user; the package installs it in " +
         kUdevRuleFolder + ". Install it there or in /etc/udev/rules.d, then plug the mouse in again.";
}

std::string mouseNotOpenedMessage(Language language, std::string_view problem) {
  if (language != kChinese) {
    return std::string("The【") + kWindowTitle + "】was found but may not be opened:\n" + std::string(problem) + "\n\n" +
           udevRuleHint();
  }
  return std::string("已找到【") + kWindowTitle + "】，但无法打开：\n" + std::string(problem) + "\n\nudev 规则 " +
         kUdevRuleName + " 将鼠标交给当前登录的用户；安装包会把它装到 " + kUdevRuleFolder +
         "。请将它装到该处或 /etc/udev/rules.d，然后重新插入鼠标。";
}

}  // namespace quillet
