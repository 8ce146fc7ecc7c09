#pragma once
// One value of a skin layout file and how it is cut into fields.
//
// A skin value is a comma syntax written by skin authors, for example
//   6=tab:main,300,12,120,40,Main,
// Field 0 is free text for the author (the shipped skins put the region's kind there, which the
// picture generator reads), fields 1..4 are x, y, width and height, field 5 is the label.
// Every field that carries something is ended by a comma; a field that finds no comma is empty
// and the cut starts again at the beginning of the value, so the fields after it repeat the
// value's first fields. That is why "b1,10,20,60,24" has an empty height and the label "b1", and
// why authors end every value with a comma.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/io/messages.h"

namespace quillet {

// The fixed texts of skin loading.
constexpr std::string_view kSkinFileMissingText = "找不到配置文件";
constexpr std::string_view kSkinValueMalformedText = "加载ini错误！";

// A value holds at most this many commas; more is reported as malformed (and still cut).
constexpr int kSkinValueMaxCommas = 6;

// A read of a skin value is cut to the private-profile buffer of this many characters (so at most
// 259 characters survive).
constexpr std::size_t kSkinValueBufferChars = 260;

struct SkinValue {
  std::array<std::string, 7> fields{};  // 0..5 cut at commas; 6 the rest after field 5's comma
  int commas = 0;                       // commas in the whole value
};

// Cuts `value` into its seven fields. Pure; never fails.
SkinValue splitSkinValue(std::string_view value);

// The number field rule of layout values: leading blanks and a sign allowed, reading stops at the
// first character that is not a digit, no digits give 0.
std::int32_t skinNumber(std::string_view field);

// Where reading skin values reports what it finds wrong. Make one per load (or per form that
// reads its layout): a missing layout file shows kSkinFileMissingText and calls onMissingFile only
// once per report, however many of its keys are read; a value with more than six commas shows
// kSkinValueMalformedText once for that value.
//
// onMissingFile is what the owner of the skin must do when its layout is gone: the main window
// removes its tray icon, sends HostExit to the mouse when the mouse is open, and asks itself to
// close with result 0 once control returns to the event loop (a queued close, never a close from
// inside the load). It runs during the load; loading then goes on with empty values.
struct SkinReadReport {
  SkinReadReport(MessageService& messages, std::function<void()> onMissingFile = {})
      : messages(messages), onMissingFile(std::move(onMissingFile)) {}

  MessageService& messages;
  std::function<void()> onMissingFile;
  bool missingFile = false;  // set once a missing layout file was seen
  int malformedValues = 0;   // values with more than six commas seen
};

// Cuts a value as read from a layout file and reports it through `report` when it holds more than
// six commas.
SkinValue cutReadSkinValue(std::string_view value, SkinReadReport& report);

// Reads key `index` (decimal, no leading zeros) of `section` from the layout file `file` and cuts
// it into fields. A missing or unreadable file is reported through `report` and reads as empty;
// an absent or empty key reads as empty without a message.
SkinValue readSkinValue(const std::filesystem::path& file, std::string_view section, int index,
                        SkinReadReport& report);

}  // namespace quillet
