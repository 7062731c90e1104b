#include <gtest/gtest.h>

#include <cstdlib>

#include "catalog/FeedParse.h"
#include "catalog/PodcastFeeds.h"
#include "catalog/StreamEntry.h"
#include "catalog/TextClean.h"
#include "platform/TextLines.h"
#include "platform/Text.h"
#include "support/HttpServer.h"

namespace vell {
namespace {

class Feeds : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  }
};

// A server answering each path with a fixed document (404 page otherwise).
test::HttpServer::Handler serve(std::map<std::string, std::string> docs) {
  return [docs](const test::HttpRequest& req, test::HttpConnection& c) {
    auto it = docs.find(req.target);
    if (it == docs.end()) c.respond(404, "<html><body>Not Found</body></html>", "text/html");
    else c.respond(200, it->second);
  };
}

TEST(PlsEntry, KeysValuesAndLineEnds) {
  EXPECT_EQ(plsFirstEntry("[playlist]\nNumberOfEntries=2\nFile1=http://a/1\nFile2=http://a/2\n"), "http://a/1");
  EXPECT_EQ(plsFirstEntry("[playlist]\r\nfile1=http://lower\r\n"), "http://lower");
  EXPECT_EQ(plsFirstEntry("[playlist]\r\nFILE1=http://caps\r\n"), "");
  EXPECT_EQ(plsFirstEntry("File1=http://spaces \t \r\nFile2=x"), "http://spaces");
  EXPECT_EQ(plsFirstEntry("File1=  http://lead"), "  http://lead");  // leading kept, up to the end
  EXPECT_EQ(plsFirstEntry("File1=\r\nFile2=http://second\n"), "");
  EXPECT_EQ(plsFirstEntry("File1=   \n"), "");
  // "File1=" wins over an earlier "file1=".
  EXPECT_EQ(plsFirstEntry("file1=http://lower\nFile1=http://upper\n"), "http://upper");
  EXPECT_EQ(plsFirstEntry(""), "");
  EXPECT_EQ(plsFirstEntry("File1="), "");
}

TEST_F(Feeds, ResolvePlsOverHttp) {
  test::HttpServer server(serve({
      {"/ok.pls", "[playlist]\r\nFile1=http://stream.example/live \r\nTitle1=x\r\n"},
      {"/caps.pls", "[playlist]\nFILE1=http://caps\n"},
      {"/empty.pls", "[playlist]\nFile1=\n"},
      {"/nothing.pls", ""},
  }));
  EXPECT_EQ(resolvePls(server.url("/ok.pls")), "http://stream.example/live");
  for (const char* path : {"/caps.pls", "/empty.pls", "/nothing.pls"})
    EXPECT_EQ(resolvePls(server.url(path)), server.url(path)) << path;
  // A 404 page is fetched like any body and names no entry.
  EXPECT_EQ(resolvePls(server.url("/gone.pls")), server.url("/gone.pls"));
  EXPECT_EQ(server.requests().back().header("user-agent").substr(0, 11), "Mozilla/5.0");
  test::HttpServer silent([](const test::HttpRequest&, test::HttpConnection& c) { c.wait(20000); });
  EXPECT_EQ(resolvePls(silent.url("/slow.pls"), 200), silent.url("/slow.pls"));
}

TEST(TagUrl, AttributesQuotesAndEntities) {
  EXPECT_EQ(extractTagUrl("<enclosure url=\"http://a/1.mp3\" type=\"audio/mpeg\"/>", "enclosure"), "http://a/1.mp3");
  EXPECT_EQ(extractTagUrl("<enclosure length='5' url='http://single'/>", "enclosure"), "http://single");
  EXPECT_EQ(extractTagUrl("<enclosure URL=\"http://upper\"/>", "enclosure"), "");
  EXPECT_EQ(extractTagUrl("<atom:link href=\"http://h\"/>", "atom:link"), "http://h");
  EXPECT_EQ(extractTagUrl("<enclosure url=\"http://x?a=1&amp;b=2&amp;amp;c=3\">", "enclosure"),
            "http://x?a=1&b=2&c=3");
  EXPECT_EQ(extractTagUrl("<enclosures url=\"http://longer\">", "enclosure"), "http://longer");
  EXPECT_EQ(extractTagUrl("<Enclosure url=\"http://case\">", "enclosure"), "");
  // Only the first tag counts, even when it has no usable attribute.
  EXPECT_EQ(extractTagUrl("<enclosure type=\"audio/mpeg\"/><enclosure url=\"http://second\"/>", "enclosure"), "");
  // The url pattern without a closing quote inside the tag falls through to href.
  EXPECT_EQ(extractTagUrl("<media:content url=\"broken href='http://href' > x\"", "media:content"), "http://href");
  EXPECT_EQ(extractTagUrl("<enclosure url=\"\"/>", "enclosure"), "");
  // The attribute must lie inside the tag.
  EXPECT_EQ(extractTagUrl("<enclosure type=\"a\"> url=\"http://outside\"", "enclosure"), "");
  EXPECT_EQ(extractTagUrl("", "enclosure"), "");
}

TEST(TagUrl, TagWithoutCloseEndsAfter500Bytes) {
  std::string pad(470, ' ');
  EXPECT_EQ(extractTagUrl("<enclosure" + pad + "url=\"http://in\"", "enclosure"), "http://in");
  std::string far(500, ' ');
  EXPECT_EQ(extractTagUrl("<enclosure" + far + "url=\"http://out\"", "enclosure"), "");
  // The closing quote at exactly the 500th byte after '<' is still inside.
  std::string text = "<enclosure url=\"" + std::string(500 - 16, 'a') + "\"tail";
  EXPECT_EQ(extractTagUrl(text, "enclosure"), std::string(484, 'a'));
  EXPECT_EQ(extractTagUrl("<enclosure url=\"http://cut", "enclosure"), "");
}

std::string rssItem(int i) {
  std::string n = std::to_string(i);
  std::string body = "<pubDate>Tue, 05 Mar 2024 06:00:00 GMT</pubDate>";
  switch (i % 8) {
    case 1:
      body += "<title><![CDATA[<b>Ep " + n + "</b> &amp; more]]></title>"
              "<enclosure url=\"http://cdn/e" + n + ".mp3?a=1&amp;b=2\"/>"
              "<media:content url=\"http://cdn/media" + n + ".mp3\"/>";
      break;
    case 2: body += "<title>Ep " + n + " &amp; co</title><media:content url='http://cdn/m" + n + ".m4a'/>"; break;
    case 3: body += "<title>Ep " + n + "</title><link>http://cdn/l" + n + ".mp3</link>"; break;
    case 4: body += "<title>No media " + n + "</title><link>http://site/page" + n + ".html</link>"; break;
    case 5: body += "<title>Ep " + n + "</title><link><![CDATA[http://cdn/c" + n + ".ogg]]></link>"; break;
    case 6: body += "<title>Ep " + n + "</title><enclosure url=\"http://cdn/e" + n + ".aac\"/>"; break;
    case 7: body += "<title>Ep " + n + "</title><enclosure href=\"http://cdn/h" + n + ".mp3\"/>"; break;
    default: body += "<title>Nothing " + n + "</title>"; break;
  }
  return "<item>\n" + body + "\n</item>\n";
}

TEST_F(Feeds, RssFeedOfFortyItemsYieldsTheFirstFifteenWithMedia) {
  std::string feed = "<?xml version=\"1.0\"?><rss><channel><title>Show</title><link>http://show.mp3</link>";
  for (int i = 1; i <= 40; ++i) feed += rssItem(i);
  feed += "</channel></rss>";
  test::HttpServer server(serve({{"/feed.xml", feed}}));
  auto eps = fetchRssEpisodes(server.url("/feed.xml"), kEpisodeListLength);
  ASSERT_EQ(eps.size(), 15u);
  std::vector<int> numbers;
  for (int i = 1; numbers.size() < 15; ++i) {
    if (i % 8 != 4 && i % 8 != 0) numbers.push_back(i);
  }
  for (size_t k = 0; k < eps.size(); ++k) {
    EXPECT_EQ(eps[k].date, "05 Mar 2024");
    EXPECT_NE(eps[k].title.find("Ep " + std::to_string(numbers[k])), std::string::npos) << eps[k].title;
  }
  EXPECT_EQ(eps[0], (PodcastEpisode{"<b>Ep 1</b> &amp; more", "05 Mar 2024", "http://cdn/e1.mp3?a=1&b=2"}));
  EXPECT_EQ(eps[1], (PodcastEpisode{"Ep 2 & co", "05 Mar 2024", "http://cdn/m2.m4a"}));
  EXPECT_EQ(eps[2].url, "http://cdn/l3.mp3");
  EXPECT_EQ(eps[3].url, "http://cdn/c5.ogg");
  EXPECT_EQ(eps[4].url, "http://cdn/e6.aac");
  EXPECT_EQ(eps[5].url, "http://cdn/h7.mp3");
  EXPECT_EQ(eps[14].title, "Ep 19");
  EXPECT_EQ(fetchRssEpisodes(server.url("/feed.xml"), 0).size(), 0u);
  EXPECT_EQ(fetchRssEpisodes(server.url("/feed.xml"), 2).size(), 2u);
  EXPECT_TRUE(fetchRssEpisodes(server.url("/missing.xml"), 15).empty());
}

TEST(Rss, TitlesDatesMediaAndItemBoundaries) {
  const std::string media = "<enclosure url=\"http://m\"/>";
  struct Case {
    std::string inner;
    std::string title, date, url;  // url empty: no episode
  } cases[] = {
      // Character references are decoded outside CDATA, once.
      {media + "<title>Tom &amp; Jerry&#39;s &quot;Show&quot; &#x2013; &lt;1&gt; &apos;x&apos;</title>",
       "Tom & Jerry's \"Show\" – <1> 'x'", "", "http://m"},
      {media + "<title>&amp;amp; &bogus; & alone &#xD800; &#12 It&rsquo;s&hellip;</title>",
       "&amp; &bogus; & alone \xEF\xBF\xBD &#12 It’s…", "", "http://m"},
      {media + "<title><![CDATA[<b>a</b> &amp; b]]></title>", "<b>a</b> &amp; b", "", "http://m"},
      {media + "<title>\n  Spaced \n</title>", "\n  Spaced \n", "", "http://m"},
      {media + "<title>Open title", "", "", "http://m"},
      {media + "<title><![CDATA[Open cdata</title>", "", "", "http://m"},
      // RFC 822 dates with or without the day name, shown in one form; others show nothing.
      {media + "<pubDate>Sat, 07 Nov 2015 12:00:00 EST</pubDate>", "", "07 Nov 2015", "http://m"},
      {media + "<pubDate>07 Nov 2015 12:00:00 EST</pubDate>", "", "07 Nov 2015", "http://m"},
      {media + "<pubDate>Sat, 7 Nov 2015 12:00:00 +0000</pubDate>", "", "07 Nov 2015", "http://m"},
      {media + "<pubDate>\n  Tue, 5 march 24 06:00 GMT\n</pubDate>", "", "05 Mar 2024", "http://m"},
      {media + "<pubDate>Tue, 05 Mar 2024</pubDate>", "", "05 Mar 2024", "http://m"},
      {media + "<pubDate>2015-11-07T12:00:00Z</pubDate>", "", "", "http://m"},
      {media + "<pubDate>Sat, 32 Nov 2015 12:00:00</pubDate>", "", "", "http://m"},
      {media + "<pubDate>Sat, 07 Nob 2015 12:00:00</pubDate>", "", "", "http://m"},
      {media + "<pubDate>Sat, 07 Nov 201</pubDate>", "", "", "http://m"},
      {media + "<pubDate>Tue, 05 Mar 2024 06:00", "", "", "http://m"},
      // Enclosures of a known type that is neither audio nor video are passed over.
      {"<enclosure url=\"http://i.jpg\" type=\"image/jpeg\"/><enclosure url=\"http://a.mp3\" type=\"audio/mpeg\"/>",
       "", "", "http://a.mp3"},
      {"<enclosure url=\"http://i.jpg\" type=\"image/jpeg\"/>", "", "", ""},
      {"<enclosure type='application/pdf' url='http://d.pdf'/><link>http://l.mp3</link>", "", "", "http://l.mp3"},
      {"<enclosure url=\"http://v.mp4\" length=\"1\" type=\"video/mp4\"/>", "", "", "http://v.mp4"},
      {"<enclosure url=\"http://x\" type=\"application/octet-stream\"/>", "", "", "http://x"},
      {"<enclosure url=\"http://h.m3u8\" type=\"application/x-mpegURL\"/>", "", "", "http://h.m3u8"},
      {"<media:content url=\"http://p.png\" medium=\"image\"/><media:content url=\"http://a.m4a\"/>", "", "",
       "http://a.m4a"},
      // The link: an audio file name (case-sensitive), its references decoded.
      {"<link>http://cdn/a.mp3?x=1&amp;y=2</link>", "", "", "http://cdn/a.mp3?x=1&y=2"},
      {"<title>x</title><link>http://a.mp3", "", "", ""},
      {"<link>http://A.MP3</link>", "", "", ""},
  };
  for (const Case& c : cases) {
    auto eps = parseRssEpisodes("<item>" + c.inner + "</item>", 15);
    if (c.url.empty()) {
      EXPECT_TRUE(eps.empty()) << c.inner;
      continue;
    }
    ASSERT_EQ(eps.size(), 1u) << c.inner;
    EXPECT_EQ(eps[0], (PodcastEpisode{c.title, c.date, c.url})) << c.inner;
  }
  // Attributes on <item> are fine; a missing </item> ends the list.
  auto eps = parseRssEpisodes("<item id=\"1\">" + media + "</item><item>" + media, 15);
  EXPECT_EQ(eps.size(), 1u);
  EXPECT_TRUE(parseRssEpisodes("", 15).empty());
  EXPECT_TRUE(parseRssEpisodes("<item>" + media + "</item>", -3).empty());
}

TEST(Rss, DeclaredEncodingIsHonoured) {
  std::string hangul;
  ASSERT_TRUE(utf8ToCp949("한글 방송", hangul));
  auto feed = [](const std::string& decl, const std::string& title) {
    return decl + "<rss><channel><item><title>" + title + "</title><enclosure url=\"http://e.mp3\"/></item></channel></rss>";
  };
  auto utf16 = [](const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
  };
  struct Case {
    std::string doc, title;
  } cases[] = {
      {feed("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", "\xCF\xF0\xE8\xE2\xE5\xF2 &amp; \xEC\xE8\xF0"),
       "Привет & мир"},
      {feed("<?xml version='1.0' encoding='ISO-8859-1'?>", "Caf\xE9"), "Café"},
      {feed("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"EUC-KR\" standalone=\"yes\"?>", hangul), "한글 방송"},
      // Declared Latin but written in UTF-8: kept as written.
      {feed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "Café"), "Café"},
      // An unknown set leaves the bytes, each bad one shown as U+FFFD.
      {feed("<?xml version=\"1.0\" encoding=\"x-no-such-set\"?>", "a\xE9"), "a\xEF\xBF\xBD"},
      {utf16(feed("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", "wide")), "wide"},
  };
  for (const Case& c : cases) {
    auto eps = parseRssEpisodes(c.doc, 15);
    ASSERT_EQ(eps.size(), 1u) << c.title;
    EXPECT_EQ(eps[0].title, c.title);
    EXPECT_EQ(eps[0].url, "http://e.mp3");
  }
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
  std::string doc = "{\"list\":[" + entry("첫 회", "https:\\/\\/cdn\\/a.mp3", "2024-03-05 06:00:00") + "," +
                    entry("둘째", "http:\\\\/\\/cdn\\/b.mp3", "20240306") + "," +
                    entry("no url", "", "2024-03-07") + "," +
                    entry("say \\\"hi\\\" now", "http://q", "2024-03-08") + "]}";
  auto eps = parseServiceEpisodes(doc, 15);
  ASSERT_EQ(eps.size(), 3u);
  EXPECT_EQ(eps[0], (PodcastEpisode{"첫 회", "2024-03-05", "https://cdn/a.mp3"}));
  EXPECT_EQ(eps[1], (PodcastEpisode{"둘째", "20240306", "http://cdn/b.mp3"}));  // an 8-byte date stays whole
  // An empty S3_FILE_URL gives no episode even though FILE_URL follows.
  EXPECT_EQ(eps[2].title, "say \\");  // an escaped quote ends the value
  EXPECT_EQ(parseServiceEpisodes(doc, 2).size(), 2u);
  EXPECT_TRUE(parseServiceEpisodes(doc, 0).empty());
  EXPECT_TRUE(parseServiceEpisodes("", 15).empty());

  // Date keys by preference: PODCAST_REG_DATE, REG_DT, BROAD_DATE.
  auto dated = parseServiceEpisodes(
      jsonEntry("d", "\"FILE_URL\":\"http://d\",\"BROAD_DATE\":\"2024-01-01\",\"REG_DT\":\"2024-02-02 10:00\""), 15);
  ASSERT_EQ(dated.size(), 1u);
  EXPECT_EQ(dated[0].date, "2024-02-02");
  // A title key is not found inside a longer key, nor a value without its quotes.
  EXPECT_TRUE(parseServiceEpisodes("{\"XCON_TITLE\":\"a\",\"FILE_URL\":\"http://a\",\"TITLE\":5}", 15).empty());
}

TEST(ServiceJson, TitleOnlyListsYieldAtMostOneEpisode) {
  std::string doc = "[{\"TITLE\":\"a\",\"FILE_URL\":\"http://a\"},{\"TITLE\":\"b\",\"FILE_URL\":\"http://b\"}]";
  auto eps = parseServiceEpisodes(doc, 15);
  ASSERT_EQ(eps.size(), 1u);
  EXPECT_EQ(eps[0].title, "a");
  // With any CON_TITLE present, plain TITLE keys are never used.
  EXPECT_TRUE(parseServiceEpisodes("[{\"TITLE\":\"a\",\"FILE_URL\":\"http://a\"},{\"CON_TITLE\":\"b\"}]", 15).empty());
}

TEST(ServiceJson, FieldsMustStartWithin3000BytesOfTheTitleKey) {
  // `gap` bytes of filler put the URL key exactly that far behind the title key.
  auto withGap = [](const std::string& key, size_t gap, const std::string& rest = "") {
    std::string head = "\"CON_TITLE\":\"t\",\"PAD\":\"";
    std::string tail = "\",";
    std::string filler(gap - head.size() - tail.size(), 'x');
    return head + filler + tail + "\"" + key + "\":\"http://u\"" + rest + "}";
  };
  EXPECT_EQ(parseServiceEpisodes(withGap("S3_FILE_URL", 2999), 15).size(), 1u);
  EXPECT_TRUE(parseServiceEpisodes(withGap("S3_FILE_URL", 3000), 15).empty());
  EXPECT_TRUE(parseServiceEpisodes(withGap("FILE_URL", 3000), 15).empty());
  // Exactly at the edge ends the choice; the FILE_URL after it is not tried.
  EXPECT_TRUE(parseServiceEpisodes(withGap("S3_FILE_URL", 3000, ",\"FILE_URL\":\"http://f\""), 15).empty());
  // Further away lets FILE_URL be tried, and FILE_URL lies within the window here.
  std::string far = "{\"CON_TITLE\":\"t\",\"FILE_URL\":\"http://near\",\"PAD\":\"" + std::string(3100, 'x') +
                    "\",\"S3_FILE_URL\":\"http://far\"}";
  auto eps = parseServiceEpisodes(far, 15);
  ASSERT_EQ(eps.size(), 1u);
  EXPECT_EQ(eps[0].url, "http://near");
  // Date keys follow the same rule.
  std::string dated = "{\"CON_TITLE\":\"t\",\"FILE_URL\":\"http://u\",\"PAD\":\"" + std::string(3000, 'x') +
                      "\",\"REG_DT\":\"2024-01-01\"}";
  EXPECT_EQ(parseServiceEpisodes(dated, 15)[0].date, "");
}

TEST_F(Feeds, ServiceRequestAndFetch) {
  EXPECT_EQ(serviceEpisodesUrl("P1234", 15),
            std::string(kPodcastServiceOrigin) +
                "/radio-api/podcast/podcast_list_json?vod_id=P1234&page=1&item_per_page=15&sortNew=1");
  EXPECT_TRUE(startsWith(serviceEpisodesUrl("x", 1), "https://"));
  std::string doc = "{\"list\":[" + jsonEntry("a", "\"FILE_URL\":\"http:\\/\\/cdn\\/a.mp3\"") + "]}";
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.respond(200, doc, "application/json");
  });
  auto origin = "http://127.0.0.1:" + std::to_string(server.port());
  auto eps = fetchServiceEpisodes("prog_7", 15, origin);
  ASSERT_EQ(eps.size(), 1u);
  EXPECT_EQ(eps[0].url, "http://cdn/a.mp3");
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].target,
            "/radio-api/podcast/podcast_list_json?vod_id=prog_7&page=1&item_per_page=15&sortNew=1");
  EXPECT_TRUE(fetchServiceEpisodes("prog_7", 0, origin).empty());
  EXPECT_EQ(server.requests().size(), 1u);  // nothing fetched for nothing wanted
}

TEST_F(Feeds, LoadEpisodesChoosesTheSourceByType) {
  std::string feed = "<rss><item><title>t</title><enclosure url=\"http://e.mp3\"/></item></rss>";
  test::HttpServer server(serve({{"/feed", feed}}));
  EXPECT_EQ(loadEpisodes(PODCAST_RSS, server.url("/feed")).size(), 1u);
  EXPECT_TRUE(loadEpisodes(RADIO_MP3, server.url("/feed")).empty());
  EXPECT_TRUE(loadEpisodes(7, server.url("/feed")).empty());
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(TextClean, RepeatedDecodingCollapsesCompletely) {
  EXPECT_EQ(decodeXmlEntities("&#65;&#x42;&#x1F600; &#1114112; &#0; &; &amp &#x; &#12345678901;"),
            "AB\xF0\x9F\x98\x80 \xEF\xBF\xBD \xEF\xBF\xBD &; &amp &#x; &#12345678901;");
  EXPECT_EQ(decodeAmpersands("a&amp;amp;amp;b&&amp;c&amp"), "a&b&&c&amp");
  EXPECT_EQ(decodeAmpersands("&ampamp;"), "&ampamp;");
  EXPECT_EQ(unescapeSlashes("a\\/b\\\\\\/c\\d\\"), "a/b/c\\d\\");
  EXPECT_EQ(repairUtf8("ok \xED\xA0\x80 \xE2\x82"), "ok \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace vell
