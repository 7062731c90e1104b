// The system's proxy for an http or https URL, as FFmpeg takes it.
#pragma once
#include <string>

namespace vell {

// The proxy the system's settings give for an http or https URL, as FFmpeg's "http_proxy"
// option takes it ("http://host:port"); empty for a direct connection. On Windows the user's
// Internet settings, else WinHTTP's own machine setting (a configuration script or automatic
// detection is not followed); on Linux always empty: FFmpeg reads http_proxy and no_proxy from
// the environment itself there.
std::string systemProxyFor(const std::string& url);

// The proxy for `url` from a setting as Windows writes it: `servers` one "host:port" for every
// scheme or "http=host:port;https=host:port;..." per scheme, `bypass` the hosts reached
// directly ("<local>" for names without a dot, "*" wildcards, an optional "scheme://" and
// ":port"; separated by ';'). Loopback addresses are reached directly unless the list has
// "<-loopback>". Only plain-HTTP proxies are taken (FFmpeg speaks no other); empty when none
// applies.
std::string proxyForUrl(const std::string& url, const std::string& servers, const std::string& bypass);

}  // namespace vell
