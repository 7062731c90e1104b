// Linux: one blocking host name look-up, its answer thrown away.
#include "platform/HostWarmup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

namespace vell::detail {

void lookUpHostOnce(const std::string& host) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &result) == 0 && result) freeaddrinfo(result);
}

}  // namespace vell::detail
