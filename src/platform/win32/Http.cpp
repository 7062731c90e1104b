// Windows (WinHTTP): the blocking HTTP GET with its step and total time limits.
#include "platform/Http.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <climits>
#include <condition_variable>
#include <cwchar>
#include <mutex>
#include <vector>

namespace vell {
namespace {

using Clock = std::chrono::steady_clock;

// The limit libcurl is given on Linux.
constexpr DWORD kMaxRedirects = 10;

std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// WinHTTP would re-encode non-ASCII bytes of the path its own way; escaping them here keeps
// the request line the same on every Windows version. The host is left alone.
std::string escapePath(const std::string& url, size_t authority) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t from = std::min(url.find_first_of("/?", authority), url.size());
  std::string out = url.substr(0, from);
  for (unsigned char c : url.substr(from)) {
    if (c >= 0x80 || c <= 0x20 || c == 0x7f) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct Internet {
  HINTERNET h = nullptr;
  Internet() = default;
  explicit Internet(HINTERNET handle) : h(handle) {}
  Internet(const Internet&) = delete;
  Internet& operator=(const Internet&) = delete;
  ~Internet() { reset(); }
  void reset() {
    if (h) WinHttpCloseHandle(h);
    h = nullptr;
  }
};

// What the fetching thread and WinHTTP's callback threads share. The request handle holds
// one reference until WinHTTP says it is closing, so a callback that comes late (after a
// time-out gave up on the request) still finds it alive; reads land in `buffer` for the
// same reason.
struct Exchange {
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<int> refs{2};
  bool done = false;
  DWORD error = 0;
  DWORD bytes = 0;
  Clock::time_point lastActivity = Clock::now();
  std::vector<char> buffer;

  void release() {
    if (refs.fetch_sub(1) == 1) delete this;
  }
  void touch() {
    std::lock_guard<std::mutex> lock(mutex);
    lastActivity = Clock::now();
  }
  void finish(DWORD err, DWORD count) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      lastActivity = Clock::now();
      done = true;
      error = err;
      bytes = count;
    }
    changed.notify_all();
  }
};

void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength) {
  auto* x = reinterpret_cast<Exchange*>(context);
  if (!x) return;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      x->finish(0, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      x->finish(0, info ? *static_cast<DWORD*>(info) : 0);
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      x->finish(0, infoLength);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
      DWORD err = info ? static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError : ERROR_WINHTTP_INTERNAL_ERROR;
      x->finish(err ? err : ERROR_WINHTTP_INTERNAL_ERROR, 0);
      break;
    }
    // Resolving and connecting count as one step, as on Linux: progress starts at the connection.
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
    case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
    case WINHTTP_CALLBACK_STATUS_RESPONSE_RECEIVED:
      x->touch();
      break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      x->release();
      break;
    default:
      break;
  }
}

// Waits for the operation just started to complete; false on its failure, or once the
// connection has been quiet for a whole step or the overall deadline has passed.
bool await(Exchange& x, Clock::duration step, Clock::time_point deadline, DWORD& bytes) {
  std::unique_lock<std::mutex> lock(x.mutex);
  while (!x.done) {
    auto now = Clock::now();
    auto quiet = now - x.lastActivity;
    if (quiet >= step || now >= deadline) return false;
    x.changed.wait_for(lock, std::min(step - quiet, deadline - now));
  }
  x.done = false;
  bytes = x.bytes;
  return x.error == 0;
}

// The system's proxy: WinHTTP's own setting when it names one; the user's named proxy when
// nothing is to be found out first (no automatic detection, no configuration script); else the
// automatic resolution of Windows 8.1 and later (user settings, WPAD, PAC), or the user's named
// proxy where that does not exist. Media streams take the named proxies too (SystemProxy.cpp).
HINTERNET openSession(const wchar_t* agent) {
  auto named = [agent](const wchar_t* proxy, const wchar_t* bypass) -> HINTERNET {
    if (!proxy || !*proxy) return nullptr;
    return WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy, bypass ? bypass : WINHTTP_NO_PROXY_BYPASS,
                       WINHTTP_FLAG_ASYNC);
  };
  HINTERNET s = nullptr;
  WINHTTP_PROXY_INFO machine{};
  if (WinHttpGetDefaultProxyConfiguration(&machine)) {
    if (machine.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) s = named(machine.lpszProxy, machine.lpszProxyBypass);
    if (machine.lpszProxy) GlobalFree(machine.lpszProxy);
    if (machine.lpszProxyBypass) GlobalFree(machine.lpszProxyBypass);
    if (s) return s;
  }
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
  const bool haveUser = WinHttpGetIEProxyConfigForCurrentUser(&user);
  if (haveUser && !user.fAutoDetect && !user.lpszAutoConfigUrl) s = named(user.lpszProxy, user.lpszProxyBypass);
  if (!s)
    s = WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                    WINHTTP_FLAG_ASYNC);
  if (!s && haveUser) s = named(user.lpszProxy, user.lpszProxyBypass);
  if (user.lpszAutoConfigUrl) GlobalFree(user.lpszAutoConfigUrl);
  if (user.lpszProxy) GlobalFree(user.lpszProxy);
  if (user.lpszProxyBypass) GlobalFree(user.lpszProxyBypass);
  if (s) return s;
  return WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                     WINHTTP_FLAG_ASYNC);
}

bool queryHeader(HINTERNET request, DWORD what, std::wstring& value) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return false;
  value.assign(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                           WINHTTP_NO_HEADER_INDEX))
    return false;
  value.resize(size / sizeof(wchar_t));
  return true;
}

// WinHTTP widens header bytes through the ANSI code page; this undoes it.
std::string headerBytes(const std::wstring& value) {
  int n = WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// "." and ".." segments of an absolute path (the query is left as it is).
std::string removeDots(const std::string& target) {
  size_t query = std::min(target.find('?'), target.size());
  std::string out;
  for (size_t pos = 0; pos < query;) {
    size_t next = std::min(target.find('/', pos + 1), query);
    std::string segment = target.substr(pos, next - pos);
    if (segment == "/." || segment == "/..") {
      if (segment == "/..") out.resize(out.rfind('/') == std::string::npos ? 0 : out.rfind('/'));
      if (next == query) out += '/';
    } else {
      out += segment;
    }
    pos = next;
  }
  if (out.empty() || out[0] != '/') out.insert(0, 1, '/');
  return out + target.substr(query);
}

// Where a Location header sends a request for `base` (an http or https URL).
std::string resolveLocation(const std::string& base, std::string location) {
  location.resize(std::min(location.find('#'), location.size()));
  size_t colon = location.find(':');
  if (colon != std::string::npos && colon > 0 && std::isalpha(static_cast<unsigned char>(location[0])) &&
      std::all_of(location.begin(), location.begin() + colon, [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '-' || c == '.';
      }))
    return location;  // absolute; a scheme other than http(s) is refused when it is fetched
  size_t authority = base.find("://") + 3;
  size_t pathStart = std::min(base.find_first_of("/?#", authority), base.size());
  std::string origin = base.substr(0, pathStart);
  std::string path = base.substr(pathStart, base.find_first_of("?#", pathStart) - pathStart);
  if (path.empty()) path = "/";
  if (location.rfind("//", 0) == 0) return base.substr(0, authority - 2) + location;
  if (location.empty()) return base.substr(0, std::min(base.find('#'), base.size()));
  if (location[0] == '/') return origin + removeDots(location);
  if (location[0] == '?') return origin + path + location;
  return origin + removeDots(path.substr(0, path.rfind('/') + 1) + location);
}

struct Target {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;
};

bool crack(const std::string& url, Target& out) {
  // Only http and https, checked here so that nothing else WinHTTP might know gets through.
  std::string scheme = url.substr(0, 8);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
  out.secure = scheme.rfind("https://", 0) == 0;
  if (!out.secure && scheme.rfind("http://", 0) != 0) return false;

  std::string target = url.substr(0, std::min(url.find('#'), url.size()));
  std::wstring wide = widen(escapePath(target, out.secure ? 8 : 7));
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) || parts.dwHostNameLength == 0)
    return false;
  out.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  // The scheme's own port is left for WinHTTP to choose, so a proxy sees the URL without it.
  out.port = parts.nPort == (out.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT)
                 ? INTERNET_DEFAULT_PORT
                 : parts.nPort;
  out.path.assign(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) out.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (out.path.empty() || out.path[0] != L'/') out.path.insert(0, 1, L'/');
  return true;
}

// One request handle with its connection, and what its callbacks share with us.
class Request {
 public:
  Request() = default;
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  ~Request() {
    // Closing the request cancels whatever is still pending; the callback then drops the
    // handle's reference.
    request_.reset();
    if (x_) x_->release();
    connection_.reset();
  }

  bool open(HINTERNET session, const Target& target) {
    connection_.h = WinHttpConnect(session, target.host.c_str(), target.port, 0);
    if (!connection_.h) return false;
    request_.h = WinHttpOpenRequest(connection_.h, L"GET", target.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, target.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!request_.h) return false;
    auto* x = new Exchange;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(x);
    if (!WinHttpSetOption(request_.h, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context)) ||
        WinHttpSetStatusCallback(request_.h, onStatus, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK) {
      delete x;  // no callback holds it
      return false;
    }
    x_ = x;
    return true;
  }

  HINTERNET handle() const { return request_.h; }
  Exchange& exchange() { return *x_; }

 private:
  Internet connection_;
  Internet request_;
  Exchange* x_ = nullptr;
};

bool transfer(const std::string& url, uint32_t timeoutMs, std::string& body, size_t maxBytes, uint32_t totalMs) {
  const auto step = std::chrono::milliseconds(timeoutMs);
  const auto deadline = Clock::now() + (totalMs != 0 ? std::chrono::milliseconds(totalMs) : step * 10);

  Target target;
  if (!crack(url, target)) return false;
  Internet session(openSession(widen(kHttpUserAgent).c_str()));
  if (!session.h) return false;
  const int t = static_cast<int>(std::min<uint32_t>(timeoutMs, INT_MAX));
  WinHttpSetTimeouts(session.h, t, t, t, t);
  // Redirects are followed here rather than by WinHTTP, so that the scheme check and the
  // limit hold the same on every Windows version.
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(session.h, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy));

  std::string current = url;
  for (DWORD hop = 0;; ++hop) {
    Request request;
    DWORD bytes = 0;
    if (!request.open(session.h, target)) return false;
    HINTERNET h = request.handle();
    Exchange& x = request.exchange();
    if (!WinHttpSendRequest(h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                            reinterpret_cast<DWORD_PTR>(&x)) ||
        !await(x, step, deadline, bytes) || !WinHttpReceiveResponse(h, nullptr) || !await(x, step, deadline, bytes))
      return false;

    DWORD status = 0;
    DWORD size = sizeof(status);
    std::wstring value;
    WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (status >= 300 && status < 400 && status != 304 && queryHeader(h, WINHTTP_QUERY_LOCATION, value)) {
      if (hop == kMaxRedirects) return false;
      current = resolveLocation(current, headerBytes(value));
      if (!crack(current, target)) return false;
      continue;
    }
    // A declared length over the cap is refused before any of it is read.
    if (queryHeader(h, WINHTTP_QUERY_CONTENT_LENGTH, value) && wcstoull(value.c_str(), nullptr, 10) > maxBytes)
      return false;

    while (Clock::now() < deadline) {
      if (!WinHttpQueryDataAvailable(h, nullptr) || !await(x, step, deadline, bytes)) return false;
      if (bytes == 0) return true;  // the whole body is in
      if (bytes > maxBytes - body.size()) return false;
      // Exactly what is waiting: a larger read may block until it fills.
      x.buffer.resize(bytes);
      if (!WinHttpReadData(h, x.buffer.data(), bytes, nullptr) || !await(x, step, deadline, bytes) ||
          bytes > x.buffer.size())
        return false;
      body.append(x.buffer.data(), bytes);
    }
    return false;
  }
}

}  // namespace

bool httpFetch(const std::string& url, uint32_t timeoutMs, std::string& body, size_t maxBytes, uint32_t totalMs) {
  body.clear();
  if (url.empty() || timeoutMs == 0) return false;
  bool ok = transfer(url, timeoutMs, body, maxBytes, totalMs);
  if (!ok) {
    body.clear();
    body.shrink_to_fit();
  }
  return ok;
}

}  // namespace vell
