// Windows: the loopback test servers' socket calls through Winsock.
#include "support/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

namespace vell::test::net {

namespace {

SOCKET raw(Socket s) { return static_cast<SOCKET>(s); }

bool started() {
  static const bool ok = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ok;
}

int clamp(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

}  // namespace

Socket listenLoopback(int& port) {
  if (!started()) return kNoSocket;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);  // not into children
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof addr;
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(s, 64) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  port = ntohs(addr.sin_port);
  return static_cast<Socket>(s);
}

bool readable(Socket s, int ms) {
  WSAPOLLFD p{raw(s), POLLRDNORM, 0};
  return WSAPoll(&p, 1, ms) > 0;
}

Socket acceptConnection(Socket listener) {
  SOCKET s = ::accept(raw(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kNoSocket;
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return static_cast<Socket>(s);
}

long receiveSome(Socket s, char* buffer, std::size_t size) { return ::recv(raw(s), buffer, clamp(size), 0); }
long sendSome(Socket s, const char* data, std::size_t size) { return ::send(raw(s), data, clamp(size), 0); }
void shutdownBoth(Socket s) { ::shutdown(raw(s), SD_BOTH); }
void closeSocket(Socket s) { closesocket(raw(s)); }
void stopListening(Socket listener) { closesocket(raw(listener)); }  // the poll on it then fails
void releaseListener(Socket) {}

}  // namespace vell::test::net
