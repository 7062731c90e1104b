// Tests of the stream catalogue: its files, changes, resets, search and the shipped list.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "catalog/StreamCatalog.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/TempDir.h"

namespace vell {
namespace {

StreamEntry entry(int32_t type, std::string id, std::string name, std::string genre = "g", std::string desc = "d",
                  std::string url = "http://u") {
  return {type, std::move(id), std::move(name), std::move(genre), std::move(desc), std::move(url)};
}

std::string ids(const std::vector<const StreamEntry*>& list) {
  std::string out;
  for (const StreamEntry* e : list) out += (out.empty() ? "" : " ") + e->id;
  return out;
}

// Both lists as ids, "+" marking the user's entries and "*" edited built-ins.
std::string listing(const StreamCatalog& c) {
  std::string out;
  for (const auto* list : {&c.radioStreams(), &c.podcastStreams()}) {
    out += list == &c.radioStreams() ? "" : "|";
    for (const StreamEntry& e : *list) out += " " + e.id + (e.isUser ? "+" : "") + (e.isModified ? "*" : "");
  }
  return out;
}
using Ids = std::vector<std::string>;

class Catalog : public ::testing::Test {
 protected:
  StreamCatalog load(const std::string& builtin, const std::string& user = "") {
    dir.write("streams.ini", builtin);
    if (!user.empty()) dir.write("streams_user.ini", user);
    return reload();
  }
  StreamCatalog reload() {
    StreamCatalog c(dir.path());
    c.load();
    return c;
  }
  test::TempDir dir;
};

TEST_F(Catalog, BuiltinAndUserFileLines) {
  StreamCatalog none(dir.file("nowhere"));
  none.load();
  EXPECT_EQ(listing(none), "|");
  EXPECT_EQ(none.findById("x"), nullptr);

  auto c = load("\xEF\xBB\xBF"
                "RADIO_MP3|a|Alpha|Pop|first|http://a\r\n"
                "; comment|x|x|x|x|x\n"
                "\n"
                "RADIO_HLS|five|only|five|fields\n"
                "PODCAST_RSS|p1|Feed| 공백 | desc |http://feed|seventh|eighth\n"
                "radio_hls|b|Lower keyword|Pop||http://b\n"
                "RADIO_PLS|c|Pls|Rock|||\n"
                "PODCAST_SBS|s1|Service|Talk|d|12345\n"
                "RADIO_MP3|bad|Name\xff\xc0|Rock|d|http://x",
                "\xEF\xBB\xBF# comment\n"
                "; also a comment\n"
                "-|\n"
                "-|s1 \t\r\n"
                "=|RADIO_HLS|c|Alpha edited|Jazz|d2|http://a2\n"
                "RADIO_MP3|bare|Bare line|User|d|http://bare   \n"
                "+|PODCAST_RSS|up|User pod|User|d|http://up\n"
                "+|RADIO_MP3|short|only five|x|y\n"
                "?|RADIO_MP3|q|Odd prefix|x|y|z\n");
  // Only "+|", "=|" and "-|" are operations: "?|..." is an add whose fields start with "?".
  EXPECT_EQ(listing(c), " a b c* bad bare+ RADIO_MP3+| p1 up+");
  EXPECT_EQ(c.hiddenIds(), Ids{"s1"});
  EXPECT_EQ(c.radioStreams()[0], entry(RADIO_MP3, "a", "Alpha", "Pop", "first", "http://a"));
  EXPECT_EQ(c.radioStreams()[1].type, RADIO_MP3);  // keywords are case-sensitive
  EXPECT_EQ(c.radioStreams()[2], (StreamEntry{RADIO_HLS, "c", "Alpha edited", "Jazz", "d2", "http://a2", false, true}));
  EXPECT_EQ(c.radioStreams()[3].name, "Name\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(c.radioStreams()[4].url, "http://bare");
  EXPECT_EQ(c.radioStreams()[5].name, "q");
  // No field is trimmed; fields after the sixth are ignored.
  EXPECT_EQ(c.podcastStreams()[0], entry(PODCAST_RSS, "p1", "Feed", " 공백 ", " desc ", "http://feed"));
  EXPECT_EQ(c.radioGenres(), (Ids{"Pop", "Jazz", "Rock", "User", "Odd prefix"}));
  EXPECT_EQ(c.podcastGenres(), (Ids{" 공백 ", "User"}));

  // Duplicate ids: an edit replaces the first in each list; a type change keeps the entry in its list; an
  // edit of an id nobody has is kept; an edit never turns a user entry into a built-in.
  c = load("RADIO_MP3|dup|First|G|d|u1\nRADIO_MP3|dup|Second|G|d|u2\nPODCAST_RSS|dup|Pod|G|d|u3\n"
           "RADIO_MP3|r|Radio|G|d|u4\n",
           "=|PODCAST_RSS|dup|Edited|G|d|e\n=|PODCAST_RSS|r|Now a podcast|G|d|feed\n=|RADIO_MP3|ghost|Nobody|G|d|x\n"
           "=|RADIO_MP3|user_1|Edit|G|d|x\n+|RADIO_MP3|user_1|Mine|G|d|http://m\n");
  EXPECT_EQ(listing(c), " dup* dup r* user_1+| dup*");
  EXPECT_EQ(c.radioStreams()[0].name + c.radioStreams()[1].name + c.podcastStreams()[0].name, "EditedSecondEdited");
  EXPECT_EQ(c.radioStreams()[2].type, PODCAST_RSS);
  EXPECT_EQ(c.radioStreams()[3].name, "Mine");
  c.hideBuiltin("dup");
  StreamCatalog again = reload();  // the unmatched edits are written back
  EXPECT_EQ(listing(again), " r* user_1+|");
  EXPECT_EQ(again.overrides().size(), 4u);
}

TEST_F(Catalog, ChangingOperationsPersist) {
  auto c = load("RADIO_MP3|a|Alpha|Pop|d|http://a\nRADIO_MP3|b|Beta|Pop|d|http://b\nPODCAST_RSS|p|Pod|News|d|http://p\n");
  ASSERT_TRUE(c.addUserStream(entry(PODCAST_SBS, "user_1", "Mine", "사용자", "사용자 추가", "prog")));
  ASSERT_TRUE(c.addUserStream(entry(RADIO_PLS, "user_2", "내 방송", "사용자", "사용자 추가", "http://x.pls")));
  // Separators and line breaks in a field would shift the fields or forge a line.
  ASSERT_TRUE(c.addUserStream(entry(RADIO_HLS, "user_3", "A|B\nC", "G\r", "-|evil\n+|RADIO_MP3|x|x|x|x|x", "http://h/p|q \r")));
  ASSERT_TRUE(c.editBuiltin("a", entry(RADIO_MP3, "ignored", "Alpha 2", "Pop", "d", "http://a2")));
  ASSERT_TRUE(c.editBuiltin("p", entry(PODCAST_RSS, "p", "Pod 2", "뉴스", "설명", "http://p2?a=1&b=2")));
  ASSERT_TRUE(c.editBuiltin("a", entry(RADIO_MP3, "ignored", "Alpha 3", "Pop", "d", "http://a3")));
  ASSERT_TRUE(c.hideBuiltin("b"));
  EXPECT_EQ(listing(c), " a* user_2+ user_3+| p* user_1+");
  EXPECT_EQ(c.findById("a")->name, "Alpha 3");
  std::string text = dir.read("streams_user.ini");
  EXPECT_EQ(text.substr(text.find("\n\n") + 2),  // after the comment block
            "-|b\n=|RADIO_MP3|a|Alpha 3|Pop|d|http://a3\n=|PODCAST_RSS|p|Pod 2|뉴스|설명|http://p2?a=1&b=2\n"
            "+|RADIO_PLS|user_2|내 방송|사용자|사용자 추가|http://x.pls\n"
            "+|RADIO_HLS|user_3|A｜B C|G\r|-｜evil +｜RADIO_MP3｜x｜x｜x｜x｜x|http://h/p%7Cq\n"
            "+|PODCAST_SBS|user_1|Mine|사용자|사용자 추가|prog\n");
  StreamCatalog back = reload();
  EXPECT_EQ(back.radioStreams(), c.radioStreams());
  EXPECT_EQ(back.podcastStreams(), c.podcastStreams());
  EXPECT_EQ(back.podcastGenres(), c.podcastGenres());
  ASSERT_TRUE(back.save());  // the same hides and edits: the same bytes
  EXPECT_EQ(dir.read("streams_user.ini"), text);

  // An edited built-in can be hidden; restoring brings back the original.
  ASSERT_TRUE(c.hideBuiltin("a") && c.hideBuiltin("a"));
  EXPECT_EQ(c.hiddenIds(), (Ids{"b", "a"}));
  ASSERT_TRUE(c.restoreBuiltin("a"));
  EXPECT_EQ(c.findById("a")->name, "Alpha");
  // Hiding a user-only id removes nothing but is remembered; deleting removes user entries only.
  ASSERT_TRUE(c.hideBuiltin("user_2") && c.deleteUserStream("p") && c.deleteUserStream("user_1"));
  EXPECT_EQ(listing(c), " a user_2+ user_3+| p*");
  EXPECT_EQ(listing(reload()), listing(c));
  EXPECT_EQ(reload().hiddenIds(), (Ids{"b", "user_2"}));

  EXPECT_TRUE(c.resetAll());
  EXPECT_FALSE(fileExists(dir.file("streams_user.ini")));
  EXPECT_EQ(listing(c), " a b| p");
  EXPECT_TRUE(c.hiddenIds().empty() && c.overrides().empty());
}

TEST_F(Catalog, FailedSaveKeepsTheChangeForTheSession) {
  auto c = load("RADIO_MP3|a|Alpha|Pop|d|http://a\n", "+|RADIO_MP3|user_1|Old|사용자|d|http://o\n");
  // A directory where the user file belongs makes every save fail.
  std::string user = dir.file("streams_user.ini");
  ASSERT_TRUE(removeFile(user) && makeDirectories(user + "/blocked"));
  EXPECT_FALSE(c.addUserStream(entry(PODCAST_RSS, "user_2", "New", "사용자", "d", "http://n")));
  EXPECT_FALSE(c.editBuiltin("a", entry(RADIO_MP3, "a", "Edited", "Pop", "d", "http://e")));
  EXPECT_EQ(listing(c), " a* user_1+| user_2+");
  EXPECT_EQ(c.podcastGenres(), Ids{"사용자"});
  // Once the file can be written again, the next change writes everything.
  std::filesystem::remove_all(user);
  ASSERT_TRUE(c.hideBuiltin("zzz"));
  StreamCatalog back = reload();
  EXPECT_EQ(back.radioStreams(), c.radioStreams());
  EXPECT_EQ(back.podcastStreams(), c.podcastStreams());
}

// Each kind has a hidden built-in, an edited built-in and an addition of the user's; a reset of
// one kind keeps the other and leaves the user file as a backup first.
TEST_F(Catalog, EachResetKeepsTheOtherKindAndLeavesTheBackup) {
  for (bool podcasts : {false, true}) {
    auto c = load("RADIO_MP3|r1|R1|g|d|u\nRADIO_MP3|r2|R2|g|d|u\nPODCAST_RSS|p1|P1|g|d|u\nPODCAST_RSS|p2|P2|g|d|u\n",
                  "-|r1\n=|RADIO_MP3|r2|R2 edited|g|d|u\n+|RADIO_MP3|user_1|Mine|g|d|u\n"
                  "-|p1\n=|PODCAST_RSS|p2|P2 edited|g|d|u\n+|PODCAST_RSS|user_2|Mine|g|d|u\n");
    std::string before = dir.read("streams_user.ini");
    ASSERT_TRUE(c.reset(podcasts)) << podcasts;
    EXPECT_EQ(dir.read("streams_user.ini.bak"), before);
    EXPECT_EQ(listing(reload()), podcasts ? " r2* user_1+| p1 p2" : " r1 r2| p2* user_2+");
  }
}

TEST_F(Catalog, SearchGenresNewIdsAndTypesForUrls) {
  auto c = load(
      "RADIO_MP3|1|classic fm|클래식|영국|u\n"
      "RADIO_MP3|2|Jazz24|재즈|Seattle|u\n"
      "RADIO_MP3|3|국악방송|국내|Korean traditional|u\n"
      "PODCAST_RSS|4|News|뉴스|daily|u\n",
      "+|RADIO_MP3|user_100|A|G|d|u\n+|RADIO_MP3|user_101|B|G|d|u\n");
  const std::pair<const char*, const char*> radio[] = {
      {"CLASSIC", "1"}, {"seATTle", "2"}, {"재즈", "2"}, {"국악", "3"}, {"국악방송X", ""}, {"", "1 2 3 user_100 user_101"}};
  for (const auto& [query, found] : radio) EXPECT_EQ(ids(c.searchRadio(query)), found) << query;
  EXPECT_EQ(ids(c.searchPodcasts("NEWS")), "4");
  EXPECT_EQ(ids(c.radioByGenre("재즈")), "2");
  EXPECT_EQ(ids(c.radioByGenre("뉴스")), "");
  EXPECT_EQ(ids(c.podcastsByGenre("뉴스")), "4");

  EXPECT_EQ(c.newUserId(99), "user_99");
  EXPECT_EQ(c.newUserId(100), "user_102");
  EXPECT_EQ(c.newUserId(4294967295u), "user_4294967295");
  EXPECT_EQ(streamTypeForUrl("http://x/a.m3u8?x.pls", true), RADIO_HLS);
  EXPECT_EQ(streamTypeForUrl("http://x/a.pls", true), RADIO_PLS);
  EXPECT_EQ(streamTypeForUrl("http://x/feed", true), PODCAST_RSS);
  EXPECT_EQ(streamTypeForUrl("http://x/live", false), RADIO_MP3);
}

TEST_F(Catalog, ShippedCatalogueIsWellFormed) {
  std::string bytes;
  ASSERT_TRUE(readFile(std::string(VELL_SOURCE_DIR) + "/data/streams.ini", bytes));
  auto c = load(bytes);
  EXPECT_GE(c.radioStreams().size(), 24u);
  EXPECT_GE(c.podcastStreams().size(), 6u);
  std::set<std::string> seen;
  for (const auto* list : {&c.radioStreams(), &c.podcastStreams()}) {
    for (const StreamEntry& e : *list) {
      EXPECT_TRUE(seen.insert(e.id).second && !e.name.empty() && !e.genre.empty()) << e.id;
      EXPECT_TRUE(startsWith(e.url, "http://") || startsWith(e.url, "https://")) << e.id;
      EXPECT_TRUE((e.type != RADIO_HLS || contains(e.url, ".m3u8")) && (e.type != RADIO_PLS || endsWith(e.url, ".pls")))
          << e.id;
    }
  }
}

}  // namespace
}  // namespace vell
