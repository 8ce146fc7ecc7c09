// Feeds arbitrary bytes to the country list's parse as a whole file: every item it gives is
// valid UTF-8, not empty, without line breaks and without blanks at either end.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/io/text_codec.h"
#include "core/survey/country_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const std::string& item : quillet::survey::parseCountryList(bytes)) {
    if (item.empty() || !quillet::text::isValidUtf8(item) || item.find_first_of("\r\n") != std::string::npos ||
        item.front() == ' ' || item.back() == ' ' || item.front() == '\t' || item.back() == '\t') {
      std::abort();
    }
  }
  return 0;
}
