#pragma once
// The survey form's country list: config/country.ini under the skin folder, a plain text file
// with one country or region a line, in the order the list shows them.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::survey {

// The lines of a country list's text (UTF-8, UTF-16LE with BOM, or CP936; CR LF, LF or CR line
// breaks), each one item, in order; blank lines and the blanks around names are dropped.
std::vector<std::string> parseCountryList(std::string_view bytes);

// The list in `file`; nullopt when the file cannot be read ("地域资料缺失!" for the form).
std::optional<std::vector<std::string>> readCountryList(const std::filesystem::path& file);

inline constexpr std::string_view kCountryListMissingText = "地域资料缺失!";

}  // namespace quillet::survey
