#include "app/startup.h"

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

std::string applyNotTakenMessage(Language language) {
  if (language != kChinese) {
    return "The mouse did not take all the settings. They are saved; press Apply again once the mouse is back.";
  }
  return "鼠标未能接收全部设置。设置已保存，鼠标重新连接后请再次点击应用。";
}

}  // namespace quillet
