#include "support/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace vell::test {

std::string HttpRequest::header(const std::string& lowerName) const {
  auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

bool HttpConnection::send(const std::string& bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    if (server_.stopping()) return false;
    ssize_t n = ::send(fd_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

bool HttpConnection::respond(int status, const std::string& body, const std::string& contentType,
                             const std::string& extraHeaders) {
  std::ostringstream out;
  const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : status / 100 == 3 ? "Found" : "Status";
  out << "HTTP/1.1 " << status << " " << reason << "\r\n"
      << "Content-Type: " << contentType << "\r\n"
      << "Content-Length: " << body.size() << "\r\n"
      << "Connection: close\r\n"
      << extraHeaders << "\r\n"
      << body;
  return send(out.str());
}

bool HttpConnection::respondFile(const HttpRequest& request, const std::string& body,
                                 const std::string& contentType) {
  std::string range = request.header("range");
  size_t start = 0;
  if (range.rfind("bytes=", 0) == 0) start = std::strtoull(range.c_str() + 6, nullptr, 10);
  if (range.empty()) return respond(200, body, contentType, "Accept-Ranges: bytes\r\n");
  std::ostringstream out;
  if (start >= body.size()) {
    out << "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" << body.size()
        << "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    return send(out.str());
  }
  out << "HTTP/1.1 206 Partial Content\r\nContent-Type: " << contentType << "\r\nAccept-Ranges: bytes\r\n"
      << "Content-Range: bytes " << start << "-" << body.size() - 1 << "/" << body.size() << "\r\n"
      << "Content-Length: " << body.size() - start << "\r\nConnection: close\r\n\r\n"
      << body.substr(start);
  return send(out.str());
}

bool HttpConnection::sendPaced(const std::string& bytes, size_t bytesPerSecond, size_t headStart) {
  size_t off = std::min(headStart, bytes.size());
  if (off > 0 && !send(bytes.substr(0, off))) return false;
  size_t piece = std::max<size_t>(1, bytesPerSecond / 10);
  int intervalMs = static_cast<int>(1000 * piece / std::max<size_t>(1, bytesPerSecond));
  while (off < bytes.size()) {
    if (!wait(intervalMs)) return false;
    size_t n = std::min(piece, bytes.size() - off);
    if (!send(bytes.substr(off, n))) return false;
    off += n;
  }
  return true;
}

bool HttpConnection::wait(int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (server_.stopping()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return !server_.stopping();
}

bool HttpConnection::stopping() const { return server_.stopping(); }

void HttpConnection::close() { ::shutdown(fd_, SHUT_RDWR); }

HttpServer::HttpServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  int one = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 64) != 0)
    throw std::runtime_error("bind/listen failed");
  socklen_t len = sizeof addr;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

HttpServer::~HttpServer() { stop(); }

std::string HttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<HttpRequest> HttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t HttpServer::requestCount(const std::string& prefix) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(std::count_if(requests_.begin(), requests_.end(),
                                           [&](const HttpRequest& r) { return r.target.rfind(prefix, 0) == 0; }));
}

void HttpServer::stop() {
  if (stopping_.exchange(true)) return;
  ::shutdown(listenFd_, SHUT_RDWR);
  if (acceptThread_.joinable()) acceptThread_.join();
  ::close(listenFd_);
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    workers.swap(workers_);
  }
  for (auto& t : workers) t.join();
}

void HttpServer::acceptLoop() {
  while (!stopping_) {
    pollfd p{listenFd_, POLLIN, 0};
    int r = ::poll(&p, 1, 50);
    if (r <= 0) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    openFds_.push_back(fd);
    reapFinishedLocked();
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

void HttpServer::serve(int fd) {
  std::string data;
  char buffer[4096];
  size_t end = std::string::npos;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((end = data.find("\r\n\r\n")) == std::string::npos && !stopping_ &&
         std::chrono::steady_clock::now() < deadline && data.size() < 65536) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  if (end != std::string::npos && !stopping_) {
    HttpRequest req;
    std::string head = data.substr(0, end + 2);
    size_t lineEnd = head.find("\r\n");
    std::istringstream line(head.substr(0, lineEnd));
    line >> req.method >> req.target;
    req.rawHeaders = head.substr(lineEnd + 2);
    std::istringstream hs(req.rawHeaders);
    std::string h;
    while (std::getline(hs, h)) {
      if (!h.empty() && h.back() == '\r') h.pop_back();
      size_t colon = h.find(':');
      if (colon == std::string::npos) continue;
      std::string name = h.substr(0, colon);
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
      std::string value = h.substr(colon + 1);
      value.erase(0, value.find_first_not_of(" \t"));
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
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
  finished_.push_back(std::this_thread::get_id());
}

// Joins the workers that have finished, so a client that reconnects in a loop cannot run
// the process out of threads.
void HttpServer::reapFinishedLocked() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    auto done = std::find(finished_.begin(), finished_.end(), it->get_id());
    if (done != finished_.end()) {
      finished_.erase(done);
      it->join();  // its last act was to mark itself finished: the join returns at once
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace vell::test
