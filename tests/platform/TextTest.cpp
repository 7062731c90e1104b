// Tests of the text conversions and of Windows command-line quoting.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "platform/ProcessQuote.h"
#include "platform/Text.h"
#include "support/WindowsArgv.h"

namespace vell {
namespace {

TEST(Text, CodePointsAndConversions) {
  EXPECT_EQ(utf8Prefix("ab가나다e", 3), "ab가");
  EXPECT_TRUE(isValidUtf8("plain 한글 🎵"));
  // Overlong '/', a surrogate, a cut sequence, the CP949 bytes of 가.
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xEA\xB0", "\xB0\xA1"}) EXPECT_FALSE(isValidUtf8(bad)) << bad;
  std::string cp949, back;
  ASSERT_TRUE(utf8ToCp949("가나다 ABC", cp949));
  EXPECT_EQ(cp949.substr(0, 2), "\xB0\xA1");
  ASSERT_TRUE(cp949ToUtf8(cp949, back));
  EXPECT_EQ(back, "가나다 ABC");
  EXPECT_FALSE(cp949ToUtf8("\xB0", back));  // lead byte without its trail
  // A pair glibc's converter swallows whole before failing: marks only (one per byte at most), no overrun.
  const std::string marks = cp949ToUtf8Lossy("\xA2\xE8");
  EXPECT_TRUE(marks == "\xEF\xBF\xBD" || marks == "\xEF\xBF\xBD\xEF\xBF\xBD") << marks;
  EXPECT_EQ(utf16leToUtf8(std::string("\x00\xAC" "A\x00" "\x3C\xD8\xB5\xDF", 8)), "가A🎵");
  EXPECT_EQ(utf16leToUtf8(std::string("\x00\xD8", 2)), "\xEF\xBF\xBD");  // lone surrogate
  for (auto [seconds, text] : {std::pair{125.9, "2:05"}, {3599.0, "59:59"}, {18005.0, "5:00:05"}})
    EXPECT_EQ(formatMinutesSeconds(seconds), text);
  // A station at the root of its server is named by its host.
  EXPECT_EQ(displayName("http://user:pw@radio.example:8000/"), "radio.example");
}

// Tools get their arguments through one command line on Windows: each must come back whole
// from the parser the tools use, whatever it holds.
TEST(ProcessQuote, EachArgumentComesBackWhole) {
  const std::string program = "C:\\Program Files\\tool.exe";
  struct Case { std::string arg, quoted; };
  const Case cases[] = {
      {"plain", "plain"},
      {"", "\"\""},
      {"two words", "\"two words\""},
      {"tab\tand\nline", "\"tab\tand\nline\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\dir\\", "C:\\dir\\"},                 // backslashes before no quote stay single
      {"C:\\my dir\\", "\"C:\\my dir\\\\\""},     // ...but are doubled before the closing quote
      {"a\\\"b", "\"a\\\\\\\"b\""},               // a backslash and a quote: both escaped
      {"\\\\\"", "\"\\\\\\\\\\\"\""},
      {"-f evil 'page'", "\"-f evil 'page'\""},
      {"%PATH%&|<>^", "%PATH%&|<>^"},             // no shell reads it: nothing else is special
      {"한글 제목", "\"한글 제목\""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {program, c.arg};
    std::string line = quoteWindowsCommandLine(args);
    EXPECT_EQ(line, "\"" + program + "\" " + c.quoted) << c.arg;
    std::vector<std::string> parsed;
    if (test::windowsArgv(line, parsed)) {
      EXPECT_EQ(parsed, args) << line;
    }
  }
}

}  // namespace
}  // namespace vell
