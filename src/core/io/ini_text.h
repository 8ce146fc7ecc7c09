#pragma once
// The text of one INI file as the INI module holds it: its lines with their original bytes, the
// index of its sections and keys, and the edits a write applies. Internal to the INI module
// (and its fuzz target); everything else goes through core/io/ini.h.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/io/ini.h"

namespace quillet::ini::detail {

enum class Encoding : std::uint8_t { Utf8, Utf8Bom, Utf16le, Cp936 };

// One line of the file, or one run of lines that are never read (blank lines, comments, lines
// before the first section) kept together as one: a file of a million blank lines costs one
// entry, not a million. A line is a place in the document's bytes, so that what a line costs
// beyond its bytes stays small (files are cached): 16 bytes.
struct Line {
  static constexpr std::uint32_t kNoText = 0xFFFFFFFF;
  std::uint32_t at = 0;    // where its bytes start in Document::bytes, its line break after them
  std::uint32_t size = 0;  // bytes in the file's encoding, without the (last) line break
  // The line as UTF-8 (an index into Document::texts) where that differs from its bytes
  // (another encoding, broken bytes); for most lines of most files it does not. Never set on a
  // filler run.
  std::uint32_t decoded = kNoText;
  std::uint8_t eolSize = 0;  // the line break's bytes (CR LF in UTF-16 is 4); 0 on a last line
  bool filler = false;       // a run of lines that are neither a section header nor a key
};

// A key line of a section; its name and value are read from the line's text when asked.
struct Key {
  std::uint32_t line;
};

struct Section {
  std::uint32_t headerLine;
  std::vector<Key> keys;  // in file order
  // Indices into keys ordered by folded name, the first of each name first.
  std::vector<std::uint32_t> byName;
};

// One parsed INI file. Lines keep their original bytes so that a write changes only the lines
// it must, and serialise() gives back exactly the bytes that were parsed.
struct Document {
  Encoding encoding = Encoding::Utf8;
  // The bytes of the lines: the file's, then those of lines written since, each followed by its
  // line break. Serialise gives them back in line order.
  std::string bytes;
  std::vector<std::string> texts;  // the decoded texts lines point at
  std::vector<Line> lines;
  // An odd last byte of a UTF-16 file: kept at the very end, so that lines added before it stay
  // aligned on code units.
  std::string oddTail;
  // The file's first line break (inside a filler run it is no line's own), for new lines.
  std::string firstBreak;
  std::vector<Section> sections;
  // Indices into sections ordered by folded name, the first of each name first.
  std::vector<std::uint32_t> sectionsByName;

  std::string_view raw(const Line& line) const { return std::string_view(bytes).substr(line.at, line.size); }
  std::string_view eol(const Line& line) const {
    return std::string_view(bytes).substr(line.at + line.size, line.eolSize);
  }
  std::string_view text(const Line& line) const {
    return line.decoded != Line::kNoText ? std::string_view(texts[line.decoded]) : raw(line);
  }
  // Gives a line its bytes and line break anew, at the end of `bytes`.
  void place(Line& line, std::string_view raw, std::string_view lineBreak);

  const Section* findSection(std::string_view name) const;
  Section* findSection(std::string_view name);
  const Key* findKey(const Section& section, std::string_view name) const;
  // The section's name and a key's name and value (trimmed; none for a line without '='),
  // read from their lines.
  std::string_view sectionName(const Section& section) const;
  std::string_view keyName(const Key& key) const;
  std::optional<std::string_view> keyValue(const Key& key) const;
  // The trimmed value of the first key of that name in the first section of that name; none
  // when there is none or the key has no '='. A view into the document.
  std::optional<std::string_view> value(std::string_view section, std::string_view key) const;

  std::string encode(std::string_view utf8) const;
  std::string newLineBreak() const;
  std::string serialise() const;
  void index();
  // Rebuilds the name orders of the sections, or of one section's keys.
  void orderSections();
  void orderKeys(Section& section) const;
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
