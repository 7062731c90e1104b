// Resolving stream hosts in the background so that an open finds them cached.
#pragma once
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

namespace vell {

// Resolves host names in the background so the system resolver cache already holds them
// when a stream is opened. Each host is looked up once per object; the answer is thrown
// away. Safe from any thread.
class HostWarmup {
 public:
  // Starts a detached look-up of `host` unless it was warmed before or is not 1 to 255
  // bytes long. True when a look-up was started.
  bool warm(const std::string& host);
  bool seen(const std::string& host) const;

 private:
  mutable std::mutex lock_;
  std::unordered_set<std::string> hosts_;
};

// The host part of a URL: the text after the first "://" up to the first '/', ':' or '?'
// (or the end). Empty without "://".
std::string urlHost(std::string_view url);

namespace detail {
// The target's blocking name look-up; the answer is thrown away.
void lookUpHostOnce(const std::string& host);
}  // namespace detail

}  // namespace vell
