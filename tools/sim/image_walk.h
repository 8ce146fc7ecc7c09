#pragma once
// How the firmware reads a macro image from its memory: the loop word, then one entry per step,
// each entry a time byte and a code byte followed by the operands its code calls for:
//
//   code 0                  pause                      t, 0
//   code 246                pointer move               t, 246, X (s16), Y (s16), little-endian
//   code 248                CPI step                   t, 248, CPI index, 0; bit 7 of t: set, else reset
//   code 249                LED step                   t, 249, A low, A bits 8-13 + 64 * LED
//   codes 241, 242, 243     left, middle, right button t, code
//   codes 247, 250, 251     reserved steps             t, code
//   any other code          keyboard usage             t, code
//
// Bits 0-6 of t are the pause after the step in tens of milliseconds; bit 7 marks a press (and
// a CPI set). An entry of two zero bytes is the padding after the last step. The LED data block
// at A: byte 0 the entries less one, three header bytes, then per entry mode, colour index,
// time in tenths of a second and a reserved byte.
//
// The walk reads nothing outside the memory it is given and takes at most `maxSteps` entries,
// so a damaged image (an address past the memory, entries that never end) stops with an error
// text instead.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillet::sim {

struct ImageStep {
  enum class Kind : std::uint8_t { kKey, kButton, kReserved, kPause, kMove, kCpiSet, kCpiReset, kLed };
  Kind kind = Kind::kPause;
  std::uint8_t code = 0;  // usage, button or reserved code; CPI index for the CPI steps
  bool down = false;      // press (keys, buttons, reserved steps)
  int x = 0;              // move
  int y = 0;
  int led = 0;  // LED step: which LED (0..3)
  std::uint16_t ledAddress = 0;
  struct LedEntry {
    std::uint8_t mode = 0;
    std::uint8_t colour = 0;
    std::uint8_t tenths = 0;
  };
  std::vector<LedEntry> ledEntries;
  std::uint16_t waitMs = 0;  // the pause that follows the step

  // The step in the words of the playback log, without the wait: "key 04 down", "move -5 -10",
  // "cpi 4", "led L0 at 0258: mode 1 colour 3 time 0.5s", "wait 300" for a pause.
  std::string text() const;
};

struct ImageWalk {
  std::uint16_t loops = 0;  // the loop word
  std::vector<ImageStep> steps;
  std::optional<std::string> error;  // why the walk stopped early, in the log's words
};

// Walks the image at `address` in `memory`, taking at most `maxSteps` entries.
ImageWalk walkImage(std::span<const std::uint8_t> memory, std::uint32_t address, int maxSteps);

// The log lines of one step: its text, then "wait N" for the pause after it (a pause is only
// its wait; a pause of 0 ms is not logged).
std::vector<std::string> stepLines(const ImageStep& step);

}  // namespace quillet::sim
