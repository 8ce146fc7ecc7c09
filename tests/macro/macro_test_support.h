#pragma once
// Shared by the macro tests: the temporary folder and file helpers, and a way to write macros
// step by step.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include "core/macro/macro_record.h"
#include "core/settings/app_state.h"
#include "support/temp_dir.h"

namespace quillet::test {

// The macro tests' names for the shared helpers.
using TempFolder = TempDir;
inline void writeText(const std::filesystem::path& file, const std::string& text) { writeBytes(file, text); }
inline std::string readText(const std::filesystem::path& file) { return readBytes(file); }

// The folders of a library kept in one skin folder, with the built-in macros in `appFolder`.
inline AppState appIn(const std::filesystem::path& skins, const std::filesystem::path& appFolder, Language language) {
  AppState app;
  app.appFolder = appFolder;
  app.setSkinFolder(skins);
  app.language = language;
  return app;
}

// A macro made of the given steps, with its counters kept right.
inline Macro makeMacro(const std::string& name, std::initializer_list<MacroEvent> steps, std::uint8_t playMode = 0,
                       std::uint16_t loopCount = 1) {
  Macro m;
  EXPECT_TRUE(setMacroName(m, name));
  m.playMode = playMode;
  m.loopCount = loopCount;
  for (const MacroEvent& e : steps) {
    m.events[m.eventCount++] = e;
  }
  recountSteps(m);
  return m;
}

inline MacroEvent press(std::uint8_t code, std::uint16_t delay) { return {step_type::kPress, code, 0, 0, delay}; }
inline MacroEvent release(std::uint8_t code, std::uint16_t delay) { return {step_type::kRelease, code, 0, 0, delay}; }
inline MacroEvent move(std::uint8_t type, std::int16_t x, std::int16_t y, std::uint16_t delay) {
  return {type, step_code::kMove, x, y, delay};
}
inline MacroEvent led(std::uint8_t type, std::int16_t row, std::uint16_t delay) {
  return {type, step_code::kLed, row, 0, delay};
}

}  // namespace quillet::test
