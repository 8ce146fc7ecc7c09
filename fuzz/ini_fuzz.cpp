// Feeds arbitrary bytes to the INI reader and writer as the content of a file, and checks what
// must hold for any file: reads respect their buffer, a written value reads back, and writing
// the same value again changes nothing.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_io.h"
#include "platform/ini.h"
#include "platform/text_codec.h"

namespace {

const std::filesystem::path& scratchFile() {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quillet-ini-fuzz-" + std::to_string(::getpid()) + ".ini");
  return path;
}

void check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace ini = quillet::ini;
  const std::filesystem::path& file = scratchFile();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::size_t buffer = size > 0 ? data[0] % 12 : 5;
  for (const std::string& section : ini::sectionNames(file)) {
    check(ini::hasSection(file, section));
    const std::string value = ini::readString(file, section, "K0", "", buffer);
    check(quillet::text::utf16Length(value) + 1 <= std::max<std::size_t>(buffer, 1));
  }
  (void)ini::toInt(ini::readString(file, "Config1", "K0", "", 5));

  if (ini::writeString(file, "Fuzz", "Key", "fuzz value")) {
    check(ini::readString(file, "fuzz", "KEY", "", 64) == "fuzz value");
    const auto before = quillet::fileio::readFile(file);
    check(ini::writeString(file, "Fuzz", "Key", "fuzz value"));
    check(quillet::fileio::readFile(file) == before);
    check(ini::deleteKey(file, "Fuzz", "Key"));
    check(ini::readString(file, "Fuzz", "Key", "gone", 64) == "gone");
  }
  return 0;
}
