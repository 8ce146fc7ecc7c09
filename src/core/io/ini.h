#pragma once
// INI files with the semantics of the Windows private-profile functions, which is what every
// settings, macro and skin file of Quillet is written in:
//
// - section and key names are compared without regard to (ASCII) case, and are trimmed of
//   blanks and tabs; so are values; a value in matching single or double quotes is returned
//   without them; there are no inline comments; a line whose first non-blank character is ';'
//   is a comment; a line without '=' is a key without a value (it reads as the default);
//   lines before the first section belong to no section;
// - the first section of a name wins (a later section of the same name is never searched),
//   and within it the first key of a name;
// - a missing file, section or key gives the default;
// - a write creates the file and the section when missing (new sections at the end of the file,
//   new keys after the last key of their section), replaces a value in place keeping the key's
//   spelling, and keeps every other line of the file byte for byte;
// - files may use CR LF, LF or CR line breaks and may be UTF-8 (with or without BOM), UTF-16LE
//   with BOM (written back as UTF-16LE), or, when not valid UTF-8, CP936. Strings passed in and
//   returned are UTF-8.
//
// Beyond Windows, and invisible to callers: parsed files are cached and parsed again only when
// the file changes on disk, and every write replaces the file atomically, so a crash or a full
// disk never leaves half a file and a failed write leaves the old file as it was.
// All functions may be called from any thread.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::ini {

// The value of `key` in `section`, as a read into a buffer of `bufferChars` characters returns
// it: at most bufferChars - 1 characters (UTF-16 code units, as Windows counts them; a character
// is never split). A missing file, section, key or value gives `defaultValue` (trailing blanks
// removed), cut the same way. Never fails.
std::string readString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferChars);

// The largest INI file read. Every settings, macro, skin and survey file is far smaller (a full
// group of 12 macros of 180 steps is about 66 KB); a larger file is none of them, and parsing it
// would only cost memory. It reads as an unreadable file: defaults, and never written over.
constexpr std::uintmax_t kMaxFileBytes = 1024 * 1024;

// True when the file is there and could be read (a missing file, a folder, a file that may not
// be read or is too large to be read is not).
bool isReadable(const std::filesystem::path& file);

// True when the file is there but larger than kMaxFileBytes; tooLargeMessage says so to the user.
bool isTooLarge(const std::filesystem::path& file);
std::string tooLargeMessage(const std::filesystem::path& file);

// True when the file has a section of that name.
bool hasSection(const std::filesystem::path& file, std::string_view section);

// The names of the sections of the file, in file order, each name once (first spelling).
std::vector<std::string> sectionNames(const std::filesystem::path& file);

// The text-to-number conversion of the C library's atoi family: leading white space is skipped,
// an optional sign and the leading decimal digits count, anything else ends the number; no
// digits give 0; values beyond the int range are clamped to it.
std::int32_t toInt(std::string_view text);

// One change of an INI file.
struct Edit {
  enum class Kind : std::uint8_t { Set, RemoveKey, RemoveSection };
  Kind kind;
  std::string section;
  std::string key;
  std::string value;
};

// A set of edits of one file written together, as one atomic replacement of the file.
// Edits apply in the order given. commit() returns false and leaves the file untouched when the
// file exists but cannot be read, when a name or value would break the file's structure (a line
// break or NUL anywhere, '=' in a key, ']' in a section name, an empty name), or when the
// replacement cannot be written.
class WriteBatch {
 public:
  explicit WriteBatch(std::filesystem::path file);

  WriteBatch& set(std::string_view section, std::string_view key, std::string_view value);
  WriteBatch& removeKey(std::string_view section, std::string_view key);
  WriteBatch& removeSection(std::string_view section);

  [[nodiscard]] bool commit();

  using Edit = ini::Edit;

 private:
  std::filesystem::path file_;
  std::vector<Edit> edits_;
};

// One-edit conveniences, as WritePrivateProfileString with a value, with a null value and with
// a null key.
[[nodiscard]] bool writeString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                 std::string_view value);
[[nodiscard]] bool deleteKey(const std::filesystem::path& file, std::string_view section, std::string_view key);
[[nodiscard]] bool deleteSection(const std::filesystem::path& file, std::string_view section);

// The parse cache is on by default. Switching it off makes every read parse the file anew
// (benchmarks compare the two); switching it off also empties it.
void setCacheEnabled(bool enabled);

}  // namespace quillet::ini
