// Fetching a podcast's episodes on a thread of their own, the newest request winning.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/FeedParse.h"
#include "catalog/StreamEntry.h"

namespace vell {

// A finished episode fetch, owned by whoever holds the pointer: the loader thread builds
// it, hands it over and never touches it again.
struct EpisodeBatch {
  uint64_t generation = 0;  // which request this answers
  std::string podcastId;    // the catalogue id of the podcast it was asked for
  std::vector<PodcastEpisode> episodes;
};

// Fetches the episodes of a podcast of the given type and url (loadEpisodes in the player).
using EpisodeSource = std::function<std::vector<PodcastEpisode>(int32_t type, const std::string& url)>;
// Receives the finished batch on the loader thread; the player posts it to the window
// thread inside a posted task, so no list is ever shared between the threads.
using EpisodeDelivery = std::function<void(std::unique_ptr<EpisodeBatch>)>;

// Starts episode fetches and tells the window thread which arriving batch still counts:
// only the answer to the latest request, so a slow list for a podcast the user has left
// never replaces the one being shown. Used on the window thread only; each fetch runs on
// a detached thread that touches nothing but its own copies.
class EpisodeLoader {
 public:
  explicit EpisodeLoader(EpisodeSource source);

  // Starts fetching the podcast's episodes; `deliver` is called on the loader thread with
  // the batch. Returns the request's generation.
  uint64_t start(const StreamEntry& podcast, EpisodeDelivery deliver);
  // The outstanding request no longer matters (the podcast was closed or the list reset).
  void cancel();
  // True when the batch answers the latest request; that request is then finished.
  // Older batches are to be dropped.
  bool accept(const EpisodeBatch& batch);
  // A request is outstanding (the browser shows its spinner meanwhile).
  bool loading() const { return loading_; }
  uint64_t generation() const { return generation_; }

 private:
  EpisodeSource source_;
  uint64_t generation_ = 0;
  bool loading_ = false;
};

}  // namespace vell
