// quilletctl [--skins DIR] [--simulate] COMMAND [ARGS...]
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "cli.h"
#include "core/device/device_protocol.h"
#include "core/io/app_folder.h"
#include "core/io/file_io.h"
#include "core/io/ini.h"
#include "core/skin/startup.h"
#include "linux/transports.h"
#include "sim_transport.h"

namespace quillet::cli {
namespace {

constexpr std::array kCommands = {
    Command{"show", "print the settings as the utility loads them",
            "usage: quilletctl [--skins DIR] show\n\n"
            "Loads the settings file as start-up does (CurConfig, VER_SEL, then the current profile)\n"
            "and prints [Init] and the four profile sections as a save would write them.\n"
            "Writes nothing.\n",
            runShow},
    Command{"reset", "restore the factory settings into the settings file",
            "usage: quilletctl [--skins DIR] reset\n\n"
            "Loads the factory sections CfgReset2..CfgReset4, applies the fixed reset values and\n"
            "saves the four profile sections. The mouse is not written.\n",
            runReset},
    Command{"plan", "print the block writes a download would make",
            "usage: quilletctl [--skins DIR] plan\n\n"
            "Runs the settings download against no mouse and prints each block write on its own\n"
            "line, \"block AAAA HH HH ...\" (address and data in upper-case hex), in the order sent,\n"
            "then \"finish\". Messages go to stderr. Writes nothing: no mouse, no file, no desktop\n"
            "setting. The device value is 0.\n",
            runPlan},
    Command{"apply", "write the settings into the mouse and save them",
            "usage: quilletctl [--skins DIR] [--simulate] apply\n\n"
            "The full download into the mouse (the real one, the simulator at $QUILLET_SIM, or with\n"
            "--simulate the built-in one), the desktop's pointer speed and wheel lines, then the\n"
            "save of the settings file: what the window's apply does. Exit code 1 when the mouse did\n"
            "not take the whole download or a file could not be written (each is named), 3 when no\n"
            "mouse is found, 4 when it is plugged in but may not be opened.\n",
            runApply},
    Command{"list", "list the HID interfaces of the mouse",
            "usage: quilletctl [--simulate] list\n\n"
            "Prints one line per HID interface of an accepted mouse: path, vendor:product ID,\n"
            "usage page:usage, and the input, output and feature report lengths in bytes; a vendor\n"
            "collection that may not be opened ends its line with \"not opened: REASON\".\n"
            "Talks to the real mouse, to the simulator at $QUILLET_SIM, or with --simulate to the\n"
            "built-in one. Exit code 3 when no mouse is found, 4 when one of its vendor collections\n"
            "may not be opened (the udev rule is missing).\n",
            runList, false},
    Command{"status", "read the mouse's status: active profile and device value",
            "usage: quilletctl [--simulate] status\n\n"
            "Finds the mouse, reads its status report and prints \"profile N\" (1..4) and\n"
            "\"device-value V\" on two lines. QUILLET_HID_LOG=1 traces the reports on stderr.\n"
            "Exit code 3 when no mouse is found, 4 when it may not be opened, 1 when it does not\n"
            "answer.\n",
            runStatus, false},
    Command{"listen", "serve the mouse's hold, multimedia, DPI and profile buttons",
            "usage: quilletctl [--skins DIR] [--simulate] listen\n\n"
            "Does for the mouse's own buttons what the window does while it runs, for a desktop\n"
            "without the window: the hold function, the multimedia keys, the DPI and profile\n"
            "buttons and the live adjustment of the macro on button 0. Loads the settings as\n"
            "start-up does; the buttons are served by the functions they hold there (the last\n"
            "download's). Talks to the real mouse, to the simulator at $QUILLET_SIM, or with\n"
            "--simulate to the built-in one; waits for a mouse that is not there yet and follows\n"
            "its removal and return. Runs until SIGINT or SIGTERM, then exits with 0.\n\n"
            "One line on standard output per action taken:\n"
            "  hold pressed button B     the hold command sent for the press of button B (0..7)\n"
            "  hold released button B    ... and for its release\n"
            "  consumer UUUU button B    the consumer usage UUUU (hex) relayed for button B\n"
            "  dpi L profile N           DPI level L (0..5) from a DPI button, saved for profile N\n"
            "  profile N                 the mouse switched to profile N: CurConfig written, loaded\n"
            "  adjust up, adjust down    the macro on button 0 adjusted (without a download in this\n"
            "                            run only its file; the next download takes it to the mouse)\n"
            "A command the mouse did not take ends its line with \"(not sent: no mouse)\".\n"
            "Whether the mouse is there goes to stderr. QUILLET_HID_LOG=1 traces the reports.\n",
            runListen},
    Command{"macros", "list the macros of a group file",
            "usage: quilletctl macros FILE.dat\n\n"
            "Reads a macro group file as the utility does and prints, for each macro, its name,\n"
            "play mode, loop count and number of steps, then each step on its own line: type,\n"
            "code (keyboard usage ID in memory form), x, y and delay in milliseconds.\n"
            "Writes nothing.\n",
            runMacros, false},
    Command{"autostart", "start the utility at login, hidden in the notification area",
            "usage: quilletctl autostart [on|off]\n\n"
            "on writes the desktop's autostart entry for this copy of quillet\n"
            "($XDG_CONFIG_HOME/autostart/org.quillet.Quillet.desktop), which starts it hidden in\n"
            "the notification area (-HIDE) at every login, so that the mouse's buttons are served;\n"
            "off removes it. Without an argument prints on or off. Off unless turned on.\n",
            runAutostart, false},
};

void printUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: quilletctl [--skins DIR] [--simulate] COMMAND [ARGS...]\n\n"
               "Options:\n"
               "  --skins DIR   use DIR instead of the skins folder beside the executable\n"
               "  --simulate    talk to the built-in simulated mouse\n"
               "  --help        show this help, or a command's help after the command\n\n"
               "Commands:\n");
  for (const Command& c : kCommands) {
    std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  }
}

const Command* findCommand(std::string_view name) {
  for (const Command& c : kCommands) {
    if (name == c.name) {
      return &c;
    }
  }
  return nullptr;
}

}  // namespace

void error(const std::string& text) { std::fprintf(stderr, "quilletctl: %s\n", text.c_str()); }

std::unique_ptr<DeviceService> deviceService(const Context& context) {
  std::string problem;
  TransportChoice choice = quillet::chooseTransport(context.simulate, context.backends, problem);
  if (!choice.transport) {
    error(problem);
    return nullptr;
  }
  return std::make_unique<DeviceService>(std::move(choice), [](std::string_view line) { error(std::string(line)); });
}

std::unique_ptr<DeviceService> openMouse(const Context& context, int& exitCode) {
  std::unique_ptr<DeviceService> service = deviceService(context);
  if (!service) {
    exitCode = kExitFailed;
    return nullptr;
  }
  if (!service->open()) {
    exitCode = service->link().devicePresent() ? noAccess(service->link().accessProblem())
                                               : noMouse(service->transport());
    return nullptr;
  }
  return service;
}

int noMouse(const HidTransport& transport) {
  if (const std::string problem = transport.enumerateProblem(); !problem.empty()) {
    error(problem);
  }
  error("no mouse");
  return kExitNoMouse;
}

bool requireSettingsFile(const Context& context) {
  if (ini::isTooLarge(context.app.configPath)) {
    error(ini::tooLargeMessage(context.app.configPath));
    return false;
  }
  if (!fileio::readFile(context.app.configPath)) {
    error("cannot read the settings file " + context.app.configPath.string());
    return false;
  }
  return true;
}

int noAccess(const std::string& problem) {
  error("the mouse is plugged in but may not be opened: " + problem);
  error(udevRuleHint());
  return kExitNoAccess;
}

int run(int argc, char** argv) {
  Context context;
  context.backends = linuxTransportBackends();
  sim::addInProcessMouse(context.backends);
  std::optional<std::filesystem::path> skins;
  const Command* command = nullptr;
  std::vector<std::string> args;
  bool help = false;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--skins" || arg.starts_with("--skins=")) {
      if (arg == "--skins") {
        if (i + 1 >= argc) {
          error("--skins needs a folder");
          return kExitUsage;
        }
        skins = argv[++i];
      } else {
        skins = std::string(arg.substr(std::strlen("--skins=")));
      }
    } else if (arg == "--simulate") {
      context.simulate = true;
    } else if (command == nullptr && !arg.starts_with("-")) {
      command = findCommand(arg);
      if (command == nullptr) {
        error("unknown command '" + std::string(arg) + "'");
        printUsage(stderr);
        return kExitUsage;
      }
    } else if (command != nullptr) {
      args.emplace_back(arg);
    } else {
      error("unknown option '" + std::string(arg) + "'");
      printUsage(stderr);
      return kExitUsage;
    }
  }

  if (help) {
    if (command != nullptr) {
      std::fputs(command->usage, stdout);
    } else {
      printUsage(stdout);
    }
    return kExitOk;
  }
  if (command == nullptr) {
    printUsage(stderr);
    return kExitUsage;
  }
  // The same folders as the window's: the build's, or an installed copy's skin and the user's
  // data under $XDG_CONFIG_HOME/quillet.
  const AppFolders folders = locateAppFolders(executableFolder(), skins);
  std::error_code ec;
  if (!std::filesystem::is_directory(folders.skinFolder, ec)) {
    error("no skins folder at " + folders.skinFolder.string());
    return kExitUsage;
  }
  if (std::string problem; command->usesSettings && !seedUserData(folders, problem)) {
    error(problem);
    return kExitUsage;
  }
  useFolders(context.app, folders);
  return command->run(context, args);
}

}  // namespace quillet::cli

int main(int argc, char** argv) { return quillet::cli::run(argc, argv); }
