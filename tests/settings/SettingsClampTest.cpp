#include <gtest/gtest.h>

#include "platform/Text.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace vell {
namespace {

// A value outside what the program offers is read as the nearest value it does offer.
TEST(SettingsClamp, ValuesFromTheFileStayInTheOfferedRange) {
  struct Case {
    const char* line;
    const char* saved;
  } cases[] = {{"opacity=0", "opacity=0.50"},          {"opacity=3", "opacity=1.00"},
               {"volume=-2", "volume=0.00"},           {"volume=9", "volume=1.00"},
               {"wheelAction=7", "wheelAction=1"},     {"wheelSeekDelta=0", "wheelSeekDelta=1.00"},
               {"wheelSeekDelta=900", "wheelSeekDelta=10.00"}, {"subtitleColor=-4", "subtitleColor=0"},
               {"aspectRatio=12", "aspectRatio=3"}};
  test::TempDir dir;
  for (const Case& c : cases) {
    Settings s;
    ASSERT_TRUE(s.load(dir.write("vell_player.ini", std::string("\xEF\xBB\xBF") + c.line + "\n")));
    EXPECT_TRUE(contains(s.serialize(), std::string("\n") + c.saved + "\n")) << c.line;
  }
}

}  // namespace
}  // namespace vell
