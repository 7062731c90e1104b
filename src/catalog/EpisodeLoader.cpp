// Starting an episode fetch on its own thread and accepting only the newest answer.
#include "catalog/EpisodeLoader.h"

#include <system_error>
#include <thread>

namespace vell {

EpisodeLoader::EpisodeLoader(EpisodeSource source) : source_(std::move(source)) {}

uint64_t EpisodeLoader::start(const StreamEntry& podcast, EpisodeDelivery deliver) {
  uint64_t generation = ++generation_;
  loading_ = true;
  auto batch = std::make_unique<EpisodeBatch>();
  batch->generation = generation;
  batch->podcastId = podcast.id;
  // Everything the thread needs is copied into it: the window thread may go on changing
  // the catalogue (and this loader) while the fetch runs.
  auto work = [source = source_, deliver, type = podcast.type, url = podcast.url,
               batch = std::move(batch)]() mutable {
    try {
      if (source) batch->episodes = source(type, url);
    } catch (...) {
      batch->episodes.clear();  // out of memory while fetching: an empty answer
    }
    deliver(std::move(batch));
  };
  try {
    std::thread(std::move(work)).detach();
  } catch (const std::system_error&) {
    // No thread to be had: deliver an empty answer at once, as a failed fetch would.
    auto empty = std::make_unique<EpisodeBatch>();
    empty->generation = generation;
    empty->podcastId = podcast.id;
    deliver(std::move(empty));
  }
  return generation;
}

void EpisodeLoader::cancel() {
  ++generation_;
  loading_ = false;
}

bool EpisodeLoader::accept(const EpisodeBatch& batch) {
  if (batch.generation != generation_) return false;
  loading_ = false;
  return true;
}

}  // namespace vell
