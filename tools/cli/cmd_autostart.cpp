// quilletctl autostart [on|off]: the start at login, hidden in the notification area.
#include <cstdio>

#include "cli.h"
#include "core/io/app_folder.h"
#include "linux/autostart.h"

namespace quillet::cli {

int runAutostart(Context& context, const std::vector<std::string>& args) {
  if (args.size() > 1 || (args.size() == 1 && args[0] != "on" && args[0] != "off")) {
    error("autostart takes on, off or nothing");
    return kExitUsage;
  }
  std::string problem;
  if (args.empty()) {
    std::printf("%s\n", autostartEnabled() ? "on" : "off");
  } else if (args[0] == "on") {
    const std::filesystem::path shipped = context.app.appFolder / kAutostartTemplateFolder / kAutostartTemplateName;
    if (!enableAutostart(shipped, executableFolder() / "quillet", problem)) {
      error(problem);
      return kExitFailed;
    }
    std::printf("on: %s\n", autostartEntryPath().string().c_str());
  } else {
    if (!disableAutostart(problem)) {
      error(problem);
      return kExitFailed;
    }
    std::printf("off\n");
  }
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

}  // namespace quillet::cli
