#include <gtest/gtest.h>

#include "platform/Text.h"

namespace vell {
namespace {

TEST(Text, CountsAndCutsCodePointsNotBytes) {
  std::string mixed = "ab가나다e";  // 3 ASCII + 3 Hangul (3 bytes each)
  EXPECT_EQ(utf8Length(mixed), 6u);
  EXPECT_EQ(utf8Prefix(mixed, 3), "ab가");
  EXPECT_EQ(utf8Prefix(mixed, 0), "");
  EXPECT_EQ(utf8Prefix(mixed, 99), mixed);
  EXPECT_EQ(utf8Length("🎵"), 1u);
}

TEST(Text, Utf8Validation) {
  EXPECT_TRUE(isValidUtf8("plain 한글"));
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(isValidUtf8("\xEA\xB0"));          // truncated
  EXPECT_FALSE(isValidUtf8("\xB0\xA1"));          // CP949 bytes of 가
}

TEST(Text, Cp949RoundTripAndRejection) {
  std::string cp949;
  ASSERT_TRUE(utf8ToCp949("가나다 ABC", cp949));
  EXPECT_EQ(cp949.substr(0, 2), "\xB0\xA1");
  std::string back;
  ASSERT_TRUE(cp949ToUtf8(cp949, back));
  EXPECT_EQ(back, "가나다 ABC");
  EXPECT_FALSE(cp949ToUtf8("\xB0", back));  // lead byte without its trail
}

TEST(Text, Utf16LittleEndian) {
  std::string bytes("\x00\xAC" "A\x00" "\x3C\xD8\xB5\xDF", 8);  // 가, A, U+1F3B5
  EXPECT_EQ(utf16leToUtf8(bytes), "가A🎵");
  EXPECT_EQ(utf16leToUtf8(std::string("\x00\xD8", 2)), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(Text, DisplayNameAndClock) {
  EXPECT_EQ(displayName("C:\\music\\song.mp3"), "song.mp3");
  EXPECT_EQ(displayName("http://host/live/stream?x=1"), "stream?x=1");
  EXPECT_EQ(displayName("noseparator"), "noseparator");
  EXPECT_EQ(formatClock(0), "00:00");
  EXPECT_EQ(formatClock(59.99), "00:59");
  EXPECT_EQ(formatClock(3599), "59:59");
  EXPECT_EQ(formatClock(3600), "1:00:00");
  EXPECT_EQ(formatClock(-5), "00:00");
  EXPECT_EQ(formatMinutesSeconds(30.7), "0:30");
  EXPECT_EQ(formatMinutesSeconds(3725), "62:05");
}

TEST(Text, AsciiLowerLeavesOtherBytes) { EXPECT_EQ(asciiLower("KBS 한국 FM"), "kbs 한국 fm"); }

}  // namespace
}  // namespace vell
