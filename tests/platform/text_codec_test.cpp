#include "core/io/text_codec.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(TextCodec, Utf8Validation) {
  EXPECT_TRUE(text::isValidUtf8("plain ascii"));
  EXPECT_TRUE(text::isValidUtf8("中文 😀"));
  EXPECT_FALSE(text::isValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(text::isValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(text::isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(text::isValidUtf8("\xE4\xB8"));          // truncated
  EXPECT_FALSE(text::isValidUtf8("\xD6\xD0"));          // CP936 bytes
}

TEST(TextCodec, Utf16RoundTripAndRepair) {
  const std::string text = "K736 中文 😀";
  EXPECT_EQ(text::utf16leToUtf8(text::utf8ToUtf16le(text)), text);
  // A lone high surrogate and an odd trailing byte become U+FFFD.
  EXPECT_EQ(text::utf16leToUtf8(std::string("\x3D\xD8" "A\x00" "x", 5)), "\xEF\xBF\xBD" "A\xEF\xBF\xBD");
}

TEST(TextCodec, Cp936BothWays) {
  EXPECT_EQ(text::cp936ToUtf8("\xD6\xD0\xCE\xC4 ok"), "中文 ok");
  EXPECT_EQ(text::utf8ToCp936("中文 ok"), "\xD6\xD0\xCE\xC4 ok");
  // A character CP936 cannot hold becomes '?', as Windows writes it; bad input becomes U+FFFD.
  EXPECT_EQ(text::utf8ToCp936("a😀b"), "a?b");
  EXPECT_EQ(text::cp936ToUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
}

TEST(TextCodec, CountsUtf16Units) {
  EXPECT_EQ(text::utf16Length("ab中😀"), 5u);
  EXPECT_EQ(text::truncateUtf16Units("ab中😀", 4), "ab中");
  EXPECT_EQ(text::truncateUtf16Units("ab中😀", 5), "ab中😀");
  EXPECT_EQ(text::truncateUtf16Units("ab", 0), "");
}

}  // namespace
}  // namespace quillet
