// Test support: the socket calls of the loopback test servers.
#pragma once
#include <cstddef>
#include <cstdint>

// The few socket calls the loopback test servers make, the same on every target.
namespace vell::test::net {

using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

// A listening TCP socket on 127.0.0.1 with an ephemeral port; kNoSocket on failure.
Socket listenLoopback(int& port);
// True when `s` has something to read (or a connection to accept) within `ms`.
bool readable(Socket s, int ms);
Socket acceptConnection(Socket listener);
// Bytes moved, or <= 0 when the peer went away. Sending never raises a signal.
long receiveSome(Socket s, char* buffer, std::size_t size);
long sendSome(Socket s, const char* data, std::size_t size);
void shutdownBoth(Socket s);
void closeSocket(Socket s);
// A stopping server's listener: connection attempts fail at once from stopListening on (Windows
// goes on completing them into the backlog until the socket is closed); releaseListener frees
// it once no thread waits on it any more.
void stopListening(Socket listener);
void releaseListener(Socket listener);

}  // namespace vell::test::net
