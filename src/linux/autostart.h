#pragma once
// The optional start at login: the desktop's autostart entry, $XDG_CONFIG_HOME/autostart/
// org.quillet.Quillet.desktop, which starts the utility hidden in the notification area
// (--tray; minimised where there is none). It is off until the user turns it on (quilletctl autostart on); the entry is the
// shipped one with this copy's executable in its Exec line, so any install prefix works.
#include <filesystem>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr const char* kAutostartTemplateFolder = "autostart";
inline constexpr const char* kAutostartTemplateName = "org.quillet.Quillet-autostart.desktop";

// Where the desktop looks for the user's entry (empty without a home).
std::filesystem::path autostartEntryPath();

// An Exec argument as desktop entries quote it: as it is when it needs no quotes, otherwise in
// double quotes with ", `, $ and \ escaped by a backslash.
std::string quoteExecArgument(std::string_view argument);

// The shipped entry with every Exec line starting `executable` (its other arguments kept).
std::string autostartEntry(std::string_view shipped, const std::filesystem::path& executable);

// Writes the entry from the shipped one (`shippedEntry`); false with `problem` set on failure.
[[nodiscard]] bool enableAutostart(const std::filesystem::path& shippedEntry, const std::filesystem::path& executable,
                     std::string& problem);
// Removes the entry; true when there is none afterwards.
[[nodiscard]] bool disableAutostart(std::string& problem);
bool autostartEnabled();

}  // namespace quillet
