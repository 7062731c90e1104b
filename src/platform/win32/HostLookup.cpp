// Windows: one blocking host name look-up through Winsock, its answer thrown away.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <string>

#include "platform/HostWarmup.h"
#include "platform/win32/WinText.h"

namespace vell::detail {

void lookUpHostOnce(const std::string& host);

void lookUpHostOnce(const std::string& host) {
  // Winsock is started once for the whole process and never stopped: look-ups may still run
  // on detached threads while the program ends.
  static std::once_flag started;
  static bool ready = false;
  std::call_once(started, [] {
    WSADATA data;
    ready = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  if (!ready) return;
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* result = nullptr;
  // The wide form takes international names as they are written.
  if (GetAddrInfoW(win::widen(host).c_str(), nullptr, &hints, &result) == 0 && result) FreeAddrInfoW(result);
}

}  // namespace vell::detail
