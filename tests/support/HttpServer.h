// Test support: a small loopback HTTP server with paced and ranged answers.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vell::test {

struct HttpRequest {
  std::string method;
  std::string target;      // path and query as sent
  std::string rawHeaders;  // the header block as received, request line excluded
  std::map<std::string, std::string> headers;  // lower-cased names
  std::string header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
  }
};

class HttpServer;

// One accepted connection, handed to the handler on its own thread.
class HttpConnection {
 public:
  HttpConnection(std::intptr_t fd, HttpServer& server) : fd_(fd), server_(server) {}
  // Each sender is false once the peer went away or the server is stopping.
  bool send(const std::string& bytes);
  bool respond(int status, const std::string& body, const std::string& contentType = "text/plain",
               const std::string& extraHeaders = "");
  // A file as a real web server sends it: byte ranges ("Range: bytes=N-") answered with 206,
  // or 416 past the end.
  bool respondFile(const HttpRequest& request, const std::string& body, const std::string& contentType);
  // `bytes` at a steady `bytesPerSecond` (one piece every 100 ms, or one byte at a time when
  // slower), after `headStart` bytes at once: a real station, or a server that trickles.
  bool sendPaced(const std::string& bytes, size_t bytesPerSecond, size_t headStart = 0);
  bool wait(int milliseconds);  // false early when the server stops
  bool stopping() const;

 private:
  std::intptr_t fd_;  // a socket of support/Socket.h
  HttpServer& server_;
};

// A small HTTP/1.x server on 127.0.0.1 (ephemeral port) for network tests. Each connection
// runs the handler on its own thread; requests are recorded. The destructor stops it,
// closing every open connection so that handlers that stream forever return.
class HttpServer {
 public:
  using Handler = std::function<void(const HttpRequest&, HttpConnection&)>;
  explicit HttpServer(Handler handler);
  ~HttpServer() { stop(); }

  int port() const { return port_; }
  std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  std::vector<HttpRequest> requests() const;
  size_t requestCount(const std::string& prefix = "/") const;  // requests whose target starts so
  bool stopping() const { return stopping_.load(); }
  void stop();

 private:
  void acceptLoop();
  void serve(std::intptr_t fd);
  void reapFinishedLocked();

  Handler handler_;
  std::intptr_t listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<std::thread::id> finished_;  // workers whose handler returned, to be joined
  std::vector<std::intptr_t> openFds_;
  std::vector<HttpRequest> requests_;
};

}  // namespace vell::test
