#include "platform/text.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(Text, CutsWholeCharactersNotBytes) {
  const std::string name = "r\xC3\xA9sum\xC3\xA9.qkd";  // résumé.qkd
  EXPECT_EQ(charCount(name), 10u);
  EXPECT_EQ(dropRightChars(name, 3), "r\xC3\xA9sum\xC3\xA9.");
  EXPECT_EQ(rightChars("ab\xC3\xA9", 1), "\xC3\xA9");
  EXPECT_EQ(leftChars("\xC3\xA9x", 1), "\xC3\xA9");
  EXPECT_EQ(dropRightChars("ab", 3), "");
  EXPECT_EQ(rightChars("ab", 3), "ab");
}

TEST(Text, RecognisesUtf8AndDecodesWindows1252) {
  EXPECT_TRUE(isValidUtf8("plain \xE2\x82\xAC"));
  EXPECT_FALSE(isValidUtf8("caf\xE9"));       // Latin-1 é
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));      // overlong "/"
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_EQ(fromWindows1252("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
}

}  // namespace
}  // namespace qm
