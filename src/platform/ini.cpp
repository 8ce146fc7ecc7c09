#include "platform/ini.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/file_io.h"
#include "platform/text_codec.h"

namespace quillet::ini {
namespace fs = std::filesystem;

namespace {

enum class Encoding : std::uint8_t { Utf8, Utf8Bom, Utf16le, Cp936 };

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

struct Line {
  std::string raw;   // bytes in the file's encoding, without the line break
  std::string eol;   // the line break's bytes as found (empty on a last line without one)
  std::string text;  // the line as UTF-8
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
// it must.
struct Document {
  Encoding encoding = Encoding::Utf8;
  std::vector<Line> lines;
  // An odd last byte of a UTF-16 file: kept at the very end, so that lines added before it stay
  // aligned on code units.
  std::string oddTail;
  std::vector<Section> sections;
  std::unordered_map<std::string, std::size_t> firstSection;  // folded name -> index

  const Section* findSection(std::string_view name) const {
    const auto it = firstSection.find(fold(trim(name)));
    return it == firstSection.end() ? nullptr : &sections[it->second];
  }
  Section* findSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).findSection(name));
  }
  static const Key* findKey(const Section& section, std::string_view name) {
    const auto it = section.firstKey.find(fold(trim(name)));
    return it == section.firstKey.end() ? nullptr : &section.keys[it->second];
  }

  std::string encode(std::string_view utf8) const {
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
  std::string newLineBreak() const {
    for (const Line& line : lines) {
      if (!line.eol.empty()) {
        return line.eol;
      }
    }
    return encode("\n");
  }

  std::string serialise() const {
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

  // Rebuilds the section and key index from the lines' text.
  void index() {
    sections.clear();
    firstSection.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string_view t = trim(lines[i].text);
      if (t.empty() || t.front() == ';') {
        continue;
      }
      if (t.front() == '[') {
        const std::size_t close = t.rfind(']');
        if (close != std::string_view::npos) {
          Section section;
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
};

std::string decodeLine(Encoding encoding, std::string_view raw) {
  // Plain ASCII reads the same in every byte encoding.
  if (encoding != Encoding::Utf16le &&
      std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(raw);
  }
  switch (encoding) {
    case Encoding::Utf16le:
      return text::utf16leToUtf8(raw);
    case Encoding::Cp936:
      return text::cp936ToUtf8(raw);
    default:
      // A file with a UTF-8 BOM may still hold broken sequences; show them as U+FFFD.
      return text::isValidUtf8(raw) ? std::string(raw) : text::utf16leToUtf8(text::utf8ToUtf16le(raw));
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
    line.text = decodeLine(doc->encoding, line.raw);
  }
  doc->index();
  return doc;
}

// ---- the parse cache --------------------------------------------------------------------
//
// A cached parse is used while the file's stamp (inode, size, times) is unchanged. File times
// are coarse (a few milliseconds on most Linux file systems, two seconds on FAT), so a file
// changed twice within one tick, keeping its size, keeps its stamp: a cached parse is trusted on
// its stamp alone only once its content was confirmed at least kRacyWindowNs after the file's
// last change. Until then each read compares the file's bytes with the cached ones (cheap next
// to parsing them).

constexpr std::int64_t kRacyWindowNs = 2'000'000'000;
constexpr std::size_t kMaxCachedFiles = 64;

struct CacheEntry {
  fileio::FileStamp stamp;
  std::shared_ptr<const std::string> bytes;
  std::shared_ptr<const Document> doc;
  std::int64_t confirmedNs = 0;  // when `bytes` were last seen equal to the file's

  bool trusted() const { return std::max(stamp.modifiedNs, stamp.changedNs) + kRacyWindowNs < confirmedNs; }
};

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::mutex cacheMutex;
std::unordered_map<std::string, CacheEntry> cache;
bool cacheOn = true;

// Serialises the read-modify-write of every write, so that two threads writing the same file
// never lose each other's edit.
std::mutex writeMutex;

std::string cacheKey(const fs::path& file) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(file, ec);
  return (ec ? file : absolute).lexically_normal().string();
}

void remember(const std::string& key, CacheEntry entry) {
  std::lock_guard lock(cacheMutex);
  if (!cacheOn) {
    return;
  }
  if (cache.size() >= kMaxCachedFiles && cache.find(key) == cache.end()) {
    cache.erase(cache.begin());
  }
  cache[key] = std::move(entry);
}

enum class LoadStatus : std::uint8_t { Loaded, Missing, Unreadable };

// The parsed file, from the cache when the file has not changed since it was parsed.
std::shared_ptr<const Document> load(const fs::path& file, LoadStatus* status = nullptr) {
  auto report = [status](LoadStatus s) {
    if (status != nullptr) {
      *status = s;
    }
  };
  const std::string key = cacheKey(file);
  const fileio::FileStamp stamp = fileio::stampOf(file);
  if (!stamp.exists) {
    report(LoadStatus::Missing);
    return nullptr;
  }
  std::optional<CacheEntry> candidate;
  {
    std::lock_guard lock(cacheMutex);
    const auto it = cache.find(key);
    if (cacheOn && it != cache.end() && it->second.stamp == stamp) {
      if (it->second.trusted()) {
        report(LoadStatus::Loaded);
        return it->second.doc;
      }
      candidate = it->second;
    }
  }
  const std::int64_t readNs = nowNs();
  std::optional<std::string> bytes = fileio::readFile(file);
  if (!bytes) {
    report(LoadStatus::Unreadable);
    return nullptr;
  }
  report(LoadStatus::Loaded);
  if (candidate && *candidate->bytes == *bytes) {
    candidate->confirmedNs = readNs;
    std::shared_ptr<const Document> doc = candidate->doc;
    remember(key, std::move(*candidate));
    return doc;
  }
  // The stamp was taken before the read: should the file change in between, the next read
  // sees a newer stamp and parses again.
  std::shared_ptr<const Document> doc = parse(*bytes);
  remember(key, CacheEntry{stamp, std::make_shared<const std::string>(std::move(*bytes)), doc, readNs});
  return doc;
}

bool breaksStructure(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool validEdit(const WriteBatch::Edit& edit) {
  if (trim(edit.section).empty() || breaksStructure(edit.section) ||
      edit.section.find(']') != std::string::npos) {
    return false;
  }
  if (edit.kind == WriteBatch::Edit::Kind::RemoveSection) {
    return true;
  }
  if (trim(edit.key).empty() || breaksStructure(edit.key) || edit.key.find('=') != std::string::npos) {
    return false;
  }
  return !breaksStructure(edit.value);
}

Line makeLine(const Document& doc, std::string text) {
  Line line;
  line.raw = doc.encode(text);
  line.eol = doc.newLineBreak();
  line.text = std::move(text);
  return line;
}

// Inserts `line` before index `at`, giving the line before it a line break if it had none.
void insertLine(Document& doc, std::size_t at, Line line) {
  if (at > 0 && doc.lines[at - 1].eol.empty()) {
    doc.lines[at - 1].eol = doc.newLineBreak();
  }
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void apply(Document& doc, const WriteBatch::Edit& edit) {
  using Kind = WriteBatch::Edit::Kind;
  const std::string sectionName(trim(edit.section));
  const std::string keyName(trim(edit.key));
  Section* section = doc.findSection(sectionName);
  switch (edit.kind) {
    case Kind::Set: {
      if (section == nullptr) {
        insertLine(doc, doc.lines.size(), makeLine(doc, "[" + sectionName + "]"));
        insertLine(doc, doc.lines.size(), makeLine(doc, keyName + "=" + edit.value));
        doc.index();
        return;
      }
      if (const Key* found = Document::findKey(*section, keyName)) {
        // In place: the structure does not change, so the index needs only the new value.
        Key& key = section->keys[static_cast<std::size_t>(found - section->keys.data())];
        Line& line = doc.lines[key.line];
        line.text = key.name + "=" + edit.value;
        line.raw = doc.encode(line.text);
        key.value = std::string(trim(edit.value));
        return;
      }
      const std::size_t after = section->keys.empty() ? section->headerLine : section->keys.back().line;
      insertLine(doc, after + 1, makeLine(doc, keyName + "=" + edit.value));
      doc.index();
      return;
    }
    case Kind::RemoveKey: {
      if (section == nullptr) {
        return;
      }
      if (const Key* key = Document::findKey(*section, keyName)) {
        doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(key->line));
        doc.index();
      }
      return;
    }
    case Kind::RemoveSection: {
      if (section == nullptr) {
        return;
      }
      const std::size_t first = section->headerLine;
      const std::size_t index = static_cast<std::size_t>(section - doc.sections.data());
      const std::size_t end = index + 1 < doc.sections.size() ? doc.sections[index + 1].headerLine : doc.lines.size();
      doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(first),
                      doc.lines.begin() + static_cast<std::ptrdiff_t>(end));
      doc.index();
      return;
    }
  }
}

}  // namespace

std::string readString(const fs::path& file, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferChars) {
  if (bufferChars == 0) {
    return {};
  }
  std::string_view value = defaultValue;
  while (!value.empty() && isBlank(value.back())) {
    value.remove_suffix(1);
  }
  const std::shared_ptr<const Document> doc = load(file);
  const Section* sec = doc ? doc->findSection(section) : nullptr;
  const Key* found = sec ? Document::findKey(*sec, key) : nullptr;
  if (found != nullptr && found->value) {
    value = *found->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
  }
  return std::string(text::truncateUtf16Units(value, bufferChars - 1));
}

bool hasSection(const fs::path& file, std::string_view section) {
  const std::shared_ptr<const Document> doc = load(file);
  return doc && doc->findSection(section) != nullptr;
}

std::vector<std::string> sectionNames(const fs::path& file) {
  std::vector<std::string> names;
  if (const std::shared_ptr<const Document> doc = load(file)) {
    for (const Section& section : doc->sections) {
      if (&doc->sections[doc->firstSection.at(fold(section.name))] == &section) {
        names.push_back(section.name);
      }
    }
  }
  return names;
}

std::int32_t toInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(INT_MAX) + 1) {
      value = static_cast<std::int64_t>(INT_MAX) + 1;  // saturate; clamped below
    }
  }
  if (negative) {
    value = -value;
  }
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

WriteBatch::WriteBatch(fs::path file) : file_(std::move(file)) {}

WriteBatch& WriteBatch::set(std::string_view section, std::string_view key, std::string_view value) {
  edits_.push_back({Edit::Kind::Set, std::string(section), std::string(key), std::string(value)});
  return *this;
}

WriteBatch& WriteBatch::removeKey(std::string_view section, std::string_view key) {
  edits_.push_back({Edit::Kind::RemoveKey, std::string(section), std::string(key), {}});
  return *this;
}

WriteBatch& WriteBatch::removeSection(std::string_view section) {
  edits_.push_back({Edit::Kind::RemoveSection, std::string(section), {}, {}});
  return *this;
}

bool WriteBatch::commit() {
  if (!std::all_of(edits_.begin(), edits_.end(), validEdit)) {
    return false;
  }
  std::lock_guard lock(writeMutex);
  LoadStatus status = LoadStatus::Missing;
  const std::shared_ptr<const Document> current = load(file_, &status);
  if (status == LoadStatus::Unreadable) {
    return false;  // never replace a file whose content could not be read
  }
  const std::string before = current ? current->serialise() : std::string();
  auto doc = current ? std::make_shared<Document>(*current) : std::make_shared<Document>();
  for (const Edit& edit : edits_) {
    apply(*doc, edit);
  }
  const std::string after = doc->serialise();
  if (current && after == before) {
    return true;  // nothing changes: leave the file (and its time stamp) alone
  }
  if (!fileio::writeFileAtomic(file_, after)) {
    return false;
  }
  remember(cacheKey(file_), CacheEntry{fileio::stampOf(file_), std::make_shared<const std::string>(after),
                                       std::move(doc), nowNs()});
  return true;
}

bool writeString(const fs::path& file, std::string_view section, std::string_view key, std::string_view value) {
  return WriteBatch(file).set(section, key, value).commit();
}

bool deleteKey(const fs::path& file, std::string_view section, std::string_view key) {
  return WriteBatch(file).removeKey(section, key).commit();
}

bool deleteSection(const fs::path& file, std::string_view section) {
  return WriteBatch(file).removeSection(section).commit();
}

void setCacheEnabled(bool enabled) {
  std::lock_guard lock(cacheMutex);
  cacheOn = enabled;
  if (!enabled) {
    cache.clear();
  }
}

}  // namespace quillet::ini
