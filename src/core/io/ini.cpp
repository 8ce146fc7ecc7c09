#include "core/io/ini.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "core/io/file_io.h"
#include "core/io/ini_text.h"
#include "core/io/text_codec.h"

namespace quillet::ini {
namespace fs = std::filesystem;

namespace {

using detail::Document;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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
  if (stamp.size > kMaxFileBytes) {
    report(LoadStatus::Unreadable);
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
  std::optional<std::string> bytes = fileio::readFile(file, kMaxFileBytes);
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
  std::shared_ptr<const Document> doc = detail::parse(*bytes);
  remember(key, CacheEntry{stamp, std::make_shared<const std::string>(std::move(*bytes)), doc, readNs});
  return doc;
}

}  // namespace

std::string detail::readString(const Document* doc, std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::size_t bufferChars) {
  if (bufferChars == 0) {
    return {};
  }
  std::string_view value = defaultValue;
  while (!value.empty() && isBlank(value.back())) {
    value.remove_suffix(1);
  }
  if (const std::optional<std::string_view> found = doc != nullptr ? doc->value(section, key) : std::nullopt) {
    value = *found;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
  }
  return std::string(text::truncateUtf16Units(value, bufferChars - 1));
}

std::vector<std::string> detail::sectionNames(const Document& doc) {
  std::vector<std::string> names;
  for (const detail::Section& section : doc.sections) {
    if (doc.findSection(doc.sectionName(section)) == &section) {
      names.emplace_back(doc.sectionName(section));
    }
  }
  return names;
}

std::string readString(const fs::path& file, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferChars) {
  if (bufferChars == 0) {
    return {};  // nothing is read for a read that can return nothing
  }
  const std::shared_ptr<const Document> doc = load(file);
  return detail::readString(doc.get(), section, key, defaultValue, bufferChars);
}

bool isReadable(const fs::path& file) {
  LoadStatus status = LoadStatus::Missing;
  load(file, &status);
  return status == LoadStatus::Loaded;
}

bool isTooLarge(const fs::path& file) {
  const fileio::FileStamp stamp = fileio::stampOf(file);
  return stamp.exists && stamp.size > kMaxFileBytes;
}

std::string tooLargeMessage(const fs::path& file) {
  return "Error! " + file.string() + " is larger than " + std::to_string(kMaxFileBytes / 1024 / 1024) +
         " MB: it is no file of this utility, and it is not read.";
}

bool hasSection(const fs::path& file, std::string_view section) {
  const std::shared_ptr<const Document> doc = load(file);
  return doc && doc->findSection(section) != nullptr;
}

std::vector<std::string> sectionNames(const fs::path& file) {
  const std::shared_ptr<const Document> doc = load(file);
  return doc ? detail::sectionNames(*doc) : std::vector<std::string>{};
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
  if (!std::all_of(edits_.begin(), edits_.end(), detail::validEdit)) {
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
    detail::apply(*doc, edit);
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
