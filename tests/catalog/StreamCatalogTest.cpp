#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "catalog/StreamCatalog.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/TempDir.h"

namespace vell {
namespace {

StreamEntry entry(int32_t type, std::string id, std::string name, std::string genre = "g",
                  std::string desc = "d", std::string url = "http://u") {
  StreamEntry e;
  e.type = type;
  e.id = std::move(id);
  e.name = std::move(name);
  e.genre = std::move(genre);
  e.description = std::move(desc);
  e.url = std::move(url);
  return e;
}

std::vector<std::string> ids(const std::vector<StreamEntry>& list) {
  std::vector<std::string> out;
  for (const auto& e : list) out.push_back(e.id);
  return out;
}
std::vector<std::string> ids(const std::vector<const StreamEntry*>& list) {
  std::vector<std::string> out;
  for (const auto* e : list) out.push_back(e->id);
  return out;
}
using Ids = std::vector<std::string>;

class Catalog : public ::testing::Test {
 protected:
  StreamCatalog load(const std::string& builtin, const std::string& user = "") {
    dir.write("streams.ini", builtin);
    if (!user.empty()) dir.write("streams_user.ini", user);
    StreamCatalog c(dir.path());
    c.load();
    return c;
  }
  test::TempDir dir;
};

TEST_F(Catalog, BuiltinFileLinesAndFields) {
  auto c = load(
      "\xEF\xBB\xBF"
      "RADIO_MP3|a|Alpha|Pop|first|http://a\r\n"
      "; comment|x|x|x|x|x\n"
      "\n"
      "RADIO_HLS|five|only|five|fields\n"
      "PODCAST_RSS|p1|Feed| 공백 | desc |http://feed|seventh|eighth\n"
      "radio_hls|b|Lower keyword|Pop||http://b\n"
      "RADIO_PLS|c|Pls|Rock|||\n"
      "PODCAST_SBS|s1|Service|Talk|d|12345\n"
      "RADIO_HLS|h|Hls|Rock|d|http://h.m3u8");
  EXPECT_EQ(ids(c.radioStreams()), (Ids{"a", "b", "c", "h"}));
  EXPECT_EQ(ids(c.podcastStreams()), (Ids{"p1", "s1"}));
  EXPECT_EQ(c.radioStreams()[0], entry(RADIO_MP3, "a", "Alpha", "Pop", "first", "http://a"));
  EXPECT_EQ(c.radioStreams()[1].type, RADIO_MP3);  // keywords are case-sensitive
  EXPECT_EQ(c.radioStreams()[2].url, "");
  EXPECT_EQ(c.radioStreams()[2].type, RADIO_PLS);
  // No field is trimmed; fields after the sixth are ignored.
  EXPECT_EQ(c.podcastStreams()[0], entry(PODCAST_RSS, "p1", "Feed", " 공백 ", " desc ", "http://feed"));
  EXPECT_EQ(c.podcastStreams()[1].type, PODCAST_SBS);
  EXPECT_EQ(c.radioGenres(), (Ids{"Pop", "Rock"}));
  EXPECT_EQ(c.podcastGenres(), (Ids{" 공백 ", "Talk"}));
  for (const auto& e : c.radioStreams()) EXPECT_FALSE(e.isUser || e.isModified);
}

TEST_F(Catalog, MissingFilesAndInvalidBytesGiveADefinedCatalogue) {
  StreamCatalog empty(dir.file("nowhere"));
  empty.load();
  EXPECT_TRUE(empty.radioStreams().empty());
  EXPECT_TRUE(empty.podcastGenres().empty());
  EXPECT_EQ(empty.findById("x"), nullptr);

  auto c = load("RADIO_MP3|bad|Name\xff\xc0|g|d|http://x\n");
  ASSERT_EQ(c.radioStreams().size(), 1u);
  EXPECT_EQ(c.radioStreams()[0].name, "Name\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(Catalog, UserFileOperations) {
  auto c = load(
      "RADIO_MP3|a|Alpha|Pop|d|http://a\n"
      "RADIO_MP3|b|Beta|Pop|d|http://b\n"
      "PODCAST_RSS|p|Pod|News|d|http://p\n",
      "\xEF\xBB\xBF# comment\n"
      "; also a comment\n"
      "-|\n"
      "-|b \t\r\n"
      "=|RADIO_HLS|a|Alpha edited|Jazz|d2|http://a2\n"
      "RADIO_MP3|bare|Bare line|User|d|http://bare   \n"
      "+|PODCAST_RSS|up|User pod|User|d|http://up\n"
      "+|RADIO_MP3|short|only five|x|y\n"
      "?|RADIO_MP3|q|Odd prefix|x|y|z\n");
  EXPECT_EQ(c.hiddenIds(), (Ids{"b"}));
  ASSERT_EQ(c.overrides().size(), 1u);
  // Only "+|", "=|" and "-|" are operations: "?|..." is an add whose fields start with "?".
  EXPECT_EQ(ids(c.radioStreams()), (Ids{"a", "bare", "RADIO_MP3"}));
  EXPECT_EQ(c.radioStreams()[2].name, "q");
  EXPECT_EQ(ids(c.podcastStreams()), (Ids{"p", "up"}));
  const StreamEntry* a = c.findById("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->name, "Alpha edited");
  EXPECT_EQ(a->type, RADIO_HLS);
  EXPECT_TRUE(a->isModified);
  EXPECT_FALSE(a->isUser);
  const StreamEntry* bare = c.findById("bare");
  ASSERT_NE(bare, nullptr);
  EXPECT_TRUE(bare->isUser);
  EXPECT_EQ(bare->url, "http://bare");
  EXPECT_EQ(c.radioGenres(), (Ids{"Jazz", "User", "Odd prefix"}));
}

TEST_F(Catalog, OverridesAndHidesWithDuplicateIdsAndTypeChanges) {
  auto c = load(
      "RADIO_MP3|dup|First|G|d|u1\n"
      "RADIO_MP3|dup|Second|G|d|u2\n"
      "PODCAST_RSS|dup|Pod|G|d|u3\n"
      "RADIO_MP3|r|Radio|G|d|u4\n",
      "=|PODCAST_RSS|dup|Edited|G|d|e\n"
      "=|PODCAST_RSS|r|Now a podcast|G|d|feed\n"
      "=|RADIO_MP3|ghost|Nobody|G|d|x\n");
  ASSERT_EQ(c.radioStreams().size(), 3u);
  EXPECT_EQ(c.radioStreams()[0].name, "Edited");
  EXPECT_EQ(c.radioStreams()[1].name, "Second");
  EXPECT_EQ(c.podcastStreams()[0].name, "Edited");
  // The type change keeps the entry in its list.
  EXPECT_EQ(c.radioStreams()[2].type, PODCAST_RSS);
  EXPECT_EQ(c.radioStreams()[2].name, "Now a podcast");
  EXPECT_EQ(c.overrides().size(), 3u);  // the unmatched one is kept

  c.hideBuiltin("dup");
  EXPECT_EQ(ids(c.radioStreams()), (Ids{"r"}));
  EXPECT_TRUE(c.podcastStreams().empty());
  // Still there after a fresh load, with the unmatched override written back.
  StreamCatalog again(dir.path());
  again.load();
  EXPECT_EQ(ids(again.radioStreams()), (Ids{"r"}));
  EXPECT_EQ(again.radioStreams()[0].type, PODCAST_RSS);
  EXPECT_EQ(again.overrides().size(), 3u);
}

TEST_F(Catalog, ChangingOperationsPersist) {
  auto c = load("RADIO_MP3|a|Alpha|Pop|d|http://a\nPODCAST_RSS|p|Pod|News|d|http://p\n");
  StreamEntry pod = entry(PODCAST_SBS, "user_1", "Mine", "사용자", "사용자 추가", "prog");
  pod.isModified = true;  // copied as given
  ASSERT_TRUE(c.addUserStream(pod));
  ASSERT_TRUE(c.addUserStream(entry(RADIO_HLS, "user_2", "Hls", "사용자", "직접 추가", "http://x.m3u8")));
  ASSERT_TRUE(c.editBuiltin("a", entry(RADIO_MP3, "ignored", "Alpha 2", "Pop", "d", "http://a2")));
  ASSERT_TRUE(c.editBuiltin("a", entry(RADIO_MP3, "ignored", "Alpha 3", "Pop", "d", "http://a3")));
  EXPECT_EQ(c.overrides().size(), 1u);
  EXPECT_EQ(c.overrides()[0].id, "a");
  EXPECT_EQ(c.findById("a")->name, "Alpha 3");
  EXPECT_EQ(ids(c.podcastStreams()), (Ids{"p", "user_1"}));
  EXPECT_EQ(ids(c.radioStreams()), (Ids{"a", "user_2"}));

  // An edited built-in can still be hidden; restoring brings back the original.
  ASSERT_TRUE(c.hideBuiltin("a"));
  ASSERT_TRUE(c.hideBuiltin("a"));
  EXPECT_EQ(c.hiddenIds(), (Ids{"a"}));
  EXPECT_EQ(c.findById("a"), nullptr);
  ASSERT_TRUE(c.restoreBuiltin("a"));
  EXPECT_EQ(c.findById("a")->name, "Alpha");
  EXPECT_FALSE(c.findById("a")->isModified);
  EXPECT_TRUE(c.overrides().empty());

  // Hiding a user-only id removes nothing but is remembered.
  ASSERT_TRUE(c.hideBuiltin("user_2"));
  EXPECT_NE(c.findById("user_2"), nullptr);
  EXPECT_EQ(c.hiddenIds(), (Ids{"user_2"}));
  // Deleting removes user entries only.
  ASSERT_TRUE(c.deleteUserStream("p"));
  EXPECT_NE(c.findById("p"), nullptr);
  ASSERT_TRUE(c.deleteUserStream("user_1"));
  EXPECT_EQ(ids(c.podcastStreams()), (Ids{"p"}));

  StreamCatalog fresh(dir.path());
  fresh.load();
  EXPECT_EQ(fresh.radioStreams(), c.radioStreams());
  EXPECT_EQ(fresh.podcastStreams(), c.podcastStreams());
  EXPECT_EQ(fresh.hiddenIds(), (Ids{"user_2"}));
}

TEST_F(Catalog, SavedUserFileReadsBackToTheSameCatalogue) {
  auto c = load("RADIO_MP3|a|Alpha|Pop|d|http://a\nRADIO_MP3|b|Beta|Pop|d|http://b\n"
                "PODCAST_RSS|p|Pod|News|d|http://p\n");
  c.hideBuiltin("b");
  c.editBuiltin("p", entry(PODCAST_RSS, "p", "Pod 2", "뉴스", "설명", "http://p2?a=1&b=2"));
  c.addUserStream(entry(RADIO_PLS, "user_7", "내 방송", "사용자", "사용자 추가", "http://x.pls"));
  c.addUserStream(entry(PODCAST_RSS, "user_8", "Feed", "사용자", "사용자 추가", "http://f"));
  c.addUserStream(entry(RADIO_MP3, "user_9", "Two", "사용자", "사용자 추가", "http://two"));

  std::string text = dir.read("streams_user.ini");
  EXPECT_EQ(text,
            "# Vell Player user streams\n"
            "# Format:\n"
            "#   -|<id>                              hide a built-in\n"
            "#   =|<TYPE>|<id>|<name>|<genre>|<desc>|<url>   modify a built-in\n"
            "#   +|<TYPE>|<id>|<name>|<genre>|<desc>|<url>   add new user stream\n"
            "\n"
            "-|b\n"
            "=|PODCAST_RSS|p|Pod 2|뉴스|설명|http://p2?a=1&b=2\n"
            "+|RADIO_PLS|user_7|내 방송|사용자|사용자 추가|http://x.pls\n"
            "+|RADIO_MP3|user_9|Two|사용자|사용자 추가|http://two\n"
            "+|PODCAST_RSS|user_8|Feed|사용자|사용자 추가|http://f\n");

  StreamCatalog back(dir.path());
  back.load();
  EXPECT_EQ(back.radioStreams(), c.radioStreams());
  EXPECT_EQ(back.podcastStreams(), c.podcastStreams());
  EXPECT_EQ(back.radioGenres(), c.radioGenres());
  EXPECT_EQ(back.podcastGenres(), c.podcastGenres());
  ASSERT_TRUE(back.save());  // the same hides and overrides: the same bytes
  EXPECT_EQ(dir.read("streams_user.ini"), text);
}

TEST_F(Catalog, FieldsThatTheFormatCannotCarryStayOneRecord) {
  auto c = load("");
  c.addUserStream(entry(RADIO_MP3, "user_1", "A|B\nC", "G\r", "-|evil\n+|RADIO_MP3|x|x|x|x|x",
                        "http://h/p|q \r"));
  ASSERT_EQ(c.radioStreams().size(), 1u);
  const StreamEntry& e = c.radioStreams()[0];
  EXPECT_EQ(e.name, "A\xEF\xBD\x9C" "B C");
  EXPECT_EQ(e.genre, "G\r");  // harmless inside a line
  EXPECT_EQ(e.url, "http://h/p%7Cq");
  EXPECT_TRUE(c.hiddenIds().empty());
  EXPECT_EQ(c.findById("x"), nullptr);
}

TEST_F(Catalog, SearchAndGenreLookUps) {
  auto c = load(
      "RADIO_MP3|1|classic fm|클래식|영국|u\n"
      "RADIO_MP3|2|Jazz24|재즈|Seattle|u\n"
      "RADIO_MP3|3|국악방송|국내|Korean traditional|u\n"
      "PODCAST_RSS|4|News|뉴스|daily|u\n");
  EXPECT_EQ(ids(c.searchRadio("CLASSIC")), (Ids{"1"}));
  EXPECT_EQ(ids(c.searchRadio("seATTle")), (Ids{"2"}));   // description
  EXPECT_EQ(ids(c.searchRadio("재즈")), (Ids{"2"}));       // genre, Hangul exact
  EXPECT_EQ(ids(c.searchRadio("국악")), (Ids{"3"}));
  EXPECT_TRUE(c.searchRadio("국악방송X").empty());
  EXPECT_EQ(ids(c.searchRadio("")), (Ids{"1", "2", "3"}));
  EXPECT_EQ(ids(c.searchRadio("A")), (Ids{"1", "2", "3"}));
  EXPECT_EQ(ids(c.searchPodcasts("NEWS")), (Ids{"4"}));
  EXPECT_EQ(ids(c.radioByGenre("재즈")), (Ids{"2"}));
  EXPECT_TRUE(c.radioByGenre("뉴스").empty());
  EXPECT_EQ(ids(c.podcastsByGenre("뉴스")), (Ids{"4"}));
}

TEST_F(Catalog, ResetAllForgetsEveryChangeAndTheFile) {
  auto c = load("RADIO_MP3|a|Alpha|Pop|d|http://a\nRADIO_MP3|b|Beta|Pop|d|http://b\n");
  c.addUserStream(entry(RADIO_MP3, "user_1", "Mine", "사용자", "d", "http://m"));
  c.editBuiltin("a", entry(RADIO_MP3, "a", "Edited", "Pop", "d", "http://e"));
  c.hideBuiltin("b");
  ASSERT_TRUE(fileExists(dir.file("streams_user.ini")));
  EXPECT_TRUE(c.resetAll());
  EXPECT_FALSE(fileExists(dir.file("streams_user.ini")));
  EXPECT_EQ(ids(c.radioStreams()), (Ids{"a", "b"}));
  EXPECT_EQ(c.findById("a")->name, "Alpha");
  EXPECT_TRUE(c.hiddenIds().empty());
  EXPECT_TRUE(c.overrides().empty());
}

TEST_F(Catalog, FailedSaveKeepsTheChangeForTheSession) {
  auto c = load("RADIO_MP3|a|Alpha|Pop|d|http://a\n", "+|RADIO_MP3|user_1|Old|사용자|d|http://o\n");
  // A directory where the user file belongs makes every save fail.
  std::string user = dir.file("streams_user.ini");
  ASSERT_TRUE(removeFile(user));
  ASSERT_TRUE(makeDirectories(user + "/blocked"));
  EXPECT_FALSE(c.addUserStream(entry(PODCAST_RSS, "user_2", "New", "사용자", "d", "http://n")));
  EXPECT_FALSE(c.editBuiltin("a", entry(RADIO_MP3, "a", "Edited", "Pop", "d", "http://e")));
  EXPECT_EQ(ids(c.radioStreams()), (Ids{"a", "user_1"}));
  EXPECT_EQ(ids(c.podcastStreams()), (Ids{"user_2"}));
  EXPECT_EQ(c.podcastGenres(), (Ids{"사용자"}));
  EXPECT_EQ(c.findById("a")->name, "Edited");
  EXPECT_TRUE(c.findById("a")->isModified);
  // Once the file can be written again, the next change writes everything.
  std::filesystem::remove_all(user);
  ASSERT_TRUE(c.hideBuiltin("zzz"));
  StreamCatalog back(dir.path());
  back.load();
  EXPECT_EQ(back.radioStreams(), c.radioStreams());
  EXPECT_EQ(back.podcastStreams(), c.podcastStreams());
}

TEST_F(Catalog, EditNeverTurnsAUserEntryIntoABuiltin) {
  auto c = load("", "=|RADIO_MP3|user_1|Edit|G|d|x\n+|RADIO_MP3|user_1|Mine|G|d|http://m\n");
  ASSERT_EQ(c.radioStreams().size(), 1u);
  EXPECT_TRUE(c.radioStreams()[0].isUser);
  EXPECT_EQ(c.radioStreams()[0].name, "Mine");
}

TEST_F(Catalog, NewUserIdsAndTypesForUrls) {
  auto c = load("", "+|RADIO_MP3|user_100|A|G|d|u\n+|RADIO_MP3|user_101|B|G|d|u\n");
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
  std::string source = std::string(VELL_SOURCE_DIR) + "/data/streams.ini";
  ASSERT_TRUE(readFile(source, bytes)) << source;
  auto c = load(bytes);
  EXPECT_GE(c.radioStreams().size(), 24u);
  EXPECT_GE(c.podcastStreams().size(), 6u);
  std::set<std::string> seen;
  for (const auto* list : {&c.radioStreams(), &c.podcastStreams()}) {
    for (const StreamEntry& e : *list) {
      EXPECT_TRUE(seen.insert(e.id).second) << e.id;
      EXPECT_TRUE(startsWith(e.url, "http://") || startsWith(e.url, "https://")) << e.id;
      EXPECT_FALSE(e.name.empty() || e.genre.empty()) << e.id;
      if (e.type == RADIO_HLS) {
        EXPECT_TRUE(contains(e.url, ".m3u8")) << e.id;
      }
      if (e.type == RADIO_PLS) {
        EXPECT_TRUE(endsWith(e.url, ".pls")) << e.id;
      }
    }
  }
}

}  // namespace
}  // namespace vell
