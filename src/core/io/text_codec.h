#pragma once
// Text encodings met in files that Quillet reads: UTF-8 (this platform's encoding, and the
// encoding of every string inside the program), UTF-16LE (files written by Windows programs as
// "Unicode") and CP936 (Simplified Chinese files written by Windows programs as "ANSI").
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::text {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// UTF-16LE bytes (without BOM) to UTF-8. Unpaired surrogates and an odd trailing byte become U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);

// UTF-8 to UTF-16LE bytes (without BOM). Invalid UTF-8 sequences become U+FFFD.
std::string utf8ToUtf16le(std::string_view utf8);

// CP936 bytes to UTF-8 through iconv. Bytes that CP936 cannot decode become U+FFFD.
std::string cp936ToUtf8(std::string_view bytes);

// UTF-8 to CP936 through iconv. Characters CP936 cannot hold become '?', as Windows does
// when it writes "ANSI" text.
std::string utf8ToCp936(std::string_view utf8);

// The text of a whole file as UTF-8, read by the rule of the INI files: UTF-16LE when it starts
// with its BOM, UTF-8 (a BOM dropped) when it is valid UTF-8, otherwise CP936, the "ANSI" of
// the Windows programs that write such files.
std::string decodeFileText(std::string_view bytes);

// Number of UTF-16 code units that `utf8` takes: the unit in which Windows counts the
// characters of a wide-character buffer.
std::size_t utf16Length(std::string_view utf8);

// The UTF-16 code units of the character of `utf8` at `pos` (1 or 2; a broken byte counts as one
// replacement character), with `pos` moved past it. `pos` must be inside `utf8`.
std::size_t nextUtf16Units(std::string_view utf8, std::size_t& pos);

// The longest prefix of `utf8` that fits in `maxUnits` UTF-16 code units, never splitting
// a character.
std::string_view truncateUtf16Units(std::string_view utf8, std::size_t maxUnits);

// `s` without the spaces and tabs at either end: how INI names and values, list lines and
// typed names are read.
std::string_view trimBlanks(std::string_view s);

}  // namespace quillet::text
