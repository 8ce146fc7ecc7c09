#include "core/macro/macro_file.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/io/text_codec.h"
#include "core/macro/key_translation.h"

namespace quillet {
namespace fs = std::filesystem;
namespace mv = macro_values;

namespace {

constexpr std::uint8_t lowByte(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
constexpr std::uint8_t highByte(std::uint16_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); }

// Values are read and written through plain pointers: the record's 1,815 values are walked at
// every read and write of a macro, and the table's checked element access would cost a call each.
std::uint16_t word(const std::uint8_t* v, std::size_t at) {
  return static_cast<std::uint16_t>(v[at] | (v[at + 1] << 8));
}

void putWord(std::uint8_t* v, std::size_t at, std::uint16_t value) {
  v[at] = lowByte(value);
  v[at + 1] = highByte(value);
}

// "000" .. "255": the three-digit text of every byte value.
struct DigitTable {
  std::array<std::array<char, mv::kDigits>, 256> text{};
};
constexpr DigitTable makeDigitTable() {
  DigitTable t;
  for (int i = 0; i < 256; ++i) {
    t.text[i] = {static_cast<char>('0' + i / 100), static_cast<char>('0' + i / 10 % 10),
                 static_cast<char>('0' + i % 10)};
  }
  return t;
}
constexpr DigitTable kDigitTable = makeDigitTable();

// Per byte: whether it is an ASCII digit, and which.
struct DigitOf {
  std::array<std::uint8_t, 256> isDigit{};
  std::array<std::uint8_t, 256> digit{};
};
constexpr DigitOf makeDigitOf() {
  DigitOf t;
  for (int c = '0'; c <= '9'; ++c) {
    t.isDigit[static_cast<std::size_t>(c)] = 1;
    t.digit[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - '0');
  }
  return t;
}
constexpr DigitOf kDigitOf = makeDigitOf();

// The value of three ASCII bytes as a piece: their leading digits, by table and without a
// branch per digit, cut to the low byte.
inline std::uint8_t pieceOf(const unsigned char* p) {
  const std::uint8_t* isDigit = kDigitOf.isDigit.data();
  const std::uint8_t* digit = kDigitOf.digit.data();
  const unsigned lead0 = isDigit[p[0]];
  const unsigned lead1 = lead0 & isDigit[p[1]];
  const unsigned lead2 = lead1 & isDigit[p[2]];
  unsigned n = lead0 * digit[p[0]];
  n += lead1 * (9 * n + digit[p[1]]);
  n += lead2 * (9 * n + digit[p[2]]);
  return static_cast<std::uint8_t>(n & 0xFF);  // above 255: the low byte
}

// Whether the `n` bytes at `p` are all ASCII, eight at a time.
inline bool allAscii(const unsigned char* p, std::size_t n) {
  std::uint64_t high = 0;
  for (std::size_t i = 0; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    high |= w;
  }
  for (std::size_t i = n - n % 8; i < n; ++i) {
    high |= p[i];
  }
  return (high & 0x8080808080808080ULL) == 0;
}

std::string keyOf(int index) { return std::to_string(index); }

bool isFile(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

}  // namespace

MacroValues encodeMacro(const Macro& m) {
  MacroValues values{};
  std::uint8_t* v = values.data();
  for (int i = 0; i < kMacroNameUnits; ++i) {
    putWord(v, mv::kName + 2 * static_cast<std::size_t>(i), m.name[i]);
  }
  v[mv::kPlayMode] = m.playMode;
  putWord(v, mv::kLoopCount, m.loopCount);
  putWord(v, mv::kEventCount, m.eventCount);
  putWord(v, mv::kMoveCount, m.moveCount);
  putWord(v, mv::kReservedF7Count, m.reservedF7Count);
  putWord(v, mv::kCpiCount, m.cpiCount);
  putWord(v, mv::kReservedFACount, m.reservedFACount);
  v[mv::kLedCount] = m.ledCount;
  v[mv::kReservedFBCount] = m.reservedFBCount;
  const MacroEvent* events = m.events.data();
  for (std::size_t t = 0; t < kMacroMaxSteps; ++t) {
    const MacroEvent& e = events[t];
    const std::size_t at = mv::kSteps + mv::kStepValues * t;
    v[at + mv::kStepType] = e.type;
    v[at + mv::kStepCode] = UsageToVk(e.code);
    putWord(v, at + mv::kStepX, static_cast<std::uint16_t>(e.x));
    putWord(v, at + mv::kStepY, static_cast<std::uint16_t>(e.y));
    putWord(v, at + mv::kStepDelay, e.delay);
  }
  for (std::size_t r = 0; r < kLedRowCount; ++r) {
    std::copy(m.ledRows[r].bytes.begin(), m.ledRows[r].bytes.end(), v + mv::kLedRows + kLedRowBytes * r);
  }
  return values;
}

Macro decodeMacro(const MacroValues& values, int maxSteps) {
  const std::uint8_t* v = values.data();
  Macro m;
  for (int i = 0; i < kMacroNameUnits; ++i) {
    m.name[i] = static_cast<char16_t>(word(v, mv::kName + 2 * static_cast<std::size_t>(i)));
  }
  m.playMode = v[mv::kPlayMode];
  m.loopCount = word(v, mv::kLoopCount);
  m.eventCount = word(v, mv::kEventCount);
  m.moveCount = word(v, mv::kMoveCount);
  m.reservedF7Count = word(v, mv::kReservedF7Count);
  m.cpiCount = word(v, mv::kCpiCount);
  m.reservedFACount = word(v, mv::kReservedFACount);
  m.ledCount = v[mv::kLedCount];
  m.reservedFBCount = v[mv::kReservedFBCount];
  MacroEvent* events = m.events.data();
  for (std::size_t t = 0; t < kMacroMaxSteps; ++t) {
    MacroEvent& e = events[t];
    const std::size_t at = mv::kSteps + mv::kStepValues * t;
    e.type = v[at + mv::kStepType];
    e.code = VkToUsage(v[at + mv::kStepCode]);
    e.x = static_cast<std::int16_t>(word(v, at + mv::kStepX));
    e.y = static_cast<std::int16_t>(word(v, at + mv::kStepY));
    e.delay = word(v, at + mv::kStepDelay);
  }
  for (std::size_t r = 0; r < kLedRowCount; ++r) {
    const std::uint8_t* from = v + mv::kLedRows + kLedRowBytes * r;
    std::copy(from, from + kLedRowBytes, m.ledRows[r].bytes.begin());
  }
  normaliseMacro(m, maxSteps);
  return m;
}

std::string serialiseMacro(const Macro& macro) {
  const MacroValues values = encodeMacro(macro);
  std::string text(mv::kTextChars, '0');
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto& digits = kDigitTable.text[values[i]];
    std::copy(digits.begin(), digits.end(), text.begin() + static_cast<std::ptrdiff_t>(i * mv::kDigits));
  }
  return text;
}

MacroValues parseMacroValues(std::string_view value) {
  // One walk over the value in UTF-16 code units, as the Windows profile functions hand it over:
  // an ASCII byte is one unit; a character beyond ASCII one or two units, none of them a digit,
  // so only how many matters. The walk ends with the last piece.
  MacroValues values{};
  std::uint8_t* out = values.data();
  constexpr std::size_t kUnits = mv::kCount * mv::kDigits;
  std::size_t unit = 0;
  std::size_t pos = 0;
  while (unit < kUnits && pos < value.size()) {
    // Whole pieces of three ASCII bytes, as every value the utility writes holds only these:
    // eight pieces at a time while all their bytes are ASCII, then one at a time.
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
    constexpr std::size_t kRun = 8 * mv::kDigits;
    while (kUnits - unit >= kRun && value.size() - pos >= kRun && allAscii(bytes + pos, kRun)) {
      for (std::size_t k = 0; k < 8; ++k, unit += mv::kDigits, pos += mv::kDigits) {
        out[unit / mv::kDigits] = pieceOf(bytes + pos);
      }
    }
    while (kUnits - unit >= mv::kDigits && value.size() - pos >= mv::kDigits && allAscii(bytes + pos, mv::kDigits)) {
      out[unit / mv::kDigits] = pieceOf(bytes + pos);
      unit += mv::kDigits;
      pos += mv::kDigits;
    }
    // The piece that meets a character beyond ASCII, or the end of the value: unit by unit.
    unsigned number = 0;
    bool leading = true;  // still in the piece's leading digits
    do {
      if (unit >= kUnits || pos >= value.size()) {
        return values;
      }
      const auto byte = static_cast<unsigned char>(value[pos]);
      std::size_t units = 1;
      bool digit = false;
      if (byte < 0x80) {
        digit = kDigitOf.isDigit.data()[byte] != 0;
        ++pos;
      } else {
        units = text::nextUtf16Units(value, pos);
      }
      for (; units > 0 && unit < kUnits; --units, ++unit) {
        if (unit % mv::kDigits == 0) {
          number = 0;
          leading = true;
        }
        if (leading && digit) {
          number = number * 10 + kDigitOf.digit.data()[byte];
          out[unit / mv::kDigits] = static_cast<std::uint8_t>(number & 0xFF);
        } else {
          leading = false;
        }
      }
    } while (unit % mv::kDigits != 0);
  }
  return values;
}

Macro parseMacroValue(std::string_view value, int maxSteps) { return decodeMacro(parseMacroValues(value), maxSteps); }

int readMacroNum(const fs::path& file) {
  return ini::toInt(ini::readString(file, kMacrosSection, kMacroNumKey, "", kMacroNumBuffer));
}

namespace {

// How one kind of macro file is read into its table.
struct TableRead {
  int capacity;              // macros the table holds: a larger macroNum loads this many
  std::size_t valueBuffer;   // characters a value is read with
  int maxSteps;              // steps a record keeps
};

// Reads macroNum (cut to the table) and keys 0..count-1 into `slots`; the count, or -1 with
// the message when the file is missing.
int readMacroTable(const fs::path& file, const TableRead& how, Macro* slots, MessageService& messages) {
  if (!isFile(file)) {
    messages.show(kMsgMacroFileMissing);
    return -1;
  }
  if (ini::isTooLarge(file)) {
    messages.show(ini::tooLargeMessage(file));
    return -1;
  }
  const int count = std::clamp(readMacroNum(file), 0, how.capacity);
  for (int k = 0; k < count; ++k) {
    slots[k] = parseMacroValue(ini::readString(file, kMacrosSection, keyOf(k), "", how.valueBuffer), how.maxSteps);
  }
  return count;
}

}  // namespace

bool readGroupFile(const fs::path& file, OpenGroup& group, MessageService& messages) {
  const int count =
      readMacroTable(file, {kGroupMaxMacros, kGroupValueBuffer, kMacroMaxSteps}, group.slots.data(), messages);
  group.count = static_cast<std::int16_t>(std::max(count, 0));
  return count >= 0;
}

bool readBuiltinMacros(const fs::path& file, BuiltinMacros& builtins, MessageService& messages) {
  // The short read cuts step 56 in the middle: the first 56 whole steps are kept.
  const int count = readMacroTable(file, {kBuiltinMacroSlots, kBuiltinValueBuffer, kBuiltinMacroMaxSteps},
                                   builtins.macros.data(), messages);
  builtins.count = std::max(count, 0);
  return count >= 0;
}

bool writeMacro(const fs::path& file, const OpenGroup& group, int index) {
  if (index < 0 || index >= kOpenGroupSlots) {
    return false;
  }
  return ini::WriteBatch(file)
      .set(kMacrosSection, kMacroNumKey, std::to_string(group.count))
      .set(kMacrosSection, keyOf(index), serialiseMacro(group.slots[index]))
      .commit();
}

bool writeAllMacros(const fs::path& file, const OpenGroup& group) {
  ini::WriteBatch batch(file);
  batch.removeSection(kMacrosSection).set(kMacrosSection, kMacroNumKey, std::to_string(group.count));
  const int count = std::clamp<int>(group.count, 0, kGroupMaxMacros);
  for (int k = 0; k < count; ++k) {
    batch.set(kMacrosSection, keyOf(k), serialiseMacro(group.slots[k]));
  }
  return batch.commit();
}

}  // namespace quillet
