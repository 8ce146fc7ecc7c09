// Feeds arbitrary bytes to the skin value cutter, as a value and as a layout file's value, and
// checks what must hold for any value: fields 0..5 never hold a comma and are pieces of the
// value, field 6 is a tail of it, the comma count is right, and a read never yields more than
// the reader's buffer.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/io/ini_text.h"
#include "core/io/messages.h"
#include "core/io/text_codec.h"
#include "core/skin/skin_layout.h"
#include "core/skin/skin_value.h"

namespace {

void check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

class Quiet final : public quillet::MessageService {
 public:
  void show(std::string_view) override {}
};

void checkValue(std::string_view value) {
  const quillet::SkinValue v = quillet::splitSkinValue(value);
  check(v.commas == std::count(value.begin(), value.end(), ','));
  for (int f = 0; f < 6; ++f) {
    check(v.fields[f].find(',') == std::string::npos);
    check(value.find(v.fields[f]) != std::string_view::npos);
  }
  check(value.ends_with(v.fields[6]));
  (void)quillet::skinButtonFrom(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkValue(bytes);

  // The value as a layout file holds it, read through the same code as a file's, in memory.
  std::string text = "[BUTTONPOS]\n0=";
  text.append(bytes);
  text += "\n";
  const auto doc = quillet::ini::detail::parse(text);
  Quiet quiet;
  quillet::SkinReadReport report(quiet);
  for (const char* key : {"0", "1", "2"}) {
    const quillet::SkinValue v = quillet::cutReadSkinValue(
        quillet::ini::detail::readString(doc.get(), "BUTTONPOS", key, "", quillet::kSkinValueBufferChars), report);
    for (int f = 0; f < 7; ++f) {
      check(quillet::text::utf16Length(v.fields[f]) < quillet::kSkinValueBufferChars);
    }
    (void)quillet::skinButtonFrom(v);
  }
  check(report.malformedValues <= 3);
  return 0;
}
