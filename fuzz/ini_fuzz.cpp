// Feeds arbitrary bytes to the INI module as the content of a file and checks what must hold
// for any file: the parse gives back exactly the bytes it was given, a written value reads back,
// writing the same value again changes nothing, a removed key is gone, and a read never gives
// more than its buffer. All in memory: the parse and the reads are the ones a file goes through.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/io/ini.h"
#include "core/io/ini_text.h"
#include "core/io/text_codec.h"

namespace {

namespace ini = quillet::ini;

void check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

// One parse of the text, then what holds for it: it gives back exactly its bytes, every read
// fits its buffer, a written value reads back (here and after the written text is parsed again),
// writing it again changes nothing, and a removed key or section is gone.
void checkText(std::string_view bytes, std::size_t buffer) {
  auto doc = ini::detail::parse(bytes);
  check(doc->serialise() == bytes);
  for (const std::string& section : ini::detail::sectionNames(*doc)) {
    check(doc->findSection(section) != nullptr);
    const std::string value = ini::detail::readString(doc.get(), section, "K0", "", buffer);
    check(quillet::text::utf16Length(value) + 1 <= std::max<std::size_t>(buffer, 1));
  }
  (void)ini::toInt(ini::detail::readString(doc.get(), "Config1", "K0", "", 5));

  const ini::Edit set{ini::Edit::Kind::Set, "Fuzz", "Key", "fuzz value"};
  ini::detail::apply(*doc, set);
  check(ini::detail::readString(doc.get(), "fuzz", "KEY", "", 64) == "fuzz value");
  const std::string once = doc->serialise();
  if (bytes.size() % 2 != 0) {
    // What a later read of the written file parses, for every other input (a parse costs what
    // the rest of this does).
    const auto again = ini::detail::parse(once);
    check(again->serialise() == once);
    check(ini::detail::readString(again.get(), "fuzz", "KEY", "", 64) == "fuzz value");
  }
  ini::detail::apply(*doc, set);
  check(doc->serialise() == once);
  ini::detail::apply(*doc, {ini::Edit::Kind::RemoveKey, "Fuzz", "Key", {}});
  check(!doc->value("Fuzz", "Key"));
  ini::detail::apply(*doc, {ini::Edit::Kind::RemoveSection, "Fuzz", {}, {}});
  check(doc->findSection("Fuzz") == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkText(bytes, size > 0 ? data[size - 1] % 12 : 0);
  return 0;
}
