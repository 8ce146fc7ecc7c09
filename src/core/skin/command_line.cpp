#include "core/skin/command_line.h"

#include <string_view>

#include "core/skin/startup.h"

namespace quillet {

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  std::string whole;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!whole.empty()) {
      whole += ' ';
    }
    whole += arg;
    if (arg == "--skins") {
      if (i + 1 >= args.size()) {
        result.error = "--skins needs a folder";
        continue;
      }
      result.skins = args[++i];
      whole += ' ';
      whole += args[i];
    } else if (arg.starts_with("--skins=")) {
      result.skins = std::string(arg.substr(std::string_view("--skins=").size()));
    } else if (arg == "--simulate") {
      result.simulate = true;
    } else if (arg == "--tray") {
      result.startInTray = true;
    } else if (arg == "--help" || arg == "-h") {
      result.help = true;
    }
  }
  result.startHidden = commandLineRequestsHide(whole);
  return result;
}

}  // namespace quillet
