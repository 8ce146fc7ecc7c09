#include "image_walk.h"

#include <cstdio>

#include "core/io/hex_text.h"
#include "core/macro/macro_record.h"

namespace quillet::sim {

std::string stepText(const ImageStep& step) {
  using Kind = ImageStep::Kind;
  const std::uint8_t code = step.code;
  const char* press = step.down ? " down" : " up";
  switch (step.kind) {
    case Kind::kKey:
      return "key " + hexDigits(code, 2) + press;
    case Kind::kButton: {
      const char* name = code == step_code::kMouseLeft ? "left" : code == step_code::kMouseMiddle ? "middle" : "right";
      return std::string("button ") + name + press;
    }
    case Kind::kReserved:
      return "reserved " + hexDigits(code, 2) + press;
    case Kind::kPause:
      return "wait " + std::to_string(step.waitMs);
    case Kind::kMove:
      return "move " + std::to_string(step.x) + " " + std::to_string(step.y);
    case Kind::kCpiSet:
      return "cpi " + std::to_string(code);
    case Kind::kCpiReset:
      return "cpi reset";
    case Kind::kLed: {
      std::string out = "led L" + std::to_string(step.led) + " at " + hexDigits(step.ledAddress, 4) + ":";
      const char* separator = " ";
      for (const ImageStep::LedEntry& e : step.ledEntries) {
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
    lines.push_back(stepText(step));
  }
  if (step.waitMs > 0) {
    lines.push_back("wait " + std::to_string(step.waitMs));
  }
  return lines;
}

}  // namespace quillet::sim
