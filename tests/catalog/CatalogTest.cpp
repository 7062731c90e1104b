// Tests of the stream catalogue (its files, changes, resets, search and the shipped list) and of
// the feed scanners: PLS, RSS, the broadcaster's JSON and the episode loader.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "catalog/EpisodeLoader.h"
#include "catalog/FeedParse.h"
#include "catalog/PodcastFeeds.h"
#include "catalog/StreamCatalog.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/HttpServer.h"
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

// A server answering each path with a fixed document (404 page otherwise).
test::HttpServer::Handler serve(std::map<std::string, std::string> docs) {
  return [docs](const test::HttpRequest& req, test::HttpConnection& c) {
    auto it = docs.find(req.target);
    if (it == docs.end()) c.respond(404, "<html><body>Not Found</body></html>", "text/html");
    else c.respond(200, it->second);
  };
}

// Episodes as "title|date|url" joined by ";", so that one string checks a whole list.
std::string described(const std::vector<PodcastEpisode>& episodes) {
  std::string out;
  for (const PodcastEpisode& e : episodes) out += (out.empty() ? "" : ";") + e.title + "|" + e.date + "|" + e.url;
  return out;
}

TEST(Pls, FirstEntryLocallyAndOverHttp) {
  const std::pair<const char*, const char*> docs[] = {
      {"[playlist]\nNumberOfEntries=2\nFile1=http://a/1\nFile2=http://a/2\n", "http://a/1"},
      {"[playlist]\r\nfile1=http://lower\r\n", "http://lower"},
      {"[playlist]\r\nFILE1=http://caps\r\n", ""},
      {"File1=http://spaces \t \r\nFile2=x", "http://spaces"},
      {"File1=  http://lead", "  http://lead"},  // leading kept, up to the end
      {"File1=\r\nFile2=http://second\n", ""},
      {"file1=http://lower\nFile1=http://upper\n", "http://upper"},  // "File1=" wins over an earlier "file1="
      {"File1=   \n", ""}, {"", ""}, {"File1=", ""},
  };
  for (const auto& [doc, entry] : docs) EXPECT_EQ(plsFirstEntry(doc), entry) << doc;

  test::HttpServer server(serve({{"/ok.pls", "[playlist]\r\nFile1=http://stream.example/live \r\nTitle1=x\r\n"},
                                 {"/empty.pls", "[playlist]\nFile1=\n"}}));
  EXPECT_EQ(resolvePls(server.url("/ok.pls")), "http://stream.example/live");
  // Without an entry, or from a 404 page fetched like any body, the URL stays.
  for (const char* path : {"/empty.pls", "/gone.pls"}) EXPECT_EQ(resolvePls(server.url(path)), server.url(path));
  EXPECT_EQ(server.requests().back().header("user-agent").substr(0, 11), "Mozilla/5.0");
  test::HttpServer silent([](const test::HttpRequest&, test::HttpConnection& c) { c.wait(20000); });
  EXPECT_EQ(resolvePls(silent.url("/slow.pls"), 200), silent.url("/slow.pls"));
}

TEST(TagUrl, AttributesQuotesEntitiesAndBounds) {
  const std::pair<std::string, std::string> cases[] = {
      {"<enclosure url=\"http://a/1.mp3\" type=\"audio/mpeg\"/>", "http://a/1.mp3"},
      {"<enclosure length='5' url='http://single'/>", "http://single"},
      {"<enclosure href=\"http://h\"/>", "http://h"},
      {"<enclosure url=\"http://x?a=1&amp;b=2&amp;amp;amp;c=3&&amp;d&amp\">", "http://x?a=1&b=2&c=3&&d&amp"},
      {"<enclosure url=\"http://x?&ampamp;\">", "http://x?&ampamp;"},
      {"<enclosures url=\"http://longer\">", "http://longer"},
      {"<enclosure URL=\"http://upper\"/>", ""}, {"<Enclosure url=\"http://case\">", ""},
      // Only the first tag counts, even when it has no usable attribute.
      {"<enclosure type=\"audio/mpeg\"/><enclosure url=\"http://second\"/>", ""},
      // The url pattern without a closing quote inside the tag falls through to href.
      {"<enclosure url=\"broken href='http://href' > x\"", "http://href"},
      {"<enclosure type=\"a\"> url=\"http://outside\"", ""},  // the attribute must lie inside the tag
      {"<enclosure url=\"\"/>", ""}, {"", ""},
      // A tag without '>' ends 500 bytes after its '<'; a quote at the 500th byte is inside.
      {"<enclosure" + std::string(470, ' ') + "url=\"http://in\"", "http://in"},
      {"<enclosure" + std::string(500, ' ') + "url=\"http://out\"", ""},
      {"<enclosure url=\"" + std::string(484, 'a') + "\"tail", std::string(484, 'a')},
      {"<enclosure url=\"http://cut", ""},
  };
  for (const auto& [text, url] : cases) EXPECT_EQ(extractTagUrl(text, "enclosure"), url) << text.substr(0, 60);
}

TEST(Rss, TitlesDatesMediaAndItemBoundaries) {
  const std::string media = "<enclosure url=\"http://m\"/>";
  const std::pair<std::string, std::string> items[] = {
      // Character references are decoded outside CDATA, once.
      {media + "<title>Tom &amp; Jerry&#39;s &quot;Show&quot; &#x2013; &lt;1&gt; &apos;x&apos;</title>",
       "Tom & Jerry's \"Show\" – <1> 'x'||http://m"},
      {media + "<title>&amp;amp; &bogus; & alone &#xD800; &#12 It&rsquo;s&hellip;</title>",
       "&amp; &bogus; & alone \xEF\xBF\xBD &#12 It’s…||http://m"},
      {media + "<title>&#65;&#x1F600; &#1114112; &#0; &; &amp &#x; &#12345678901; \xED\xA0\x80</title>",
       "A\xF0\x9F\x98\x80 \xEF\xBF\xBD \xEF\xBF\xBD &; &amp &#x; &#12345678901; \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD||http://m"},
      {media + "<title><![CDATA[<b>a</b> &amp; b]]></title>", "<b>a</b> &amp; b||http://m"},
      {media + "<title>\n  Spaced \n</title>", "\n  Spaced \n||http://m"},
      {media + "<title>Open title", "||http://m"},
      {media + "<title><![CDATA[Open cdata</title>", "||http://m"},
      // The enclosure before media:content before the link; enclosures of a known type
      // that is neither audio nor video are passed over.
      {"<link>http://l.mp3</link><media:content url=\"http://c.mp3\"/>" + media, "||http://m"},
      {"<media:content url='http://c.m4a'/><link>http://l.mp3</link>", "||http://c.m4a"},
      {"<enclosure url=\"http://i.jpg\" type=\"image/jpeg\"/><enclosure url=\"http://a.mp3\" type=\"audio/mpeg\"/>",
       "||http://a.mp3"},
      {"<enclosure url=\"http://i.jpg\" type=\"image/jpeg\"/>", ""},
      {"<enclosure type='application/pdf' url='http://d.pdf'/><link>http://l.mp3</link>", "||http://l.mp3"},
      {"<enclosure url=\"http://v.mp4\" length=\"1\" type=\"video/mp4\"/>", "||http://v.mp4"},
      {"<enclosure url=\"http://x\" type=\"application/octet-stream\"/>", "||http://x"},
      {"<enclosure url=\"http://h.m3u8\" type=\"application/x-mpegURL\"/>", "||http://h.m3u8"},
      {"<media:content url=\"http://p.png\" medium=\"image\"/><media:content url=\"http://a.m4a\"/>", "||http://a.m4a"},
      // The link: an audio file name (case-sensitive), its references decoded, CDATA read.
      {"<link>http://cdn/a.mp3?x=1&amp;y=2</link>", "||http://cdn/a.mp3?x=1&y=2"},
      {"<link><![CDATA[http://cdn/c.ogg]]></link>", "||http://cdn/c.ogg"},
      {"<link>http://site/page.html</link>", ""}, {"<title>x</title><link>http://a.mp3", ""},
      {"<link>http://A.MP3</link>", ""},
  };
  for (const auto& [inner, episode] : items)
    EXPECT_EQ(described(parseRssEpisodes("<item>" + inner + "</item>", 15)), episode) << inner;
  // RFC 822 dates with or without the day name, shown in one form; others show nothing.
  const std::pair<const char*, const char*> dates[] = {
      {"Sat, 07 Nov 2015 12:00:00 EST", "07 Nov 2015"}, {"07 Nov 2015 12:00:00 EST", "07 Nov 2015"},
      {"Sat, 7 Nov 2015 12:00:00 +0000", "07 Nov 2015"}, {"\n  Tue, 5 march 24 06:00 GMT\n", "05 Mar 2024"},
      {"Tue, 05 Mar 2024", "05 Mar 2024"},                {"2015-11-07T12:00:00Z", ""},
      {"Sat, 32 Nov 2015 12:00:00", ""},                 {"Sat, 07 Nob 2015 12:00:00", ""},
      {"Sat, 07 Nov 201", ""},
  };
  for (const auto& [text, date] : dates)
    EXPECT_EQ(described(parseRssEpisodes("<item>" + media + "<pubDate>" + text + "</pubDate></item>", 15)),
              std::string("|") + date + "|http://m") << text;
  EXPECT_EQ(described(parseRssEpisodes("<item>" + media + "<pubDate>Tue, 05 Mar 2024 06:00</item>", 15)), "||http://m");
  // Attributes on <item> are fine; a missing </item> ends the list.
  EXPECT_EQ(described(parseRssEpisodes("<item id=\"1\">" + media + "</item><item>" + media, 15)), "||http://m");
  EXPECT_TRUE(parseRssEpisodes("<item>" + media + "</item>", -3).empty());
}

TEST(Rss, DeclaredEncodingIsHonoured) {
  std::string hangul;
  ASSERT_TRUE(utf8ToCp949("한글 방송", hangul));
  auto feed = [](const std::string& decl, const std::string& title) {
    return decl + "<rss><channel><item><title>" + title + "</title><enclosure url=\"http://e\"/></item></channel></rss>";
  };
  std::string wide = "\xFF\xFE";
  for (char c : feed("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", "wide")) wide += std::string{c, '\0'};
  const std::pair<std::string, std::string> cases[] = {
      {feed("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", "\xCF\xF0\xE8\xE2\xE5\xF2 &amp; \xEC\xE8\xF0"),
       "Привет & мир"},
      {feed("<?xml version='1.0' encoding='ISO-8859-1'?>", "Caf\xE9"), "Café"},
      {feed("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"EUC-KR\" standalone=\"yes\"?>", hangul), "한글 방송"},
      // Declared Latin but written in UTF-8: kept as written.
      {feed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "Café"), "Café"},
      // An unknown set leaves the bytes, each bad one shown as U+FFFD.
      {feed("<?xml version=\"1.0\" encoding=\"x-no-such-set\"?>", "a\xE9"), "a\xEF\xBF\xBD"},
      {wide, "wide"},
  };
  for (const auto& [doc, title] : cases) EXPECT_EQ(described(parseRssEpisodes(doc, 15)), title + "||http://e");
}

// A JSON episode entry as the service writes it.
std::string jsonEntry(const std::string& title, const std::string& fields) {
  return "{\"CON_TITLE\":\"" + title + "\"," + fields + "}";
}

TEST(ServiceJson, KeysValuesAndEscapes) {
  auto entry = [](const std::string& title, const std::string& url, const std::string& date) {
    return jsonEntry(title, "\"TITLE\":\"ignored\",\"S3_FILE_URL\":\"" + url + "\",\"FILE_URL\":\"http://fallback\","
                            "\"PODCAST_REG_DATE\":\"" + date + "\"");
  };
  // An empty S3_FILE_URL gives no episode even though FILE_URL follows; an escaped quote
  // ends the value; an 8-byte date stays whole.
  std::string doc = "{\"list\":[" + entry("첫 회", "https:\\/\\/cdn\\/a.mp3", "2024-03-05 06:00:00") + "," +
                    entry("둘째", "http:\\\\/\\/cdn\\/b.mp3\\", "20240306") + "," + entry("no url", "", "2024-03-07") +
                    "," + entry("say \\\"hi\\\" now", "http://q", "2024-03-08") + "]}";
  EXPECT_EQ(described(parseServiceEpisodes(doc, 15)),
            "첫 회|2024-03-05|https://cdn/a.mp3;둘째|20240306|http://cdn/b.mp3\\;say \\|2024-03-08|http://q");
  EXPECT_EQ(parseServiceEpisodes(doc, 2).size(), 2u);
  EXPECT_TRUE(parseServiceEpisodes(doc, 0).empty());

  // Date keys by preference: PODCAST_REG_DATE, REG_DT, BROAD_DATE.
  EXPECT_EQ(described(parseServiceEpisodes(
                jsonEntry("d", "\"FILE_URL\":\"http://d\",\"BROAD_DATE\":\"2024-01-01\",\"REG_DT\":\"2024-02-02 10:00\""),
                15)),
            "d|2024-02-02|http://d");
  // A title key is not found inside a longer key, nor a value without its quotes.
  EXPECT_TRUE(parseServiceEpisodes("{\"XCON_TITLE\":\"a\",\"FILE_URL\":\"http://a\",\"TITLE\":5}", 15).empty());
  // Plain TITLE keys count only without any CON_TITLE, and then for one episode at most.
  std::string plain = "[{\"TITLE\":\"a\",\"FILE_URL\":\"http://a\"},{\"TITLE\":\"b\",\"FILE_URL\":\"http://b\"}";
  EXPECT_EQ(described(parseServiceEpisodes(plain + "]", 15)), "a||http://a");
  EXPECT_TRUE(parseServiceEpisodes(plain + ",{\"CON_TITLE\":\"c\"}]", 15).empty());

  // Fields count only when they start within 3000 bytes of the title key: `gap` bytes of filler
  // put the URL key exactly that far behind it.
  auto withGap = [](const std::string& key, size_t gap) {
    std::string head = "\"CON_TITLE\":\"t\",\"PAD\":\"";
    return head + std::string(gap - head.size() - 2, 'x') + "\",\"" + key + "\":\"http://u\"}";
  };
  EXPECT_EQ(parseServiceEpisodes(withGap("S3_FILE_URL", 2999), 15).size(), 1u);
  EXPECT_TRUE(parseServiceEpisodes(withGap("S3_FILE_URL", 3000), 15).empty());
  // An S3 address past the window lets FILE_URL, within it, be used; dates follow the same rule.
  std::string far = "{\"CON_TITLE\":\"t\",\"FILE_URL\":\"http://near\",\"PAD\":\"" + std::string(3100, 'x') +
                    "\",\"S3_FILE_URL\":\"http://far\",\"REG_DT\":\"2024-01-01\"}";
  EXPECT_EQ(described(parseServiceEpisodes(far, 15)), "t||http://near");
}

TEST(ServiceJson, RequestAndFetch) {
  std::string doc = "{\"list\":[" + jsonEntry("a", "\"FILE_URL\":\"http:\\/\\/cdn\\/a.mp3\"") + "]}";
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) { c.respond(200, doc); });
  EXPECT_EQ(described(fetchServiceEpisodes("prog_7", 15, server.url(""))), "a||http://cdn/a.mp3");
  EXPECT_TRUE(fetchServiceEpisodes("prog_7", 0, server.url("")).empty());
  ASSERT_EQ(server.requests().size(), 1u);  // nothing fetched for nothing wanted
  EXPECT_EQ(server.requests()[0].target,
            "/radio-api/podcast/podcast_list_json?vod_id=prog_7&page=1&item_per_page=15&sortNew=1");
}

// Stands in for the window's event queue: loader threads post, the test thread waits.
// Shared ownership keeps it alive for a loader thread that finishes late.
struct Mailbox {
  std::mutex mutex;
  std::condition_variable cv;
  std::map<std::string, std::unique_ptr<EpisodeBatch>> batches;  // by podcast id

  static EpisodeDelivery to(const std::shared_ptr<Mailbox>& box) {
    return [box](std::unique_ptr<EpisodeBatch> batch) {
      std::lock_guard<std::mutex> lock(box->mutex);
      box->batches[batch->podcastId] = std::move(batch);
      box->cv.notify_all();
    };
  }
  // The batches once `n` have come (fewer after 10 s), taken out of the box.
  std::map<std::string, std::unique_ptr<EpisodeBatch>> take(size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    cv.wait_for(lock, std::chrono::seconds(10), [&] { return batches.size() >= n; });
    return std::exchange(batches, {});
  }
};

StreamEntry podcast(const std::string& id, const std::string& url, int32_t type = PODCAST_RSS) {
  return {type, id, "", "", "", url};
}

// A slow list for a podcast the user has left must never replace the one being shown,
// whatever order the loader threads finish in.
TEST(EpisodeLoader, OnlyTheAnswerToTheLatestRequestCounts) {
  auto box = std::make_shared<Mailbox>();
  EpisodeLoader loader([](int32_t, const std::string& url) { return std::vector<PodcastEpisode>(3, {"t", "", url}); });
  const int count = 12;
  for (int i = 0; i < count; ++i) loader.start(podcast(std::to_string(i), "http://" + std::to_string(i)), Mailbox::to(box));
  EXPECT_TRUE(loader.loading());
  auto batches = box->take(count);
  ASSERT_EQ(batches.size(), size_t(count));
  for (int i = count - 1; i >= 0; --i) {  // the newest first, then the others arriving late
    const EpisodeBatch& batch = *batches[std::to_string(i)];
    EXPECT_EQ(batch.episodes, std::vector<PodcastEpisode>(3, {"t", "", "http://" + std::to_string(i)}));
    EXPECT_EQ(loader.accept(batch), i == count - 1) << i;
  }
  EXPECT_FALSE(loader.loading());

  // A cancelled request is discarded; the same podcast selected again counts.
  loader.start(podcast("c", "http://c"), Mailbox::to(box));
  loader.cancel();
  EXPECT_FALSE(loader.loading());
  for (bool counts : {false, true}) {
    auto answer = box->take(1);
    ASSERT_EQ(answer.count("c"), 1u);
    EXPECT_EQ(loader.accept(*answer["c"]), counts);
    loader.start(podcast("c", "http://c"), Mailbox::to(box));
  }
  // No loader thread may still run while the process ends (under wine that can hang the exit).
  EXPECT_EQ(box->take(1).size(), 1u);
}

TEST(EpisodeLoader, RealFetchesByTypeKeepTheFirstEpisodesWithMedia) {
  std::string feed = "<?xml version=\"1.0\"?><rss><channel><title>Show</title><link>http://show.mp3</link>";
  for (int i = 1; i <= 40; ++i) {
    std::string n = std::to_string(i);
    feed += "<item><title>Ep " + n + "</title><pubDate>Tue, 05 Mar 2024 06:00:00 GMT</pubDate>" +
            (i % 3 ? "<enclosure url=\"http://cdn/" + n + ".mp3\"/>" : "") + "</item>\n";
  }
  test::HttpServer server(serve({{"/rss", feed + "</channel></rss>"}}));
  auto box = std::make_shared<Mailbox>();
  EpisodeLoader loader(loadEpisodes);
  for (auto [id, type] : {std::pair<const char*, int32_t>{"radio", RADIO_MP3}, {"unknown", 7}, {"rss", PODCAST_RSS}})
    loader.start(podcast(id, server.url("/rss"), type), Mailbox::to(box));
  auto batches = box->take(3);
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_TRUE(loader.accept(*batches["rss"]));
  EXPECT_TRUE(batches["radio"]->episodes.empty() && batches["unknown"]->episodes.empty());  // still delivered
  const auto& eps = batches["rss"]->episodes;
  ASSERT_EQ(eps.size(), size_t(kEpisodeListLength));
  EXPECT_EQ(eps[0], (PodcastEpisode{"Ep 1", "05 Mar 2024", "http://cdn/1.mp3"}));
  EXPECT_EQ(eps[14].title, "Ep 22");  // every third item has no media
  EXPECT_EQ(server.requests().size(), 1u);  // other types fetch nothing
  EXPECT_EQ(fetchRssEpisodes(server.url("/rss"), 2).size(), 2u);
  EXPECT_TRUE(fetchRssEpisodes(server.url("/rss"), 0).empty() && fetchRssEpisodes(server.url("/no"), 15).empty());
}

}  // namespace
}  // namespace vell
