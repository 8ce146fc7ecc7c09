#pragma once
// The utility's command line: quillet [--skins DIR] [--simulate] [--tray] [-HIDE]
//
// Arguments the utility does not know are ignored, as a start from an autostart entry may carry
// anything; the hidden start is decided by the rule of commandLineRequestsHide over the whole
// line, so "-HIDE" works wherever it stands last.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

struct CommandLine {
  std::optional<std::filesystem::path> skins;  // --skins DIR / --skins=DIR
  bool simulate = false;                       // --simulate
  bool help = false;                           // --help / -h
  bool startHidden = false;                    // the last '-' is followed by "HIDE"
  bool startInTray = false;                    // --tray
  std::string error;                           // set when an option lacks its value
};

// `args` without the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

inline constexpr const char* kCommandLineUsage =
    "usage: quillet [--skins DIR] [--simulate] [--tray] [-HIDE]\n\n"
    "  --skins DIR   use DIR as the skin folder (layouts, pictures, settings, macros)\n"
    "  --simulate    use the built-in simulated mouse\n"
    "  --tray        start hidden in the notification area (minimised where there is none)\n"
    "  -HIDE         start minimised (when the mouse is found)\n\n"
    "QUILLET_SIM=<socket> connects to an external simulated mouse; QUILLET_MESSAGES=stderr\n"
    "prints messages on standard error instead of showing message boxes.\n";

}  // namespace quillet
