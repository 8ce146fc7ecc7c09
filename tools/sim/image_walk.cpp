#include "image_walk.h"

#include <cstdio>

#include "core/io/hex_text.h"
#include "core/macro/macro_record.h"

namespace quillet::sim {
namespace {

constexpr std::uint8_t kPressBit = 0x80;
constexpr std::uint8_t kTimeMask = 0x7F;
constexpr int kMsPerTimeUnit = 10;

// The bytes of one entry by its code.
std::size_t entryBytes(std::uint8_t c) {
  switch (c) {
    case step_code::kMove:
      return 6;
    case step_code::kCpi:
    case step_code::kLed:
      return 4;
    default:
      return 2;
  }
}

std::int16_t s16(std::span<const std::uint8_t> m, std::size_t at) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(m[at] | (m[at + 1] << 8)));
}

// Reads the LED data block of an LED step; false with `error` set when it is not inside the memory.
bool readLedBlock(std::span<const std::uint8_t> m, ImageStep& step, std::string& error) {
  const std::size_t at = step.ledAddress;
  const auto header = static_cast<std::size_t>(kLedRowHeaderBytes);
  const auto perEntry = static_cast<std::size_t>(kLedEntryBytes);
  if (at + header > m.size()) {
    error = "led data at " + hexDigits(step.ledAddress, 4) + " past the memory";
    return false;
  }
  const int entries = m[at] + 1;
  if (entries > kLedRowMaxEntries) {
    error = "led data at " + hexDigits(step.ledAddress, 4) + " claims " + std::to_string(entries) + " entries";
    return false;
  }
  if (at + header + perEntry * static_cast<std::size_t>(entries) > m.size()) {
    error = "led data at " + hexDigits(step.ledAddress, 4) + " past the memory";
    return false;
  }
  for (int e = 0; e < entries; ++e) {
    const std::size_t p = at + header + perEntry * static_cast<std::size_t>(e);
    step.ledEntries.push_back({m[p], m[p + 1], m[p + 2]});
  }
  return true;
}

}  // namespace

std::string ImageStep::text() const {
  const char* press = down ? " down" : " up";
  switch (kind) {
    case Kind::kKey:
      return "key " + hexDigits(code, 2) + press;
    case Kind::kButton: {
      const char* name = code == step_code::kMouseLeft ? "left" : code == step_code::kMouseMiddle ? "middle" : "right";
      return std::string("button ") + name + press;
    }
    case Kind::kReserved:
      return "reserved " + hexDigits(code, 2) + press;
    case Kind::kPause:
      return "wait " + std::to_string(waitMs);
    case Kind::kMove:
      return "move " + std::to_string(x) + " " + std::to_string(y);
    case Kind::kCpiSet:
      return "cpi " + std::to_string(code);
    case Kind::kCpiReset:
      return "cpi reset";
    case Kind::kLed: {
      std::string out = "led L" + std::to_string(led) + " at " + hexDigits(ledAddress, 4) + ":";
      const char* separator = " ";
      for (const LedEntry& e : ledEntries) {
        char entry[64];
        std::snprintf(entry, sizeof entry, "%smode %u colour %u time %u.%us", separator, e.mode, e.colour,
                      e.tenths / 10u, e.tenths % 10u);
        out += entry;
        separator = ", ";
      }
      return out;
    }
  }
  return "";
}

std::vector<std::string> stepLines(const ImageStep& step) {
  std::vector<std::string> lines;
  if (step.kind != ImageStep::Kind::kPause) {
    lines.push_back(step.text());
  }
  if (step.waitMs > 0) {
    lines.push_back("wait " + std::to_string(step.waitMs));
  }
  return lines;
}

ImageWalk walkImage(std::span<const std::uint8_t> m, std::uint32_t address, int maxSteps) {
  ImageWalk walk;
  if (std::size_t{address} + 2 > m.size()) {
    walk.error = "image at " + hexDigits(address & 0xFFFF, 4) + " past the memory";
    return walk;
  }
  walk.loops = static_cast<std::uint16_t>(m[address] | (m[address + 1] << 8));
  std::size_t at = std::size_t{address} + 2;
  for (int n = 0; n < maxSteps; ++n) {
    if (at + 2 > m.size()) {
      walk.error = "step at " + hexDigits(static_cast<std::uint32_t>(at) & 0xFFFF, 4) + " past the memory";
      return walk;
    }
    const std::uint8_t t = m[at];
    const std::uint8_t c = m[at + 1];
    if (t == 0 && c == step_code::kPause) {
      return walk;  // the padding after the last step
    }
    if (at + entryBytes(c) > m.size()) {
      walk.error = "step at " + hexDigits(static_cast<std::uint32_t>(at) & 0xFFFF, 4) + " past the memory";
      return walk;
    }
    ImageStep step;
    step.waitMs = static_cast<std::uint16_t>((t & kTimeMask) * kMsPerTimeUnit);
    step.down = (t & kPressBit) != 0;
    step.code = c;
    switch (c) {
      case step_code::kPause:
        step.kind = ImageStep::Kind::kPause;
        break;
      case step_code::kMove:
        step.kind = ImageStep::Kind::kMove;
        step.x = s16(m, at + 2);
        step.y = s16(m, at + 4);
        break;
      case step_code::kCpi:
        step.kind = step.down ? ImageStep::Kind::kCpiSet : ImageStep::Kind::kCpiReset;
        step.code = m[at + 2];
        break;
      case step_code::kLed: {
        step.kind = ImageStep::Kind::kLed;
        step.ledAddress = static_cast<std::uint16_t>(m[at + 2] | ((m[at + 3] & 0x3F) << 8));
        step.led = m[at + 3] >> 6;
        std::string error;
        if (!readLedBlock(m, step, error)) {
          walk.error = error;
          return walk;
        }
        break;
      }
      case step_code::kMouseLeft:
      case step_code::kMouseMiddle:
      case step_code::kMouseRight:
        step.kind = ImageStep::Kind::kButton;
        break;
      case step_code::kReservedF7:
      case step_code::kReservedFA:
      case step_code::kReservedFB:
        step.kind = ImageStep::Kind::kReserved;
        break;
      default:
        step.kind = ImageStep::Kind::kKey;
        break;
    }
    walk.steps.push_back(std::move(step));
    at += entryBytes(c);
  }
  return walk;
}

}  // namespace quillet::sim
