#pragma once
// The survey's character filter for edit boxes: while the survey form is open, its edit boxes
// accept only the characters a survey answer is made of.

namespace quillet {

// Backspace, the digits, the ASCII letters, '_', '@', '.', and the CJK ideographs U+4E00..U+9FA5;
// every other character (controls, blanks, punctuation, other scripts) is dropped.
constexpr bool surveyCharacterAccepted(char32_t c) {
  return c == U'\b' || (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') ||
         c == U'_' || c == U'@' || c == U'.' || (c >= 0x4E00 && c <= 0x9FA5);
}

}  // namespace quillet
