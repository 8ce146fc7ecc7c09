#include "config_map.h"

#include <iterator>

#include "core/device/macro_image.h"
#include "core/io/hex_text.h"
#include "core/settings/key_slots.h"
#include "image_walk.h"

namespace quillet::sim {
namespace {

// Where the key bytes of each profile lie: a first run of slots from one address, the rest
// from another.
struct KeyRuns {
  int firstRunSlots;
  std::uint16_t firstRun;
  std::uint16_t secondRun;  // slot firstRunSlots and after
};
constexpr std::array<KeyRuns, kProfileCount> kKeyRuns = {{
    {8, 0x0008, 0x0010},  // slot 8 at 0x0010; slots 9-11 are handled below
    {4, 0x0044, 0x0048},
    {8, 0x0050, 0x0058},
    {8, 0x0060, 0x0068},
}};
constexpr std::uint16_t kProfile0Slots9To11 = 0x003B;

std::string yesNo(bool b) { return b ? "yes" : "no"; }

}  // namespace

std::optional<std::uint16_t> keyByteAddress(int profile, int slot) {
  if (profile < 0 || profile >= kProfileCount || slot < 0 || slot >= kKeyByteSlots) {
    return std::nullopt;
  }
  const KeyRuns& runs = kKeyRuns[static_cast<std::size_t>(profile)];
  if (slot < runs.firstRunSlots) {
    return static_cast<std::uint16_t>(runs.firstRun + slot);
  }
  if (profile == 0 && slot > 8) {
    return static_cast<std::uint16_t>(kProfile0Slots9To11 + (slot - 9));
  }
  return static_cast<std::uint16_t>(runs.secondRun + (slot - runs.firstRunSlots));
}

// The device function bytes the firmware knows, with their names in the log.
struct FunctionName {
  int function;
  const char* name;
};
constexpr FunctionName kFunctionNames[] = {
    {0, "none"},
    {1, "left click"},
    {2, "right click"},
    {3, "middle click"},
    {4, "back"},
    {5, "forward"},
    {device_function::kDpiCycle, "DPI cycle"},
    {7, "fire"},
    {8, "double click"},
    {9, "lighting mode"},
    {device_function::kDpiUp, "DPI up"},
    {device_function::kDpiDown, "DPI down"},
    {device_function::kMacro, "macro"},
    {device_function::kMacroWhileHeld, "macro while held"},
    {device_function::kMultimedia, "multimedia"},
    {device_function::kReportRate, "report rate"},
    {firmware_function::kProfileCycle, "profile cycle"},
    {firmware_function::kProfile1, "profile 1"},
    {firmware_function::kProfile1 + 1, "profile 2"},
    {firmware_function::kProfile1 + 2, "profile 3"},
    {firmware_function::kProfile4, "profile 4"},
};
constexpr bool namesOneEach() {
  for (std::size_t i = 0; i < std::size(kFunctionNames); ++i) {
    for (std::size_t j = i + 1; j < std::size(kFunctionNames); ++j) {
      if (kFunctionNames[i].function == kFunctionNames[j].function) {
        return false;
      }
    }
  }
  return true;
}
static_assert(namesOneEach(), "one name per device function byte");

const char* functionName(std::uint8_t f) {
  for (const FunctionName& entry : kFunctionNames) {
    if (entry.function == f) {
      return entry.name;
    }
  }
  return "unknown";
}

int cpiOfCode(std::uint8_t code) {
  // Codes 8, 10 and 12 lie between the steps and count as the step below.
  constexpr std::array<int, 16> kCpi = {0,    200,  400,  600,  800,  1000, 1200, 1600,
                                        1600, 2000, 2000, 2400, 2400, 3200, 4000, 4800};
  return code < kCpi.size() ? kCpi[code] : 0;
}

const char* playKindName(PlayKind kind) {
  switch (kind) {
    case PlayKind::kCount:
      return "count";
    case PlayKind::kToggle:
      return "toggle";
    case PlayKind::kWhileHeld:
      return "held";
  }
  return "";
}

PlayKind playKindOf(const DescriptorBits& d, std::uint8_t deviceFunction) {
  if (d.whileHeld || deviceFunction == device_function::kMacroWhileHeld) {
    return PlayKind::kWhileHeld;
  }
  return d.toggle ? PlayKind::kToggle : PlayKind::kCount;
}

std::optional<DescriptorBits> readDescriptor(std::span<const std::uint8_t> m, int profile, int slot) {
  const std::size_t at = descriptorAddress(profile, slot);
  if (at + device_memory::kDescriptorBytes > m.size()) {
    return std::nullopt;
  }
  return decodeDescriptor(m.subspan(at).first<device_memory::kDescriptorBytes>());
}

std::string describeConfiguration(std::span<const std::uint8_t> m) {
  std::string out;
  auto line = [&](const std::string& key, const std::string& value) { out += key + " " + value + "\n"; };
  namespace a = config_address;

  line("config-profile", std::to_string(((m[a::kProfile] >> 5) & 3) + 1));
  for (int p = 0; p < kProfileCount; ++p) {
    for (int s = 0; s < kKeyByteSlots; ++s) {
      const std::uint8_t key = m[*keyByteAddress(p, s)];
      const bool buttonSlot = s <= 6 || s == 8;
      if (!buttonSlot && key == 0) {
        continue;
      }
      const std::uint8_t f = key & firmware_function::kMask;
      const int reaction = key >> 5;
      line("slot " + std::to_string(p + 1) + "." + std::to_string(s),
           "key " + hexDigits(key, 2) + " function " + std::to_string(f) + " " + functionName(f) + " reaction " +
               ((reaction & 1) ? "on" : "off") + " type " + std::to_string(reaction >> 1));
    }
  }

  const int level = m[a::kDpiLevel] & 0x07;
  line("config-dpi-level", std::to_string(level) + " (byte " + hexDigits(m[a::kDpiLevel], 2) + ")");
  for (int l = 0; l < kDpiLevels; ++l) {
    const std::uint8_t pair = m[a::kDpiCodes + l / 2];
    const std::uint8_t code = (l % 2 == 0) ? pair >> 4 : pair & 0x0F;
    const std::uint16_t c = a::kColours + 3 * l;
    line("dpi " + std::to_string(l), "code " + std::to_string(code) + " cpi " + std::to_string(cpiOfCode(code)) +
                                         " enabled " + yesNo((m[a::kDpiEnables] >> l) & 1) + " colour " +
                                         std::to_string(m[c] & 0x0F) + " " + std::to_string(m[c + 1] & 0x0F) + " " +
                                         std::to_string(m[c + 2] & 0x0F));
  }
  line("wheel", std::to_string(m[a::kWheel]));
  line("fire-time", std::to_string(8 * (m[a::kFireTime] | (m[a::kFireTime + 1] << 8))));

  const std::uint8_t lighting = m[a::kLighting];
  line("lighting", hexDigits(lighting, 2) + " effect " + std::to_string((lighting >> 4) & 7) + " flag " +
                       std::to_string((lighting >> 3) & 1) + " speed " + std::to_string(lighting & 7));
  const std::uint8_t features = m[a::kLightingFeatures];
  line("lighting-brightness", std::to_string((m[a::kLastUserColour + 1] >> 4) & 7));
  line("lighting-symmetry", std::to_string((features >> 6) & 1));
  line("lighting-direction", std::to_string((features >> 4) & 3));
  line("config-device-value", std::to_string(features & 0x0F));
  line("user-colours", std::string((m[a::kUserColourEnable] & 0x80) ? "on" : "off") + " cycle-mask " +
                           hexDigits(m[a::kUserColourEnable] & 0x7F, 2));
  for (int j = 0; j < 7; ++j) {
    int r = 0, g = 0, b = 0;
    if (j < 6) {
      const std::uint16_t c = a::kColours + 3 * j;
      r = m[c] >> 4;
      g = m[c + 1] >> 4;
      b = m[c + 2] >> 4;
    } else {
      r = m[a::kLastUserColour] >> 4;
      g = m[a::kLastUserColour] & 0x0F;
      b = m[a::kLastUserColour + 1] & 0x0F;
    }
    line("user-colour " + std::to_string(j), std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b));
  }

  for (int p = 0; p < kProfileCount; ++p) {
    for (int s = 0; s < kKeySlotCount; ++s) {
      const std::optional<DescriptorBits> bits = readDescriptor(m, p, s);
      if (!bits) {
        continue;
      }
      const MacroButtonDescriptor& d = bits->fields;
      const std::string slot = std::to_string(p + 1) + "." + std::to_string(s);
      const auto keyAt = keyByteAddress(p, s);
      const std::uint8_t f = keyAt ? (m[*keyAt] & firmware_function::kMask) : 0;
      std::string value = "at " + hexDigits(descriptorAddress(p, s), 4) + " image " + hexDigits(d.imageAddress, 4) +
                          " steps " + std::to_string(d.eventCount) + " mode " + playKindName(playKindOf(*bits, f)) + " key " +
                          hexDigits(d.key, 2) + " consumer " + hexDigits(d.consumerUsage, 4);
      if (bits->loopCountFlag) {
        value += " count-flag";
      }
      if (bits->continuousFlag) {
        value += " continuous-flag";
      }
      line("descriptor " + slot, value);
      if (f != device_function::kMacro && f != device_function::kMacroWhileHeld) {
        continue;  // a consumer key, or a slot whose function is no longer a macro
      }
      const ImageWalk walk = walkImage(m, d.imageAddress, d.eventCount);
      line("macro " + slot, "loops " + std::to_string(walk.loops) + " entries " + std::to_string(walk.steps.size()));
      for (const ImageStep& step : walk.steps) {
        for (const std::string& text : stepLines(step)) {
          line("macro-step " + slot, text);
        }
      }
      if (walk.error) {
        line("macro-step " + slot, "error " + *walk.error);
      }
    }
  }
  return out;
}

}  // namespace quillet::sim
