#pragma once
// The text of one INI file as the INI module holds it: its lines with their original bytes, the
// index of its sections and keys, and the edits a write applies. Internal to the INI module
// (and its fuzz target); everything else goes through platform/ini.h.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/io/ini.h"

namespace quillet::ini::detail {

enum class Encoding : std::uint8_t { Utf8, Utf8Bom, Utf16le, Cp936 };

struct Line {
  std::string raw;  // bytes in the file's encoding, without the line break
  std::string eol;  // the line break's bytes as found (empty on a last line without one)
  // The line as UTF-8 where that differs from `raw` (another encoding, broken bytes); for most
  // lines of most files it does not, and `raw` is the text.
  std::optional<std::string> decoded;

  std::string_view text() const { return decoded ? std::string_view(*decoded) : std::string_view(raw); }
};

struct Key {
  std::string name;                  // as spelled in the file, trimmed
  std::optional<std::string> value;  // trimmed; none for a line without '='
  std::size_t line;
};

struct Section {
  std::string name;
  std::size_t headerLine;
  std::vector<Key> keys;
  std::unordered_map<std::string, std::size_t> firstKey;  // folded name -> index into keys
};

// One parsed INI file. Lines keep their original bytes so that a write changes only the lines
// it must, and serialise() gives back exactly the bytes that were parsed.
struct Document {
  Encoding encoding = Encoding::Utf8;
  std::vector<Line> lines;
  // An odd last byte of a UTF-16 file: kept at the very end, so that lines added before it stay
  // aligned on code units.
  std::string oddTail;
  std::vector<Section> sections;
  std::unordered_map<std::string, std::size_t> firstSection;  // folded name -> index

  const Section* findSection(std::string_view name) const;
  Section* findSection(std::string_view name);
  static const Key* findKey(const Section& section, std::string_view name);
  // The trimmed value of the first key of that name in the first section of that name; null
  // when there is none or the key has no '='.
  const std::string* value(std::string_view section, std::string_view key) const;

  std::string encode(std::string_view utf8) const;
  std::string newLineBreak() const;
  std::string serialise() const;
  void index();
};

std::shared_ptr<Document> parse(std::string_view bytes);

// What readString returns for this document (null: the file is missing or unreadable).
std::string readString(const Document* doc, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferChars);
// What sectionNames returns for this document.
std::vector<std::string> sectionNames(const Document& doc);

// False for an edit whose names or value would break the file's structure.
bool validEdit(const Edit& edit);
void apply(Document& doc, const Edit& edit);

}  // namespace quillet::ini::detail
