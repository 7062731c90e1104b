#include <gtest/gtest.h>

#include "platform/ProcessQuote.h"
#include "support/WindowsArgv.h"

namespace vell {
namespace {

// Tools get their arguments through one command line on Windows: each must come back whole
// from the parser the tools use, whatever it holds.
TEST(ProcessQuote, EachArgumentComesBackWhole) {
  const std::string program = "C:\\Program Files\\tool.exe";
  struct Case {
    std::string arg, quoted;
  };
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
