#include "core/survey/country_list.h"

#include "core/io/file_io.h"
#include "core/io/ini.h"
#include "core/io/text_codec.h"

namespace quillet::survey {
namespace {

}  // namespace

std::vector<std::string> parseCountryList(std::string_view bytes) {
  const std::string text = text::decodeFileText(bytes);
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string_view line = text::trimBlanks(std::string_view(text).substr(start, end - start));
    if (!line.empty()) {
      out.emplace_back(line);
    }
    if (end == text.size()) {
      break;
    }
    // CR LF is one break.
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return out;
}

std::optional<std::vector<std::string>> readCountryList(const std::filesystem::path& file) {
  // No country list comes near the bound of the INI files; a larger file is none.
  const std::optional<std::string> bytes = fileio::readFile(file, ini::kMaxFileBytes);
  if (!bytes) {
    return std::nullopt;
  }
  return parseCountryList(*bytes);
}

}  // namespace quillet::survey
