// Linux (libcurl): the blocking HTTP GET with its step and total time limits.
#include "platform/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace vell {
namespace {

using Clock = std::chrono::steady_clock;

// libcurl wants its global set-up done once before any handle is made, from one thread.
void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  std::string* body = nullptr;
  size_t maxBytes = 0;
  bool overflow = false;
  Clock::time_point lastActivity;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  t->lastActivity = Clock::now();
  if (n > t->maxBytes - t->body->size()) {
    t->overflow = true;
    return 0;  // makes libcurl stop with a write error
  }
  t->body->append(data, n);
  return n;
}

size_t onHeader(char*, size_t size, size_t count, void* user) {
  static_cast<Transfer*>(user)->lastActivity = Clock::now();
  return size * count;
}

// Called once a connection stands and the request is about to go out: the connect step
// has ended, the wait for the answer starts its own time-out.
int onConnected(void* user, char*, char*, int, int) {
  static_cast<Transfer*>(user)->lastActivity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

}  // namespace

bool httpFetch(const std::string& url, uint32_t timeoutMs, std::string& body, size_t maxBytes, uint32_t totalMs) {
  body.clear();
  if (url.empty() || timeoutMs == 0) return false;
  initCurlOnce();

  CURL* easy = curl_easy_init();
  if (!easy) return false;
  CURLM* multi = curl_multi_init();
  if (!multi) {
    curl_easy_cleanup(easy);
    return false;
  }

  Transfer t;
  t.body = &body;
  t.maxBytes = maxBytes;
  t.lastActivity = Clock::now();
  const auto stepLimit = std::chrono::milliseconds(timeoutMs);
  const auto totalDeadline =
      t.lastActivity + (totalMs != 0 ? std::chrono::milliseconds(totalMs) : stepLimit * 10);

  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kHttpUserAgent);
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
  if (maxBytes <= static_cast<size_t>(INT64_MAX))
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onConnected);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &t);

  bool ok = curl_multi_add_handle(multi, easy) == CURLM_OK;
  while (ok) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      ok = false;
      break;
    }
    if (running == 0) break;
    auto now = Clock::now();
    if (now - t.lastActivity >= stepLimit || now >= totalDeadline) {
      ok = false;
      break;
    }
    auto left = std::min(stepLimit - (now - t.lastActivity), totalDeadline - now);
    auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1;
    curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::min<long long>(waitMs, 50)), nullptr);
  }
  if (ok) {
    ok = false;
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) ok = msg->data.result == CURLE_OK;
    }
  }
  if (t.overflow) ok = false;

  curl_multi_remove_handle(multi, easy);
  curl_easy_cleanup(easy);
  curl_multi_cleanup(multi);
  if (!ok) {
    body.clear();
    body.shrink_to_fit();
  }
  return ok;
}

}  // namespace vell
