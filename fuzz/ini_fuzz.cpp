// Feeds arbitrary bytes to the INI module as the content of a file and checks what must hold
// for any file: the parse gives back exactly the bytes it was given, a written value reads back,
// writing the same value again changes nothing, and a removed key is gone. Now and then the
// same bytes go through a real file, so that the cache and the atomic write are exercised too.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_io.h"
#include "platform/ini.h"
#include "platform/ini_text.h"
#include "platform/text_codec.h"

namespace {

namespace ini = quillet::ini;

void check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

void inMemory(std::string_view bytes) {
  auto doc = ini::detail::parse(bytes);
  check(doc->serialise() == bytes);
  for (const ini::detail::Section& section : doc->sections) {
    check(doc->findSection(section.name) != nullptr);
  }
  const ini::Edit set{ini::Edit::Kind::Set, "Fuzz", "Key", "fuzz value"};
  ini::detail::apply(*doc, set);
  const std::string* value = doc->value("fuzz", "KEY");
  check(value != nullptr && *value == "fuzz value");
  const std::string once = doc->serialise();
  check(ini::detail::parse(once)->serialise() == once);
  ini::detail::apply(*doc, set);
  check(doc->serialise() == once);
  ini::detail::apply(*doc, {ini::Edit::Kind::RemoveKey, "Fuzz", "Key", {}});
  check(doc->value("Fuzz", "Key") == nullptr);
  ini::detail::apply(*doc, {ini::Edit::Kind::RemoveSection, "Fuzz", {}, {}});
  check(doc->findSection("Fuzz") == nullptr);
}

void onDisk(std::string_view bytes, std::size_t buffer) {
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("quillet-ini-fuzz-" + std::to_string(::getpid()) + ".ini");
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  for (const std::string& section : ini::sectionNames(file)) {
    const std::string value = ini::readString(file, section, "K0", "", buffer);
    check(quillet::text::utf16Length(value) + 1 <= std::max<std::size_t>(buffer, 1));
  }
  (void)ini::toInt(ini::readString(file, "Config1", "K0", "", 5));
  if (ini::writeString(file, "Fuzz", "Key", "fuzz value")) {
    check(ini::readString(file, "fuzz", "KEY", "", 64) == "fuzz value");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  inMemory(bytes);
  if (size > 0 && data[0] % 16 == 0) {
    onDisk(bytes, data[size - 1] % 12);
  }
  return 0;
}
