// Test support: the loopback HTTP server's connections, answers and request log.
#include "support/HttpServer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "support/Socket.h"

namespace vell::test {

using namespace net;

bool HttpConnection::send(const std::string& bytes) {
  for (size_t off = 0; off < bytes.size();) {
    long n = server_.stopping() ? -1 : sendSome(fd_, bytes.data() + off, bytes.size() - off);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

bool HttpConnection::respond(int status, const std::string& body, const std::string& contentType,
                             const std::string& extraHeaders) {
  const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : status / 100 == 3 ? "Found" : "Status";
  return send("HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + contentType +
              "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" + extraHeaders +
              "\r\n" + body);
}

bool HttpConnection::respondFile(const HttpRequest& request, const std::string& body,
                                 const std::string& contentType) {
  std::string range = request.header("range");
  if (range.empty()) return respond(200, body, contentType, "Accept-Ranges: bytes\r\n");
  size_t start = range.rfind("bytes=", 0) == 0 ? std::strtoull(range.c_str() + 6, nullptr, 10) : 0;
  std::string size = std::to_string(body.size());
  if (start >= body.size())
    return send("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + size +
                "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  return send("HTTP/1.1 206 Partial Content\r\nContent-Type: " + contentType + "\r\nAccept-Ranges: bytes\r\n" +
              "Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(body.size() - 1) + "/" + size +
              "\r\nContent-Length: " + std::to_string(body.size() - start) + "\r\nConnection: close\r\n\r\n" +
              body.substr(start));
}

bool HttpConnection::sendPaced(const std::string& bytes, size_t bytesPerSecond, size_t headStart) {
  size_t off = std::min(headStart, bytes.size());
  if (off > 0 && !send(bytes.substr(0, off))) return false;
  size_t piece = std::max<size_t>(1, bytesPerSecond / 10);
  int intervalMs = static_cast<int>(1000 * piece / std::max<size_t>(1, bytesPerSecond));
  for (size_t n; off < bytes.size(); off += n) {
    n = std::min(piece, bytes.size() - off);
    if (!wait(intervalMs) || !send(bytes.substr(off, n))) return false;
  }
  return true;
}

bool HttpConnection::wait(int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!server_.stopping() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return !server_.stopping();
}

bool HttpConnection::stopping() const { return server_.stopping(); }

HttpServer::HttpServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = listenLoopback(port_);
  if (listenFd_ == kNoSocket) throw std::runtime_error("no listening socket on 127.0.0.1");
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

std::vector<HttpRequest> HttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t HttpServer::requestCount(const std::string& prefix) const {
  auto all = requests();
  return std::count_if(all.begin(), all.end(), [&](const HttpRequest& r) { return r.target.rfind(prefix, 0) == 0; });
}

void HttpServer::stop() {
  if (stopping_.exchange(true)) return;
  stopListening(listenFd_);
  if (acceptThread_.joinable()) acceptThread_.join();
  releaseListener(listenFd_);
  std::unique_lock<std::mutex> lock(mutex_);
  for (Socket fd : openFds_) shutdownBoth(fd);
  auto workers = std::exchange(workers_, {});
  lock.unlock();
  for (auto& t : workers) t.join();
}

void HttpServer::acceptLoop() {
  while (!stopping_) {
    if (!readable(listenFd_, 50)) continue;
    Socket fd = acceptConnection(listenFd_);
    if (fd == kNoSocket) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      closeSocket(fd);
      break;
    }
    openFds_.push_back(fd);
    reapFinishedLocked();
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

void HttpServer::serve(Socket fd) {
  std::string data;
  char buffer[4096];
  size_t end = std::string::npos;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((end = data.find("\r\n\r\n")) == std::string::npos && !stopping_ &&
         std::chrono::steady_clock::now() < deadline && data.size() < 65536) {
    if (!readable(fd, 50)) continue;
    long n = receiveSome(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  if (end != std::string::npos && !stopping_) {
    HttpRequest req;
    size_t lineEnd = data.find("\r\n");
    std::istringstream(data.substr(0, lineEnd)) >> req.method >> req.target;
    req.rawHeaders = data.substr(lineEnd + 2, end + 2 - (lineEnd + 2));
    std::istringstream lines(req.rawHeaders);
    for (std::string h; std::getline(lines, h);) {
      size_t colon = h.find(':');
      if (colon == std::string::npos) continue;
      std::string name = h.substr(0, colon), value = h.substr(colon + 1);
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
      value.erase(0, value.find_first_not_of(" \t"));
      if (!value.empty() && value.back() == '\r') value.pop_back();
      req.headers[name] = value;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(req);
    }
    HttpConnection conn(fd, *this);
    handler_(req, conn);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
  shutdownBoth(fd);
  closeSocket(fd);
  finished_.push_back(std::this_thread::get_id());
}

// Joins the workers that have finished, so a client that reconnects in a loop cannot run
// the process out of threads.
void HttpServer::reapFinishedLocked() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    auto done = std::find(finished_.begin(), finished_.end(), it->get_id());
    if (done == finished_.end()) {
      ++it;
      continue;
    }
    finished_.erase(done);
    it->join();  // its last act was to mark itself finished: the join returns at once
    it = workers_.erase(it);
  }
}

}  // namespace vell::test
