#include "macro/macro_file.h"

#include <algorithm>
#include <system_error>

#include "macro/key_translation.h"
#include "platform/ini.h"
#include "platform/messages.h"
#include "platform/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;
namespace mv = macro_values;

namespace {

constexpr std::uint8_t lowByte(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
constexpr std::uint8_t highByte(std::uint16_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); }

std::uint16_t word(const MacroValues& v, std::size_t at) {
  return static_cast<std::uint16_t>(v[at] | (v[at + 1] << 8));
}

void putWord(MacroValues& v, std::size_t at, std::uint16_t value) {
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

// Cuts `unitCount` code units, given one by one by `digitAt` (0..9 for an ASCII digit, -1 for
// anything else), into three-unit pieces.
template <typename DigitAt>
MacroValues cutPieces(std::size_t unitCount, DigitAt digitAt) {
  MacroValues values{};
  const std::size_t pieces = std::min(mv::kCount, (unitCount + mv::kDigits - 1) / mv::kDigits);
  for (std::size_t p = 0; p < pieces; ++p) {
    const std::size_t start = p * mv::kDigits;
    const std::size_t end = std::min(start + mv::kDigits, unitCount);
    int number = 0;
    for (std::size_t i = start; i < end; ++i) {
      const int d = digitAt(i);
      if (d < 0) {
        break;  // leading digits only
      }
      number = number * 10 + d;
    }
    values[p] = static_cast<std::uint8_t>(number & 0xFF);  // above 255: the low byte
  }
  return values;
}

int asciiDigit(unsigned unit) { return unit >= '0' && unit <= '9' ? static_cast<int>(unit - '0') : -1; }

std::string keyOf(int index) { return std::to_string(index); }

bool isFile(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

}  // namespace

MacroValues encodeMacro(const Macro& m) {
  MacroValues v{};
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
  for (std::size_t t = 0; t < kMacroMaxSteps; ++t) {
    const MacroEvent& e = m.events[t];
    const std::size_t at = mv::kSteps + mv::kStepValues * t;
    v[at + mv::kStepType] = e.type;
    v[at + mv::kStepCode] = UsageToVk(e.code);
    putWord(v, at + mv::kStepX, static_cast<std::uint16_t>(e.x));
    putWord(v, at + mv::kStepY, static_cast<std::uint16_t>(e.y));
    putWord(v, at + mv::kStepDelay, e.delay);
  }
  for (std::size_t r = 0; r < kLedRowCount; ++r) {
    std::copy(m.ledRows[r].bytes.begin(), m.ledRows[r].bytes.end(), v.begin() + mv::kLedRows + kLedRowBytes * r);
  }
  return v;
}

Macro decodeMacro(const MacroValues& v, int maxSteps) {
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
  for (std::size_t t = 0; t < kMacroMaxSteps; ++t) {
    MacroEvent& e = m.events[t];
    const std::size_t at = mv::kSteps + mv::kStepValues * t;
    e.type = v[at + mv::kStepType];
    e.code = VkToUsage(v[at + mv::kStepCode]);
    e.x = static_cast<std::int16_t>(word(v, at + mv::kStepX));
    e.y = static_cast<std::int16_t>(word(v, at + mv::kStepY));
    e.delay = word(v, at + mv::kStepDelay);
  }
  for (std::size_t r = 0; r < kLedRowCount; ++r) {
    const auto from = v.begin() + static_cast<std::ptrdiff_t>(mv::kLedRows + kLedRowBytes * r);
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
  const bool ascii = std::all_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    return cutPieces(value.size(), [value](std::size_t i) { return asciiDigit(static_cast<unsigned char>(value[i])); });
  }
  // Count in UTF-16 code units, as the Windows profile functions hand the value over. No code
  // unit of a non-ASCII character is an ASCII digit, so only the positions matter.
  const std::string units = text::utf8ToUtf16le(value);
  return cutPieces(units.size() / 2, [&units](std::size_t i) {
    return asciiDigit(static_cast<unsigned char>(units[2 * i]) | (static_cast<unsigned char>(units[2 * i + 1]) << 8));
  });
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
