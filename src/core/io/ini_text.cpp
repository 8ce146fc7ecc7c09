#include "core/io/ini_text.h"

#include <algorithm>
#include <utility>

#include "core/io/text_codec.h"

namespace quillet::ini::detail {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16leBom = "\xFF\xFE";

std::string_view trim(std::string_view s) { return text::trimBlanks(s); }

// Compares two names as the private-profile functions do: ASCII letters without regard to case.
int compareFolded(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') {
      x = static_cast<char>(x - 'A' + 'a');
    }
    if (y >= 'A' && y <= 'Z') {
      y = static_cast<char>(y - 'A' + 'a');
    }
    if (x != y) {
      return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
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

void setDecoded(Document& doc, Line& line, std::optional<std::string> decoded) {
  if (!decoded) {
    line.decoded = Line::kNoText;
    return;
  }
  line.decoded = static_cast<std::uint32_t>(doc.texts.size());
  doc.texts.push_back(std::move(*decoded));
}

// Gives `line` the text `utf8`, in the file's encoding, keeping its line break.
void setText(Document& doc, Line& line, std::string utf8) {
  const std::string encoded = doc.encode(utf8);
  const std::string lineBreak(doc.eol(line));
  doc.place(line, encoded, lineBreak);
  setDecoded(doc, line, encoded == utf8 ? std::nullopt : std::optional<std::string>(std::move(utf8)));
}

bool breaksStructure(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

Line makeLine(Document& doc, std::string text) {
  Line line;
  const std::string encoded = doc.encode(text);
  doc.place(line, encoded, doc.newLineBreak());
  setDecoded(doc, line, encoded == text ? std::nullopt : std::optional<std::string>(std::move(text)));
  return line;
}

// Inserts `line` before index `at`, giving the line before it a line break if it had none.
void insertLine(Document& doc, std::size_t at, Line line) {
  if (at > 0 && doc.lines[at - 1].eolSize == 0) {
    Line& before = doc.lines[at - 1];
    const std::string raw(doc.raw(before));
    doc.place(before, raw, doc.newLineBreak());
  }
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

// Moves the index of every line from `from` on by `by` lines (a line was inserted or removed).
void shiftLines(Document& doc, std::size_t from, std::ptrdiff_t by) {
  auto shift = [&](std::uint32_t& line) {
    if (line >= from) {
      line = static_cast<std::uint32_t>(static_cast<std::ptrdiff_t>(line) + by);
    }
  };
  for (Section& section : doc.sections) {
    shift(section.headerLine);
    for (Key& key : section.keys) {
      shift(key.line);
    }
  }
}

bool isHeaderText(std::string_view t) { return !t.empty() && t.front() == '[' && t.rfind(']') != std::string_view::npos; }

// The name of a section header's trimmed text.
std::string_view headerName(std::string_view t) { return trim(t.substr(1, t.rfind(']') - 1)); }

// The name and value of a key line's trimmed text.
std::string_view keyNameOf(std::string_view t) {
  const std::size_t eq = t.find('=');
  return eq == std::string_view::npos ? t : trim(t.substr(0, eq));
}
std::optional<std::string_view> keyValueOf(std::string_view t) {
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) {
    return std::nullopt;
  }
  return trim(t.substr(eq + 1));
}

// Whether a line of this text is read as a plain key (not a section header or a comment), as
// index() reads it.
bool readsAsKey(std::string_view text) {
  const std::string_view t = trim(text);
  return !t.empty() && t.front() != ';' && !isHeaderText(t);
}

// Whether a line of this text is never read: blank or a comment.
bool neverRead(std::string_view text) {
  const std::string_view t = trim(text);
  return t.empty() || t.front() == ';';
}

// The first position in `order` (indices of named things) whose name is not below `name`;
// with `after`, the first whose name is above it.
template <typename NameOf>
std::vector<std::uint32_t>::const_iterator placeOf(const std::vector<std::uint32_t>& order, std::string_view name,
                                                   bool after, NameOf nameOf) {
  if (after) {
    return std::upper_bound(order.begin(), order.end(), name, [&](std::string_view n, std::uint32_t i) {
      return compareFolded(n, nameOf(i)) < 0;
    });
  }
  return std::lower_bound(order.begin(), order.end(), name,
                          [&](std::uint32_t i, std::string_view n) { return compareFolded(nameOf(i), n) < 0; });
}

}  // namespace

void Document::place(Line& line, std::string_view raw, std::string_view lineBreak) {
  line.at = static_cast<std::uint32_t>(bytes.size());
  line.size = static_cast<std::uint32_t>(raw.size());
  line.eolSize = static_cast<std::uint8_t>(lineBreak.size());
  bytes += raw;
  bytes += lineBreak;
}

std::string_view Document::sectionName(const Section& section) const {
  return headerName(trim(text(lines[section.headerLine])));
}

std::string_view Document::keyName(const Key& key) const { return keyNameOf(trim(text(lines[key.line]))); }

std::optional<std::string_view> Document::keyValue(const Key& key) const {
  return keyValueOf(trim(text(lines[key.line])));
}

const Section* Document::findSection(std::string_view name) const {
  const std::string_view wanted = trim(name);
  auto nameOf = [this](std::uint32_t i) { return sectionName(sections[i]); };
  const auto it = placeOf(sectionsByName, wanted, false, nameOf);
  if (it == sectionsByName.end() || compareFolded(nameOf(*it), wanted) != 0) {
    return nullptr;
  }
  return &sections[*it];
}

Section* Document::findSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const Key* Document::findKey(const Section& section, std::string_view name) const {
  const std::string_view wanted = trim(name);
  auto nameOf = [&](std::uint32_t i) { return keyName(section.keys[i]); };
  const auto it = placeOf(section.byName, wanted, false, nameOf);
  if (it == section.byName.end() || compareFolded(nameOf(*it), wanted) != 0) {
    return nullptr;
  }
  return &section.keys[*it];
}

std::optional<std::string_view> Document::value(std::string_view section, std::string_view key) const {
  const Section* sec = findSection(section);
  const Key* found = sec != nullptr ? findKey(*sec, key) : nullptr;
  return found != nullptr ? keyValue(*found) : std::nullopt;
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
  if (!firstBreak.empty()) {
    return firstBreak;
  }
  for (const Line& line : lines) {
    if (line.eolSize != 0) {
      return std::string(eol(line));
    }
  }
  return encode("\n");
}

std::string Document::serialise() const {
  std::string out;
  std::size_t size = oddTail.size() + 3;
  for (const Line& line : lines) {
    size += line.size + line.eolSize;
  }
  out.reserve(size);
  if (encoding == Encoding::Utf8Bom) {
    out += kUtf8Bom;
  } else if (encoding == Encoding::Utf16le) {
    out += kUtf16leBom;
  }
  for (const Line& line : lines) {
    out += raw(line);
    out += eol(line);
  }
  out += oddTail;
  return out;
}

void Document::orderSections() {
  sectionsByName.resize(sections.size());
  for (std::uint32_t i = 0; i < sectionsByName.size(); ++i) {
    sectionsByName[i] = i;
  }
  std::stable_sort(sectionsByName.begin(), sectionsByName.end(), [this](std::uint32_t a, std::uint32_t b) {
    return compareFolded(sectionName(sections[a]), sectionName(sections[b])) < 0;
  });
}

void Document::orderKeys(Section& section) const {
  section.byName.resize(section.keys.size());
  for (std::uint32_t i = 0; i < section.byName.size(); ++i) {
    section.byName[i] = i;
  }
  std::stable_sort(section.byName.begin(), section.byName.end(), [&](std::uint32_t a, std::uint32_t b) {
    return compareFolded(keyName(section.keys[a]), keyName(section.keys[b])) < 0;
  });
}

// Rebuilds the section and key index from the lines' text. A first walk counts the sections and
// their keys, so that the tables are made once at their size.
void Document::index() {
  sections.clear();
  std::vector<std::size_t> keyCounts;
  for (const Line& line : lines) {
    if (line.filler || neverRead(text(line))) {
      continue;
    }
    if (isHeaderText(trim(text(line)))) {
      keyCounts.push_back(0);
    } else if (!keyCounts.empty()) {
      ++keyCounts.back();
    }
  }
  sections.reserve(keyCounts.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].filler || neverRead(text(lines[i]))) {
      continue;
    }
    if (isHeaderText(trim(text(lines[i])))) {
      Section section;
      section.keys.reserve(keyCounts[sections.size()]);
      section.headerLine = static_cast<std::uint32_t>(i);
      sections.push_back(std::move(section));
      continue;
    }
    if (sections.empty()) {
      continue;  // lines before the first section belong to no section
    }
    sections.back().keys.push_back(Key{static_cast<std::uint32_t>(i)});
  }
  for (Section& section : sections) {
    orderKeys(section);
  }
  orderSections();
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
  doc->bytes = std::string(bytes);  // the lines are places in these

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
  // Each line is read as it is cut: a section header or a key is a line of its own, and every
  // run of other lines (and of the lines before the first section) is one filler entry whose
  // bytes hold the line breaks between them.
  bool inSection = false;
  std::size_t fillerStart = std::string_view::npos;  // where the filler run under way began
  std::size_t fillerEnd = 0;                          // its end, before its last line break
  std::string_view fillerBreak;
  auto endFiller = [&] {
    if (fillerStart == std::string_view::npos) {
      return;
    }
    Line line;
    line.at = static_cast<std::uint32_t>(fillerStart);
    line.size = static_cast<std::uint32_t>(fillerEnd - fillerStart);
    line.eolSize = static_cast<std::uint8_t>(fillerBreak.size());
    line.filler = true;
    doc->lines.push_back(line);
    fillerStart = std::string_view::npos;
  };
  auto addLine = [&](std::size_t start, std::size_t end, std::string_view lineBreak) {
    if (doc->firstBreak.empty() && !lineBreak.empty()) {
      doc->firstBreak = std::string(lineBreak);
    }
    const std::string_view raw = bytes.substr(start, end - start);
    std::optional<std::string> decoded = decodeLine(doc->encoding, raw);
    const std::string_view text = decoded ? std::string_view(*decoded) : raw;
    const bool header = !neverRead(text) && isHeaderText(trim(text));
    inSection = inSection || header;
    if (!header && (!inSection || neverRead(text))) {
      if (fillerStart == std::string_view::npos) {
        fillerStart = start;
      }
      fillerEnd = end;
      fillerBreak = lineBreak;
      return;
    }
    endFiller();
    Line line;
    line.at = static_cast<std::uint32_t>(start);
    line.size = static_cast<std::uint32_t>(end - start);
    line.eolSize = static_cast<std::uint8_t>(lineBreak.size());
    setDecoded(*doc, line, std::move(decoded));
    doc->lines.push_back(line);
  };
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
    addLine(start, pos, bytes.substr(pos, breakLen));
    pos += breakLen;
    start = pos;
  }
  if (start < bytes.size()) {
    addLine(start, bytes.size(), {});
  }
  endFiller();
  doc->lines.shrink_to_fit();
  doc->texts.shrink_to_fit();
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
    } else if (const Key* found = doc.findKey(*section, keyName)) {
      const std::string spelled(doc.keyName(*found));
      setText(doc, doc.lines[found->line], spelled + "=" + edit.value);
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
        added.headerLine = static_cast<std::uint32_t>(doc.lines.size() - 2);
        added.keys.push_back(Key{static_cast<std::uint32_t>(doc.lines.size() - 1)});
        added.byName.push_back(0);
        const auto at = placeOf(doc.sectionsByName, sectionName, true,
                                [&doc](std::uint32_t i) { return doc.sectionName(doc.sections[i]); });
        doc.sectionsByName.insert(at, static_cast<std::uint32_t>(doc.sections.size()));
        doc.sections.push_back(std::move(added));
        return;
      }
      if (const Key* found = doc.findKey(*section, keyName)) {
        // In place, keeping the key's spelling: the structure and the name order do not change.
        const std::string spelled(doc.keyName(*found));
        setText(doc, doc.lines[found->line], spelled + "=" + edit.value);
        return;
      }
      const std::size_t at = (section->keys.empty() ? section->headerLine : section->keys.back().line) + 1;
      insertLine(doc, at, makeLine(doc, keyLine));
      shiftLines(doc, at, 1);
      section->keys.push_back(Key{static_cast<std::uint32_t>(at)});
      const auto place = placeOf(section->byName, keyName, true,
                                 [&](std::uint32_t i) { return doc.keyName(section->keys[i]); });
      section->byName.insert(place, static_cast<std::uint32_t>(section->keys.size() - 1));
      return;
    }
    case Kind::RemoveKey: {
      if (section == nullptr) {
        return;
      }
      if (const Key* key = doc.findKey(*section, keyName)) {
        const std::size_t line = key->line;
        section->keys.erase(section->keys.begin() + (key - section->keys.data()));
        doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(line));
        shiftLines(doc, line, -1);
        doc.orderKeys(*section);
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
        doc.orderSections();
      }
      return;
    }
  }
}

}  // namespace quillet::ini::detail
