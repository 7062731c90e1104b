// Windows: a URL's proxy from the user's Internet settings, else WinHTTP's machine setting.
#include "platform/SystemProxy.h"

#include <windows.h>
#include <winhttp.h>

#include "platform/win32/WinText.h"

namespace vell {

namespace {

std::string take(LPWSTR& text) {
  std::string out = text ? win::narrow(text) : std::string();
  if (text) GlobalFree(text);
  text = nullptr;
  return out;
}

}  // namespace

// The same settings WinHTTP's fetches go by: the user's, else the machine's named proxy.
std::string systemProxyFor(const std::string& url) {
  std::string servers, bypass;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
  if (WinHttpGetIEProxyConfigForCurrentUser(&user)) {
    servers = take(user.lpszProxy);
    bypass = take(user.lpszProxyBypass);
    take(user.lpszAutoConfigUrl);
  }
  if (servers.empty()) {
    WINHTTP_PROXY_INFO machine{};
    if (WinHttpGetDefaultProxyConfiguration(&machine)) {
      bool named = machine.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
      servers = take(machine.lpszProxy);
      bypass = take(machine.lpszProxyBypass);
      if (!named) servers.clear();
    }
  }
  return servers.empty() ? std::string() : proxyForUrl(url, servers, bypass);
}

}  // namespace vell
