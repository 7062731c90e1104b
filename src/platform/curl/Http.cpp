// Linux (libcurl): the blocking HTTP GET with its step and total time limits. libcurl and the
// thirty libraries it links are loaded on the first fetch, not at start: only podcast feeds
// need them, and loading them cost a tenth of the time to the first picture.
#include "platform/Http.h"

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace vell {
namespace {

using Clock = std::chrono::steady_clock;

struct Curl {
  decltype(&curl_global_init) global_init = nullptr;
  decltype(&curl_easy_init) easy_init = nullptr;
  decltype(&curl_easy_setopt) easy_setopt = nullptr;
  decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&curl_multi_init) multi_init = nullptr;
  decltype(&curl_multi_add_handle) multi_add_handle = nullptr;
  decltype(&curl_multi_perform) multi_perform = nullptr;
  decltype(&curl_multi_poll) multi_poll = nullptr;
  decltype(&curl_multi_info_read) multi_info_read = nullptr;
  decltype(&curl_multi_remove_handle) multi_remove_handle = nullptr;
  decltype(&curl_multi_cleanup) multi_cleanup = nullptr;
};

template <typename F>
bool bind(void* lib, F& slot, const char* name) {
  slot = reinterpret_cast<F>(dlsym(lib, name));
  return slot != nullptr;
}

// Loaded, with its global set-up done, once and from one thread (a function-local static);
// null when the system has no usable libcurl.
const Curl* curl() {
  static const Curl* loaded = [] () -> const Curl* {
    static Curl api;
    void* lib = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    bool ok = lib && bind(lib, api.global_init, "curl_global_init") && bind(lib, api.easy_init, "curl_easy_init") &&
              bind(lib, api.easy_setopt, "curl_easy_setopt") && bind(lib, api.easy_cleanup, "curl_easy_cleanup") &&
              bind(lib, api.multi_init, "curl_multi_init") &&
              bind(lib, api.multi_add_handle, "curl_multi_add_handle") &&
              bind(lib, api.multi_perform, "curl_multi_perform") && bind(lib, api.multi_poll, "curl_multi_poll") &&
              bind(lib, api.multi_info_read, "curl_multi_info_read") &&
              bind(lib, api.multi_remove_handle, "curl_multi_remove_handle") &&
              bind(lib, api.multi_cleanup, "curl_multi_cleanup") && api.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!ok) {
      std::fprintf(stderr, "vell-player: libcurl.so.4 could not be loaded (%s)\n", lib ? "too old" : dlerror());
      return nullptr;
    }
    return &api;
  }();
  return loaded;
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
  const Curl* api = curl();
  if (!api) return false;

  CURL* easy = api->easy_init();
  if (!easy) return false;
  CURLM* multi = api->multi_init();
  if (!multi) {
    api->easy_cleanup(easy);
    return false;
  }

  Transfer t;
  t.body = &body;
  t.maxBytes = maxBytes;
  t.lastActivity = Clock::now();
  const auto stepLimit = std::chrono::milliseconds(timeoutMs);
  const auto totalDeadline =
      t.lastActivity + (totalMs != 0 ? std::chrono::milliseconds(totalMs) : stepLimit * 10);

  api->easy_setopt(easy, CURLOPT_URL, url.c_str());
  api->easy_setopt(easy, CURLOPT_USERAGENT, kHttpUserAgent);
  api->easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  api->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  api->easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  api->easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api->easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  api->easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  api->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
  if (maxBytes <= static_cast<size_t>(INT64_MAX))
    api->easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
  api->easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
  api->easy_setopt(easy, CURLOPT_WRITEDATA, &t);
  api->easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
  api->easy_setopt(easy, CURLOPT_HEADERDATA, &t);
  api->easy_setopt(easy, CURLOPT_PREREQFUNCTION, onConnected);
  api->easy_setopt(easy, CURLOPT_PREREQDATA, &t);

  bool ok = api->multi_add_handle(multi, easy) == CURLM_OK;
  while (ok) {
    int running = 0;
    if (api->multi_perform(multi, &running) != CURLM_OK) {
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
    api->multi_poll(multi, nullptr, 0, static_cast<int>(std::min<long long>(waitMs, 50)), nullptr);
  }
  if (ok) {
    ok = false;
    int queued = 0;
    while (CURLMsg* msg = api->multi_info_read(multi, &queued)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) ok = msg->data.result == CURLE_OK;
    }
  }
  if (t.overflow) ok = false;

  api->multi_remove_handle(multi, easy);
  api->easy_cleanup(easy);
  api->multi_cleanup(multi);
  if (!ok) {
    body.clear();
    body.shrink_to_fit();
  }
  return ok;
}

}  // namespace vell
