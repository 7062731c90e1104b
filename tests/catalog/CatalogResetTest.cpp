#include <gtest/gtest.h>

#include "catalog/StreamCatalog.h"
#include "support/TempDir.h"

namespace vell {
namespace {

std::string names(const std::vector<StreamEntry>& list) {
  std::string out;
  for (const StreamEntry& e : list) out += e.name + ";";
  return out;
}

StreamEntry stream(int32_t type, const std::string& id, const std::string& name) {
  StreamEntry e;
  e.type = type;
  e.id = id;
  e.name = name;
  e.genre = "g";
  e.url = "http://" + id;
  return e;
}

// Each kind has a hidden built-in, an edited built-in and an addition of the user's.
TEST(CatalogReset, EachResetKeepsTheOtherKindAndLeavesTheBackup) {
  for (bool podcasts : {false, true}) {
    test::TempDir dir;
    dir.write("streams.ini",
              "RADIO_MP3|r1|R1|g|d|http://r1\nRADIO_MP3|r2|R2|g|d|http://r2\n"
              "PODCAST_RSS|p1|P1|g|d|http://p1\nPODCAST_RSS|p2|P2|g|d|http://p2\n");
    StreamCatalog c(dir.path());
    c.load();
    c.hideBuiltin("r1");
    c.editBuiltin("r2", stream(RADIO_MP3, "r2", "R2 edited"));
    c.addUserStream(stream(RADIO_MP3, "user_1", "My radio"));
    c.hideBuiltin("p1");
    c.editBuiltin("p2", stream(PODCAST_RSS, "p2", "P2 edited"));
    c.addUserStream(stream(PODCAST_RSS, "user_2", "My podcast"));
    std::string before = dir.read("streams_user.ini");

    ASSERT_TRUE(c.reset(podcasts)) << podcasts;
    EXPECT_EQ(dir.read("streams_user.ini.bak"), before);
    StreamCatalog reread(dir.path());
    reread.load();
    EXPECT_EQ(names(reread.radioStreams()), podcasts ? "R2 edited;My radio;" : "R1;R2;");
    EXPECT_EQ(names(reread.podcastStreams()), podcasts ? "P1;P2;" : "P2 edited;My podcast;");
  }
}

}  // namespace
}  // namespace vell
