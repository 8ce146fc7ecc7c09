// Feeds arbitrary bytes to the skin value cutter, as a value and as a whole layout file, and
// checks what must hold for any value: fields 0..5 never hold a comma and are pieces of the
// value, field 6 is a tail of it, the comma count is right, and a read never yields more than
// the reader's buffer.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/messages.h"
#include "platform/text_codec.h"
#include "ui/skin_layout.h"
#include "ui/skin_value.h"

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

  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("quillet-skin-fuzz-" + std::to_string(::getpid()) + ".ini");
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "[BUTTONPOS]\n0=";
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out << "\n";
  }
  Quiet quiet;
  quillet::SkinReadReport report(quiet);
  for (int key = 0; key < 3; ++key) {
    const quillet::SkinValue v = quillet::readSkinValue(file, "BUTTONPOS", key, report);
    for (int f = 0; f < 7; ++f) {
      check(quillet::text::utf16Length(v.fields[f]) < quillet::kSkinValueBufferChars);
    }
    check(!report.missingFile);
  }
  return 0;
}
