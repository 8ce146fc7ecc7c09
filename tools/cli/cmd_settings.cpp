// quilletctl show and reset: the settings file as the utility loads it, and its factory reset.
#include <cstdio>

#include "cli.h"
#include "core/settings/settings_file.h"

namespace quillet::cli {

int runShow(Context& context, const std::vector<std::string>& args) {
  if (!args.empty()) {
    error("show takes no arguments");
    return kExitUsage;
  }
  if (!requireSettingsFile(context)) {
    return kExitUsage;
  }
  loadStartupSettings(context.app, context.settings);
  std::printf("[Init]\nCurConfig=%d\nVER_SEL=%d\n", context.app.currentProfile + 1, context.app.language);
  for (int p = 0; p < kProfileCount; ++p) {
    std::printf("[Config%d]\n", p + 1);
    for (const auto& [key, value] : profileSectionEntries(context.settings, p)) {
      std::printf("%s=%s\n", key.c_str(), value.c_str());
    }
  }
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

int runReset(Context& context, const std::vector<std::string>& args) {
  if (!args.empty()) {
    error("reset takes no arguments");
    return kExitUsage;
  }
  if (!requireSettingsFile(context)) {
    return kExitUsage;
  }
  loadStartupSettings(context.app, context.settings);
  if (!resetSettings(context.app, context.settings)) {
    error("could not write " + context.app.configPath.string());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace quillet::cli
