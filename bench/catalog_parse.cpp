// Times the catalogue and feed scanners on large inputs: the worst cases the window
// thread (catalogue) and the loader thread (feeds) can meet.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "catalog/FeedParse.h"
#include "catalog/StreamCatalog.h"
#include "platform/Files.h"

using namespace vell;

template <typename Fn>
double bestMs(int runs, Fn&& fn) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (ms < best) best = ms;
  }
  return best;
}

int main() {
  // A 10 MB feed whose only playable items are the last 15.
  std::string rss = "<rss><channel>";
  while (rss.size() < 10 * 1024 * 1024)
    rss += "<item><title>Episode without media</title><pubDate>Tue, 05 Mar 2024 06:00:00 GMT</pubDate>"
           "<description>" + std::string(400, 'x') + "</description><link>http://site/page.html</link></item>\n";
  for (int i = 0; i < 15; ++i) rss += "<item><title>t</title><enclosure url=\"http://cdn/e.mp3\"/></item>\n";
  size_t found = 0;
  double rssMs = bestMs(5, [&] { found = parseRssEpisodes(rss, 15).size(); });
  std::printf("RSS %.1f MB, %zu episodes: %.1f ms\n", rss.size() / 1048576.0, found, rssMs);

  // A podcast's whole history: 730 episodes with show notes, in UTF-8 and in a declared
  // single-byte set (converted first), read in full and as the browser reads it.
  std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><title>Show</title>";
  for (int i = 0; i < 730; ++i) {
    std::string n = std::to_string(i);
    feed += "<item>\n<title>Episode " + n + ": Tom &amp; Jerry&#39;s &quot;news&quot;</title>\n"
            "<pubDate>Sat, 7 Nov 2015 12:00:00 EST</pubDate>\n<guid>urn:ep:" + n + "</guid>\n"
            "<description><![CDATA[<p>" + std::string(1500, 'n') + "</p>]]></description>\n"
            "<media:content url=\"http://cdn/art" + n + ".jpg\" medium=\"image\"/>\n"
            "<enclosure url=\"http://cdn/cover" + n + ".jpg\" type=\"image/jpeg\"/>\n"
            "<enclosure url=\"http://cdn/ep" + n + ".mp3?a=1&amp;b=2\" length=\"1234\" type=\"audio/mpeg\"/>\n"
            "</item>\n";
  }
  feed += "</channel></rss>";
  std::string feed1251 = feed;
  feed1251.replace(feed1251.find("UTF-8"), 5, "windows-1251");
  for (size_t at = 0; (at = feed1251.find("Episode", at)) != std::string::npos; at += 7) feed1251[at + 1] = '\xE8';
  double allMs = bestMs(5, [&] { found = parseRssEpisodes(feed, 1000).size(); });
  std::printf("RSS %.1f MB, all %zu episodes: %.2f ms\n", feed.size() / 1048576.0, found, allMs);
  double firstMs = bestMs(5, [&] { found = parseRssEpisodes(feed, 15).size(); });
  std::printf("RSS %.1f MB, first %zu episodes: %.2f ms\n", feed.size() / 1048576.0, found, firstMs);
  double cyrMs = bestMs(5, [&] { found = parseRssEpisodes(feed1251, 1000).size(); });
  std::printf("RSS %.1f MB in windows-1251, all %zu episodes: %.2f ms\n", feed1251.size() / 1048576.0, found, cyrMs);

  // Episode lists that once made the scan quadratic: keys repeated without values, and a
  // million well-formed entries.
  std::string bare;
  for (int i = 0; i < 80000; ++i) bare += "\"CON_TITLE\"";
  double bareMs = bestMs(3, [&] { found = parseServiceEpisodes(bare, 15).size(); });
  std::printf("JSON of 80k title keys without values: %.1f ms\n", bareMs);
  std::string bareUrls;
  for (int i = 0; i < 80000; ++i) bareUrls += "\"CON_TITLE\"\"S3_FILE_URL\"\"REG_DT\"";
  bareUrls += ":\"";
  bareMs = bestMs(3, [&] { found = parseServiceEpisodes(bareUrls, 15).size(); });
  std::printf("JSON of 80k entries of keys without values: %.1f ms\n", bareMs);
  std::string many = "[";
  for (int i = 0; i < 1000000; ++i) many += "{\"CON_TITLE\":\"t\",\"FILE_URL\":\"http://u\"},";
  many += "]";
  double manyMs = bestMs(3, [&] { found = parseServiceEpisodes(many, 15).size(); });
  std::printf("JSON of 1M entries (%.1f MB), %zu episodes: %.2f ms\n", many.size() / 1048576.0, found, manyMs);

  // A 10 MB episode list of entries with no URL.
  std::string json = "{\"list\":[";
  while (json.size() < 10 * 1024 * 1024)
    json += "{\"CON_TITLE\":\"제목\",\"S3_FILE_URL\":\"\",\"PODCAST_REG_DATE\":\"2024-03-05\",\"TEXT\":\"" +
            std::string(300, 'y') + "\"},";
  json += "]}";
  double jsonMs = bestMs(5, [&] { found = parseServiceEpisodes(json, 15).size(); });
  std::printf("JSON %.1f MB, %zu episodes: %.1f ms\n", json.size() / 1048576.0, found, jsonMs);

  // A catalogue of the shipped file plus 2000 user entries.
  std::string dir = std::filesystem::temp_directory_path() / "vell_catalog_bench";
  makeDirectories(dir);
  std::string builtin;
  readFile(pathBesideExecutable("../streams.ini"), builtin);
  writeFileAtomic(dir + "/streams.ini", builtin);
  std::string user;
  for (int i = 0; i < 2000; ++i)
    user += "+|RADIO_MP3|user_" + std::to_string(i) + "|사용자 스트림 " + std::to_string(i) + "|사용자|직접 추가|http://x/" +
            std::to_string(i) + "\n";
  writeFileAtomic(dir + "/streams_user.ini", user);
  StreamCatalog catalog(dir);
  double loadMs = bestMs(5, [&] { catalog.load(); });
  double searchMs = bestMs(5, [&] { found = catalog.searchRadio("JAZZ").size(); });
  StreamEntry e;
  e.id = "user_new";
  e.name = "new";
  double changeMs = bestMs(1, [&] { catalog.addUserStream(e); });
  std::printf("catalogue of %zu radio entries: load %.2f ms, search %.2f ms (%zu hits), add+save+load %.2f ms\n",
              catalog.radioStreams().size(), loadMs, searchMs, found, changeMs);
  std::filesystem::remove_all(dir);
  return 0;
}
