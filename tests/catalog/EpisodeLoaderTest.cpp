#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>

#include "catalog/EpisodeLoader.h"
#include "catalog/PodcastFeeds.h"
#include "support/HttpServer.h"

namespace vell {
namespace {

// Stands in for the window's event queue: loader threads push, the test thread pops.
// Shared ownership keeps it alive for a loader thread that finishes late.
struct Mailbox {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::unique_ptr<EpisodeBatch>> batches;

  EpisodeDelivery delivery(const std::shared_ptr<Mailbox>& self) {
    return [self](std::unique_ptr<EpisodeBatch> batch) {
      std::lock_guard<std::mutex> lock(self->mutex);
      self->batches.push_back(std::move(batch));
      self->cv.notify_all();
    };
  }
  std::unique_ptr<EpisodeBatch> take() {
    std::unique_lock<std::mutex> lock(mutex);
    if (!cv.wait_for(lock, std::chrono::seconds(10), [&] { return !batches.empty(); })) return nullptr;
    auto batch = std::move(batches.front());
    batches.pop_front();
    return batch;
  }
};

// A source whose fetches finish only when the test releases them, one url at a time.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::string> released;

  void release(const std::string& url) {
    std::lock_guard<std::mutex> lock(mutex);
    released.push_back(url);
    cv.notify_all();
  }
  EpisodeSource source(const std::shared_ptr<Gate>& self) {
    return [self](int32_t, const std::string& url) {
      std::unique_lock<std::mutex> lock(self->mutex);
      self->cv.wait(lock, [&] { return std::find(self->released.begin(), self->released.end(), url) !=
                                       self->released.end(); });
      return std::vector<PodcastEpisode>{{"title of " + url, "", url + "/ep.mp3"}};
    };
  }
};

StreamEntry podcast(const std::string& id, const std::string& url) {
  StreamEntry e;
  e.type = PODCAST_RSS;
  e.id = id;
  e.url = url;
  return e;
}

TEST(EpisodeLoader, ListForAPodcastTheUserLeftIsDiscarded) {
  auto gate = std::make_shared<Gate>();
  auto mail = std::make_shared<Mailbox>();
  EpisodeLoader loader(gate->source(gate));
  EXPECT_FALSE(loader.loading());

  uint64_t first = loader.start(podcast("a", "http://a"), mail->delivery(mail));
  uint64_t second = loader.start(podcast("b", "http://b"), mail->delivery(mail));
  EXPECT_NE(first, second);
  EXPECT_TRUE(loader.loading());

  // The newer request finishes first and is taken.
  gate->release("http://b");
  auto b = mail->take();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->podcastId, "b");
  EXPECT_TRUE(loader.accept(*b));
  EXPECT_FALSE(loader.loading());
  ASSERT_EQ(b->episodes.size(), 1u);
  EXPECT_EQ(b->episodes[0].url, "http://b/ep.mp3");

  // The older one arrives late and must not replace it.
  gate->release("http://a");
  auto a = mail->take();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->podcastId, "a");
  EXPECT_FALSE(loader.accept(*a));
}

TEST(EpisodeLoader, CancelledRequestIsDiscardedAndDoesNotEndANewerOne) {
  auto gate = std::make_shared<Gate>();
  auto mail = std::make_shared<Mailbox>();
  EpisodeLoader loader(gate->source(gate));
  loader.start(podcast("a", "http://a"), mail->delivery(mail));
  loader.cancel();
  EXPECT_FALSE(loader.loading());
  gate->release("http://a");
  auto a = mail->take();
  ASSERT_NE(a, nullptr);
  EXPECT_FALSE(loader.accept(*a));

  // The same podcast selected again: only the new answer counts.
  loader.start(podcast("a", "http://a2"), mail->delivery(mail));
  EXPECT_TRUE(loader.loading());
  gate->release("http://a2");
  auto again = mail->take();
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(loader.accept(*again));
  EXPECT_FALSE(loader.loading());
}

TEST(EpisodeLoader, ManyConcurrentLoadsDeliverEachBatchOnce) {
  auto mail = std::make_shared<Mailbox>();
  EpisodeLoader loader([](int32_t, const std::string& url) {
    return std::vector<PodcastEpisode>(3, PodcastEpisode{"t", "d", url});
  });
  const int count = 12;
  for (int i = 0; i < count; ++i)
    loader.start(podcast("p" + std::to_string(i), "http://" + std::to_string(i)), mail->delivery(mail));
  int accepted = 0;
  for (int i = 0; i < count; ++i) {
    auto batch = mail->take();
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(batch->episodes.size(), 3u);
    EXPECT_EQ(batch->episodes[0].url, "http://" + batch->podcastId.substr(1));
    if (loader.accept(*batch)) {
      ++accepted;
      EXPECT_EQ(batch->podcastId, "p" + std::to_string(count - 1));
    }
  }
  EXPECT_EQ(accepted, 1);
}

TEST(EpisodeLoader, RealFetchThroughTheLoader) {
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  std::string feed = "<rss><item><title>One</title><enclosure url=\"http://cdn/1.mp3\"/></item></rss>";
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) { c.respond(200, feed); });
  auto mail = std::make_shared<Mailbox>();
  EpisodeLoader loader(loadEpisodes);
  loader.start(podcast("feed", server.url("/rss")), mail->delivery(mail));
  auto batch = mail->take();
  ASSERT_NE(batch, nullptr);
  EXPECT_TRUE(loader.accept(*batch));
  ASSERT_EQ(batch->episodes.size(), 1u);
  EXPECT_EQ(batch->episodes[0], (PodcastEpisode{"One", "", "http://cdn/1.mp3"}));

  // A radio entry has no episodes: an empty answer, still delivered.
  StreamEntry radio = podcast("radio", server.url("/rss"));
  radio.type = RADIO_MP3;
  loader.start(radio, mail->delivery(mail));
  auto none = mail->take();
  ASSERT_NE(none, nullptr);
  EXPECT_TRUE(loader.accept(*none));
  EXPECT_TRUE(none->episodes.empty());
}

}  // namespace
}  // namespace vell
