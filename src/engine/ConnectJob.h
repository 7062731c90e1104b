// One attempt to open a network medium, and the connection thread's work on it.
#pragma once
#include <atomic>
#include <functional>
#include <string>

namespace vell {

class Player;
class YtDlpResolver;

// One attempt to open a network medium, handed to the connection thread.
struct ConnectJob {
  ConnectJob(Player& player, std::string url, bool podcastRequest, std::string name = "");

  Player& player;
  const std::string url;
  const float volume;  // the player's volume and mute when the attempt started,
  const bool muted;    // given back to it after each reopen
  const bool podcastRequest;
  const std::string name;  // what the listener chose it as (station or episode), may be empty
  bool success = false;
  std::string resolvedUrl;  // what was finally opened
  std::string title;        // from the video-site resolver, else empty
  // Set by the window thread to give up the attempt: the resolver's child and any open
  // in progress end at once.
  std::atomic<bool> cancelled{false};
  // The whole attempt (resolution, playlist fetch, every open and probe) ends within this.
  static constexpr int kBudgetMs = 15000;
  int budgetMs = kBudgetMs;
};

// What the connection thread needs from the outside: a PLS playlist's first stream, fetched
// within `budgetMs`.
using PlsResolver = std::function<std::string(const std::string& url, int budgetMs)>;

// The connection thread's whole work: resolve a video-site page or a PLS playlist, open the
// input, and try once more with the plain radio/generic options when that fails.
void runConnectJob(ConnectJob& job, YtDlpResolver& resolver, const PlsResolver& resolvePls);

}  // namespace vell
