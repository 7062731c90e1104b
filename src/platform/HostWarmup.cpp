// Host look-ups started in the background, and a URL's host part.
#include "platform/HostWarmup.h"

#include <system_error>
#include <thread>

namespace vell {

bool HostWarmup::warm(const std::string& host) {
  if (host.empty() || host.size() > 255) return false;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (!hosts_.insert(host).second) return false;
  }
  try {
    // The thread owns its copy of the name and nothing else, so it may outlive this object.
    std::thread([name = host] { detail::lookUpHostOnce(name); }).detach();
  } catch (const std::system_error&) {
    return false;  // no thread to be had: the stream simply resolves when it opens
  }
  return true;
}

bool HostWarmup::seen(const std::string& host) const {
  std::lock_guard<std::mutex> lock(lock_);
  return hosts_.count(host) != 0;
}

std::string urlHost(std::string_view url) {
  size_t start = url.find("://");
  if (start == std::string_view::npos) return {};
  start += 3;
  size_t end = url.find_first_of("/:?", start);
  return std::string(url.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

}  // namespace vell
