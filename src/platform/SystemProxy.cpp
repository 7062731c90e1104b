// Windows' proxy setting read for a URL: per-scheme servers and the bypass list.
#include "platform/SystemProxy.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace vell {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::vector<std::string> split(const std::string& s, const char* separators) {
  std::vector<std::string> out;
  for (size_t start = 0; start <= s.size();) {
    size_t end = std::min(s.find_first_of(separators, start), s.size());
    if (std::string part = trim(s.substr(start, end - start)); !part.empty()) out.push_back(part);
    start = end + 1;
  }
  return out;
}

// '*' stands for any run of characters.
bool wildcardMatch(const std::string& pattern, const std::string& text) {
  size_t p = 0, t = 0, star = std::string::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p, ++t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

struct Target {
  std::string scheme, host, port;  // lower case; port as written, else the scheme's
};

bool parseUrl(const std::string& url, Target& out) {
  size_t colon = url.find("://");
  if (colon == std::string::npos) return false;
  out.scheme = lower(url.substr(0, colon));
  if (out.scheme != "http" && out.scheme != "https") return false;
  size_t start = colon + 3;
  std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
  if (size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  size_t portColon = authority.rfind(':');
  if (authority.size() > 0 && authority[0] == '[') {  // an IPv6 address
    size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    out.host = lower(authority.substr(0, close + 1));
    portColon = authority.size() > close + 1 && authority[close + 1] == ':' ? close + 1 : std::string::npos;
  } else {
    out.host = lower(authority.substr(0, portColon));
  }
  out.port = portColon == std::string::npos ? (out.scheme == "https" ? "443" : "80") : authority.substr(portColon + 1);
  return !out.host.empty();
}

bool isLoopback(const std::string& host) {
  return host == "localhost" || host == "[::1]" ||
         (host.rfind("127.", 0) == 0 && host.find_first_not_of("0123456789.") == std::string::npos);
}

bool bypassed(const Target& t, const std::string& list) {
  std::vector<std::string> entries = split(list, "; \t\r\n,");
  bool loopback = std::find(entries.begin(), entries.end(), "<-loopback>") == entries.end();
  if (loopback && isLoopback(t.host)) return true;
  for (std::string entry : entries) {
    entry = lower(entry);
    if (entry == "<local>") {
      if (t.host.find_first_of(".:") == std::string::npos) return true;
      continue;
    }
    if (size_t scheme = entry.find("://"); scheme != std::string::npos) {
      if (entry.compare(0, scheme, t.scheme) != 0) continue;
      entry.erase(0, scheme + 3);
    }
    size_t port = entry.rfind(':');
    bool withPort = port != std::string::npos && entry.find(']') == std::string::npos &&
                    entry.find(':') == port;  // a bare IPv6 address has more colons
    if (withPort && !wildcardMatch(entry.substr(port + 1), t.port)) continue;
    if (wildcardMatch(withPort ? entry.substr(0, port) : entry, t.host)) return true;
  }
  return false;
}

}  // namespace

std::string proxyForUrl(const std::string& url, const std::string& servers, const std::string& bypass) {
  Target t;
  if (!parseUrl(url, t) || bypassed(t, bypass)) return {};
  std::string chosen;
  for (const std::string& entry : split(servers, "; \t\r\n")) {
    size_t equals = entry.find('=');
    if (equals == std::string::npos) {
      if (chosen.empty()) chosen = entry;  // for every scheme without an entry of its own
    } else if (lower(entry.substr(0, equals)) == t.scheme) {
      chosen = trim(entry.substr(equals + 1));
      break;
    }
  }
  if (chosen.empty()) return {};
  std::string scheme = chosen.find("://") == std::string::npos ? "" : lower(chosen.substr(0, chosen.find("://")));
  if (!scheme.empty() && scheme != "http") return {};
  return scheme.empty() ? "http://" + chosen : chosen;
}

}  // namespace vell
