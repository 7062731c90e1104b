// Linux: the loopback test servers' socket calls.
#include "support/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vell::test::net {

Socket listenLoopback(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return kNoSocket;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

bool readable(Socket s, int ms) {
  pollfd p{static_cast<int>(s), POLLIN, 0};
  return ::poll(&p, 1, ms) > 0;
}

Socket acceptConnection(Socket listener) {
  int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return fd < 0 ? kNoSocket : fd;
}

long receiveSome(Socket s, char* buffer, std::size_t size) { return ::recv(static_cast<int>(s), buffer, size, 0); }
long sendSome(Socket s, const char* data, std::size_t size) {
  return ::send(static_cast<int>(s), data, size, MSG_NOSIGNAL);
}
void shutdownBoth(Socket s) { ::shutdown(static_cast<int>(s), SHUT_RDWR); }
void closeSocket(Socket s) { ::close(static_cast<int>(s)); }
void stopListening(Socket listener) { shutdownBoth(listener); }
void releaseListener(Socket listener) { closeSocket(listener); }

}  // namespace vell::test::net
