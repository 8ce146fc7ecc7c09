#include "linux/autostart.h"

#include <sstream>
#include <system_error>

#include "core/io/app_folder.h"
#include "core/io/app_id.h"
#include "core/io/file_io.h"

namespace quillet {
namespace fs = std::filesystem;

fs::path autostartEntryPath() {
  const fs::path home = userConfigHome();
  return home.empty() ? fs::path() : home / "autostart" / (std::string(kAppId) + ".desktop");
}

std::string quoteExecArgument(std::string_view argument) {
  // The reserved characters of the Exec key: an argument with any of them is quoted.
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  if (!argument.empty() && argument.find_first_of(kReserved) == std::string_view::npos) {
    return std::string(argument);
  }
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string autostartEntry(std::string_view shipped, const fs::path& executable) {
  std::istringstream in{std::string(shipped)};
  std::string out;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("Exec=")) {
      // The shipped line names the program; what follows it (--tray) stays.
      const std::string command = line.substr(5);
      const std::size_t space = command.find(' ');
      line = "Exec=" + quoteExecArgument(executable.string()) +
             (space == std::string::npos ? std::string() : command.substr(space));
    }
    out += line;
    out += '\n';
  }
  return out;
}

bool enableAutostart(const fs::path& shippedEntry, const fs::path& executable, std::string& problem) {
  const fs::path target = autostartEntryPath();
  if (target.empty()) {
    problem = "there is no home folder for the autostart entry ($XDG_CONFIG_HOME and $HOME are not set)";
    return false;
  }
  const std::optional<std::string> shipped = fileio::readFile(shippedEntry);
  if (!shipped) {
    problem = "cannot read the shipped autostart entry " + shippedEntry.string();
    return false;
  }
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  if (!fileio::writeFileAtomic(target, autostartEntry(*shipped, executable))) {
    problem = "cannot write " + target.string();
    return false;
  }
  return true;
}

bool disableAutostart(std::string& problem) {
  const fs::path target = autostartEntryPath();
  std::error_code ec;
  if (target.empty() || !fs::exists(fs::symlink_status(target, ec))) {
    return true;
  }
  if (!fs::remove(target, ec)) {
    problem = "cannot remove " + target.string() + ": " + ec.message();
    return false;
  }
  return true;
}

bool autostartEnabled() {
  const fs::path target = autostartEntryPath();
  std::error_code ec;
  return !target.empty() && fs::is_regular_file(target, ec);
}

}  // namespace quillet
