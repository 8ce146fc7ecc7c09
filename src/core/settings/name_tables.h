#pragma once
// The names the window shows for the lighting effects and the key-reaction effects, in the
// interface language. The button-function and profile names come from the skin's main layout
// (its FUN_STRING list); these two tables are the utility's own.
#include <array>
#include <string_view>

#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"

namespace quillet {

// Effect names by lighting-effect code 0..9: "DPI breath" … "Mute" / "DPI色呼吸" … "静音".
const std::array<std::string_view, kLedModeCount>& lightingModeNames(Language language);
// Key-reaction effect names by reaction type 0..3, as the reaction menu lists them: "Cycle
// breath", "Flow water", "Comet tail", "Single water" and their Chinese names.
const std::array<std::string_view, kLedReactTypeCount>& reactionNames(Language language);
// The same four effects as the lighting page labels its buttons' effects: "Cycle breath",
// "Flowing water", "Comet tail", "Single water" and their Chinese names (spelled apart from the
// list's in two places).
const std::array<std::string_view, kLedReactTypeCount>& reactionLabels(Language language);

// Rebuilds app.lightingModeNames and app.reactionNames for app.language (start-up and every
// language switch).
void buildLightingNameTables(Language language, NameTables& names);

}  // namespace quillet
