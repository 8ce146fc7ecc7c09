#include "core/settings/name_tables.h"

namespace quillet {

namespace {

constexpr std::array<std::string_view, kLedModeCount> kModesEn = {
    "DPI breath", "Cycle breath", "Constantly", "Flow water",      "Single water",
    "Comet tail", "Neon",         "Ambilight",  "Button response", "Mute"};
constexpr std::array<std::string_view, kLedModeCount> kModesCn = {
    "DPI色呼吸", "循环呼吸", "常亮", "行云流水", "单灯流水", "彗星扫尾", "霓虹", "流光溢彩", "按键响应", "静音"};

constexpr std::array<std::string_view, kLedReactTypeCount> kReactionsEn = {"Cycle breath", "Flow water",
                                                                           "Comet tail", "Single water"};
constexpr std::array<std::string_view, kLedReactTypeCount> kReactionsCn = {"循环呼吸", "行云流水", "彗星扫尾",
                                                                           "单灯流水"};

constexpr std::array<std::string_view, kLedReactTypeCount> kReactionLabelsEn = {"Cycle breath", "Flowing water",
                                                                                "Comet tail", "Single water"};
constexpr std::array<std::string_view, kLedReactTypeCount> kReactionLabelsCn = {"循环呼吸", "行云流水", "彗星拖尾",
                                                                                "单灯流水"};

}  // namespace

const std::array<std::string_view, kLedModeCount>& lightingModeNames(Language language) {
  return language != kChinese ? kModesEn : kModesCn;
}

const std::array<std::string_view, kLedReactTypeCount>& reactionNames(Language language) {
  return language != kChinese ? kReactionsEn : kReactionsCn;
}

const std::array<std::string_view, kLedReactTypeCount>& reactionLabels(Language language) {
  return language != kChinese ? kReactionLabelsEn : kReactionLabelsCn;
}

void buildLightingNameTables(Language language, NameTables& names) {
  const auto& modes = lightingModeNames(language);
  for (std::size_t i = 0; i < modes.size(); ++i) {
    names.lightingModeNames[i] = std::string(modes[i]);
  }
  const auto& reactions = reactionNames(language);
  for (std::size_t i = 0; i < reactions.size(); ++i) {
    names.reactionNames[i] = std::string(reactions[i]);
  }
}

}  // namespace quillet
