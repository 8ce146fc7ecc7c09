#include "core/skin/skin_value.h"

#include <algorithm>
#include <system_error>

#include "core/io/ini.h"

namespace quillet {

SkinValue splitSkinValue(std::string_view value) {
  SkinValue out;
  out.commas = static_cast<int>(std::count(value.begin(), value.end(), ','));
  if (out.commas == 0) {
    out.fields[0] = std::string(value);
    return out;
  }
  // `start` is where the next field begins. A field that finds no comma after its start is empty
  // and sends the cut back to the beginning of the value.
  std::size_t start = 0;
  for (std::size_t f = 0; f < 6; ++f) {
    const std::size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) {
      start = 0;
      continue;
    }
    out.fields[f] = std::string(value.substr(start, comma - start));
    start = comma + 1;
  }
  out.fields[6] = std::string(value.substr(start));
  return out;
}

std::int32_t skinNumber(std::string_view field) { return ini::toInt(field); }

SkinValue readSkinValue(const std::filesystem::path& file, std::string_view section, int index,
                        SkinReadReport& report) {
  if (!ini::isReadable(file)) {
    if (!report.missingFile) {
      report.missingFile = true;
      report.messages.show(ini::isTooLarge(file) ? ini::tooLargeMessage(file) : std::string(kSkinFileMissingText));
      if (report.onMissingFile) {
        report.onMissingFile();
      }
    }
    return {};
  }
  return cutReadSkinValue(ini::readString(file, section, std::to_string(index), "", kSkinValueBufferChars), report);
}

SkinValue cutReadSkinValue(std::string_view value, SkinReadReport& report) {
  SkinValue out = splitSkinValue(value);
  if (out.commas > kSkinValueMaxCommas) {
    ++report.malformedValues;
    report.messages.show(kSkinValueMalformedText);
  }
  return out;
}

}  // namespace quillet
