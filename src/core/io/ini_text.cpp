#include "core/io/ini_text.h"

#include <algorithm>
#include <utility>

#include "core/io/text_codec.h"

namespace quillet::ini::detail {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16leBom = "\xFF\xFE";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && isBlank(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

std::string fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

// The line as UTF-8 when that differs from its bytes; nullopt when the bytes are the text.
std::optional<std::string> decodeLine(Encoding encoding, std::string_view raw) {
  // Plain ASCII reads the same in every byte encoding.
  if (encoding != Encoding::Utf16le &&
      std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::nullopt;
  }
  switch (encoding) {
    case Encoding::Utf16le:
      return text::utf16leToUtf8(raw);
    case Encoding::Cp936:
      return text::cp936ToUtf8(raw);
    default:
      // A file with a UTF-8 BOM may still hold broken sequences; show them as U+FFFD.
      if (text::isValidUtf8(raw)) {
        return std::nullopt;
      }
      return text::utf16leToUtf8(text::utf8ToUtf16le(raw));
  }
}

// Gives `line` the text `utf8`, in the file's encoding.
void setText(const Document& doc, Line& line, std::string utf8) {
  line.raw = doc.encode(utf8);
  if (line.raw == utf8) {
    line.decoded.reset();
  } else {
    line.decoded = std::move(utf8);
  }
}

bool breaksStructure(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

Line makeLine(const Document& doc, std::string text) {
  Line line;
  setText(doc, line, std::move(text));
  line.eol = doc.newLineBreak();
  return line;
}

// Inserts `line` before index `at`, giving the line before it a line break if it had none.
void insertLine(Document& doc, std::size_t at, Line line) {
  if (at > 0 && doc.lines[at - 1].eol.empty()) {
    doc.lines[at - 1].eol = doc.newLineBreak();
  }
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

// Moves the index of every line from `from` on by `by` lines (a line was inserted or removed).
void shiftLines(Document& doc, std::size_t from, std::ptrdiff_t by) {
  for (Section& section : doc.sections) {
    if (section.headerLine >= from) {
      section.headerLine = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(section.headerLine) + by);
    }
    for (Key& key : section.keys) {
      if (key.line >= from) {
        key.line = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(key.line) + by);
      }
    }
  }
}

void reindexKeys(Section& section) {
  section.firstKey.clear();
  for (std::size_t k = 0; k < section.keys.size(); ++k) {
    section.firstKey.try_emplace(fold(section.keys[k].name), k);
  }
}

void reindexSections(Document& doc) {
  doc.firstSection.clear();
  for (std::size_t s = 0; s < doc.sections.size(); ++s) {
    doc.firstSection.try_emplace(fold(doc.sections[s].name), s);
  }
}

// Whether a line of this text is read as a plain key (not a section header or a comment), as
// index() reads it.
bool readsAsKey(std::string_view text) {
  const std::string_view t = trim(text);
  return !t.empty() && t.front() != ';' && !(t.front() == '[' && t.rfind(']') != std::string_view::npos);
}

}  // namespace

const Section* Document::findSection(std::string_view name) const {
  const auto it = firstSection.find(fold(trim(name)));
  return it == firstSection.end() ? nullptr : &sections[it->second];
}

Section* Document::findSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const Key* Document::findKey(const Section& section, std::string_view name) {
  const auto it = section.firstKey.find(fold(trim(name)));
  return it == section.firstKey.end() ? nullptr : &section.keys[it->second];
}

const std::string* Document::value(std::string_view section, std::string_view key) const {
  const Section* sec = findSection(section);
  const Key* found = sec != nullptr ? findKey(*sec, key) : nullptr;
  return found != nullptr && found->value ? &*found->value : nullptr;
}

std::string Document::encode(std::string_view utf8) const {
  switch (encoding) {
    case Encoding::Utf16le:
      return text::utf8ToUtf16le(utf8);
    case Encoding::Cp936:
      return text::utf8ToCp936(utf8);
    default:
      return std::string(utf8);
  }
}

// The line break new lines get: the file's first one, or LF in a file that has none.
std::string Document::newLineBreak() const {
  for (const Line& line : lines) {
    if (!line.eol.empty()) {
      return line.eol;
    }
  }
  return encode("\n");
}

std::string Document::serialise() const {
  std::string out;
  if (encoding == Encoding::Utf8Bom) {
    out += kUtf8Bom;
  } else if (encoding == Encoding::Utf16le) {
    out += kUtf16leBom;
  }
  for (const Line& line : lines) {
    out += line.raw;
    out += line.eol;
  }
  out += oddTail;
  return out;
}

// Rebuilds the section and key index from the lines' text. A first walk counts the sections and
// their keys, so that the tables are made once at their size.
void Document::index() {
  sections.clear();
  firstSection.clear();
  const auto isHeader = [](std::string_view t) { return t.front() == '[' && t.rfind(']') != std::string_view::npos; };
  std::vector<std::size_t> keyCounts;
  for (const Line& line : lines) {
    const std::string_view t = trim(line.text());
    if (t.empty() || t.front() == ';') {
      continue;
    }
    if (isHeader(t)) {
      keyCounts.push_back(0);
    } else if (!keyCounts.empty()) {
      ++keyCounts.back();
    }
  }
  sections.reserve(keyCounts.size());
  firstSection.reserve(keyCounts.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view t = trim(lines[i].text());
    if (t.empty() || t.front() == ';') {
      continue;
    }
    if (t.front() == '[') {
      const std::size_t close = t.rfind(']');
      if (close != std::string_view::npos) {
        Section section;
        section.keys.reserve(keyCounts[sections.size()]);
        section.firstKey.reserve(keyCounts[sections.size()]);
        section.name = std::string(trim(t.substr(1, close - 1)));
        section.headerLine = i;
        firstSection.try_emplace(fold(section.name), sections.size());
        sections.push_back(std::move(section));
        continue;
      }
    }
    if (sections.empty()) {
      continue;  // lines before the first section belong to no section
    }
    Section& section = sections.back();
    Key key;
    key.line = i;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
      key.name = std::string(t);
    } else {
      key.name = std::string(trim(t.substr(0, eq)));
      key.value = std::string(trim(t.substr(eq + 1)));
    }
    section.firstKey.try_emplace(fold(key.name), section.keys.size());
    section.keys.push_back(std::move(key));
  }
}

std::shared_ptr<Document> parse(std::string_view bytes) {
  auto doc = std::make_shared<Document>();
  std::size_t unit = 1;
  if (bytes.substr(0, kUtf16leBom.size()) == kUtf16leBom) {
    doc->encoding = Encoding::Utf16le;
    bytes.remove_prefix(kUtf16leBom.size());
    unit = 2;
    if (bytes.size() % 2 != 0) {
      doc->oddTail = std::string(bytes.substr(bytes.size() - 1));
      bytes.remove_suffix(1);
    }
  } else if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    doc->encoding = Encoding::Utf8Bom;
    bytes.remove_prefix(kUtf8Bom.size());
  } else if (!text::isValidUtf8(bytes)) {
    doc->encoding = Encoding::Cp936;
  }

  // A line break is CR LF, LF or CR, in code units of the encoding (CP936 trail bytes are never
  // CR or LF, so splitting its bytes is safe).
  auto unitAt = [&](std::size_t pos) -> int {
    if (pos + unit > bytes.size()) {
      return -1;
    }
    if (unit == 2) {
      return bytes[pos + 1] == 0 ? static_cast<unsigned char>(bytes[pos]) : 0x100;
    }
    return static_cast<unsigned char>(bytes[pos]);
  };
  // As many lines as line feeds, give or take one (CR-only files grow the table once or twice).
  doc->lines.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const int u = unitAt(pos);
    if (u != '\r' && u != '\n') {
      pos += (u < 0) ? bytes.size() - pos : unit;
      continue;
    }
    std::size_t breakLen = unit;
    if (u == '\r' && unitAt(pos + unit) == '\n') {
      breakLen = 2 * unit;
    }
    Line line;
    line.raw = std::string(bytes.substr(start, pos - start));
    line.eol = std::string(bytes.substr(pos, breakLen));
    doc->lines.push_back(std::move(line));
    pos += breakLen;
    start = pos;
  }
  if (start < bytes.size()) {
    Line line;
    line.raw = std::string(bytes.substr(start));
    doc->lines.push_back(std::move(line));
  }
  for (Line& line : doc->lines) {
    line.decoded = decodeLine(doc->encoding, line.raw);
  }
  doc->index();
  return doc;
}

bool validEdit(const Edit& edit) {
  if (trim(edit.section).empty() || breaksStructure(edit.section) || edit.section.find(']') != std::string::npos) {
    return false;
  }
  if (edit.kind == Edit::Kind::RemoveSection) {
    return true;
  }
  if (trim(edit.key).empty() || breaksStructure(edit.key) || edit.key.find('=') != std::string::npos) {
    return false;
  }
  return !breaksStructure(edit.value);
}

// Each edit keeps the index as index() would rebuild it from the edited lines, changing only
// what the edit moves: a write of many keys would otherwise rebuild it once per key.
void apply(Document& doc, const Edit& edit) {
  using Kind = Edit::Kind;
  const std::string sectionName(trim(edit.section));
  const std::string keyName(trim(edit.key));
  Section* section = doc.findSection(sectionName);
  const std::string keyLine = keyName + "=" + edit.value;
  if (edit.kind == Kind::Set && !readsAsKey(keyLine)) {
    // A key the index would read as something else ("[a]", ";x"): done the long way.
    if (section == nullptr) {
      insertLine(doc, doc.lines.size(), makeLine(doc, "[" + sectionName + "]"));
      insertLine(doc, doc.lines.size(), makeLine(doc, keyLine));
    } else if (const Key* found = Document::findKey(*section, keyName)) {
      setText(doc, doc.lines[found->line], found->name + "=" + edit.value);
    } else {
      const std::size_t after = section->keys.empty() ? section->headerLine : section->keys.back().line;
      insertLine(doc, after + 1, makeLine(doc, keyLine));
    }
    doc.index();
    return;
  }
  switch (edit.kind) {
    case Kind::Set: {
      if (section == nullptr) {
        insertLine(doc, doc.lines.size(), makeLine(doc, "[" + sectionName + "]"));
        insertLine(doc, doc.lines.size(), makeLine(doc, keyLine));
        Section added;
        added.name = sectionName;
        added.headerLine = doc.lines.size() - 2;
        added.keys.push_back(Key{keyName, std::string(trim(edit.value)), doc.lines.size() - 1});
        added.firstKey.try_emplace(fold(keyName), 0);
        doc.firstSection.try_emplace(fold(sectionName), doc.sections.size());
        doc.sections.push_back(std::move(added));
        return;
      }
      if (const Key* found = Document::findKey(*section, keyName)) {
        // In place: the structure does not change, so the index needs only the new value.
        Key& key = section->keys[static_cast<std::size_t>(found - section->keys.data())];
        setText(doc, doc.lines[key.line], key.name + "=" + edit.value);
        key.value = std::string(trim(edit.value));
        return;
      }
      const std::size_t at = (section->keys.empty() ? section->headerLine : section->keys.back().line) + 1;
      insertLine(doc, at, makeLine(doc, keyLine));
      shiftLines(doc, at, 1);
      section->keys.push_back(Key{keyName, std::string(trim(edit.value)), at});
      section->firstKey.try_emplace(fold(keyName), section->keys.size() - 1);
      return;
    }
    case Kind::RemoveKey: {
      if (section == nullptr) {
        return;
      }
      if (const Key* key = Document::findKey(*section, keyName)) {
        const std::size_t line = key->line;
        section->keys.erase(section->keys.begin() + (key - section->keys.data()));
        doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(line));
        shiftLines(doc, line, -1);
        reindexKeys(*section);
      }
      return;
    }
    case Kind::RemoveSection: {
      // Every section of the name goes: a file that holds one twice would otherwise show the
      // second, with its old keys, where the section was removed.
      for (; section != nullptr; section = doc.findSection(sectionName)) {
        const std::size_t first = section->headerLine;
        const std::size_t index = static_cast<std::size_t>(section - doc.sections.data());
        const std::size_t end = index + 1 < doc.sections.size() ? doc.sections[index + 1].headerLine : doc.lines.size();
        doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(first),
                        doc.lines.begin() + static_cast<std::ptrdiff_t>(end));
        doc.sections.erase(doc.sections.begin() + static_cast<std::ptrdiff_t>(index));
        shiftLines(doc, first, -static_cast<std::ptrdiff_t>(end - first));
        reindexSections(doc);
      }
      return;
    }
  }
}

}  // namespace quillet::ini::detail
