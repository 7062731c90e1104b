// Tests of HTTP fetches (redirects, proxy, time and size bounds) and the system proxy.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <tuple>

#include "engine/MediaSource.h"
#include "platform/Http.h"
#include "platform/SystemProxy.h"
#include "support/Env.h"
#include "support/HttpServer.h"
#include "support/Media.h"

namespace vell {
namespace {

using Clock = std::chrono::steady_clock;
using test::HttpConnection;
using test::HttpRequest;

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(Http, FollowsRedirectsAndTheProxyReturnsBodiesAsSentAndFailuresGiveNothing) {
  const std::string binary("a\0b\r\n\xff", 6);
  const std::string mp3 = test::mediaBytes(test::sineMp3(1.0));
  // The target, and the proxy (asked for absolute URLs) of the user's settings.
  test::HttpServer target([&](const HttpRequest& req, HttpConnection& c) {
    if (req.target.find("/tone.mp3") != std::string::npos) c.respondFile(req, mp3, "audio/mpeg");
    else c.respond(200, "final:" + req.target);
  });
  test::HttpServer server([&](const HttpRequest& req, HttpConnection& c) {
    if (req.target == "/start") c.respond(302, "", "text/plain", "Location: /hop\r\n");
    else if (req.target == "/hop") c.respond(301, "", "text/plain", "Location: " + target.url("/end?a=1") + "\r\n");
    else if (req.target == "/missing") c.respond(404, binary, "application/octet-stream");
    else if (req.target == "/file") c.respond(302, "", "text/plain", "Location: file:///etc/hostname\r\n");
    else c.respond(302, "loop", "text/plain", "Location: /again\r\n");
  });
  EXPECT_EQ(httpGet(server.url("/start"), 2000), "final:/end?a=1");  // across ports
  EXPECT_EQ(target.requests().at(0).header("user-agent"), kHttpUserAgent);
  EXPECT_EQ(target.requests().at(0).header("accept-encoding"), "");  // the body comes back as the server has it
  EXPECT_EQ(httpGet(server.url("/missing"), 2000), binary);  // whatever the status
  test::setHttpProxy(target.url(""));  // the user's proxy is taken, by fetches and by streams
  EXPECT_EQ(httpGet("http://radio.invalid/live?x=1", 2000), "final:http://radio.invalid/live?x=1");
  MediaSource stream;
  EXPECT_TRUE(stream.open("http://radio.invalid:8000/tone.mp3", false));
  EXPECT_GE(target.requestCount("http://radio.invalid:8000/tone.mp3"), 1u);
  stream.close();
  test::setHttpProxy("");
  const int deadPort = test::HttpServer([](const HttpRequest&, HttpConnection&) {}).port();  // closed again
  // A plain server cannot complete a TLS handshake, so https to it gives nothing either.
  for (const std::string& url : {std::string(), std::string("not a url"), std::string("file:///etc/hostname"),
                                 std::string("ftp://127.0.0.1/x"), "http://127.0.0.1:" + std::to_string(deadPort) + "/",
                                 "https://127.0.0.1:" + std::to_string(server.port()) + "/missing", server.url("/loop"),
                                 server.url("/file")}) {
    std::string body = "x";
    EXPECT_FALSE(httpFetch(url, 1000, body)) << url;
    EXPECT_EQ(body, "") << url;
  }
}

// Windows' proxy settings read for FFmpeg: which proxy a URL takes, and which hosts go direct.
TEST(SystemProxy, ServersPerSchemeAndTheBypassList) {
  const std::string perScheme = "ftp=f:21;http=web.proxy:8080;https=http://tls.proxy:3128;socks=s:1080";
  const std::string bypass = "<local>; *.corp.example;10.*;http://only.http;port.example:8443";
  const std::tuple<const char*, std::string, std::string, std::string> cases[] = {  // url, servers, bypass, proxy
      {"http://radio.example/live", "proxy:3128", "", "http://proxy:3128"},
      {"https://radio.example/live", "proxy:3128", "", "http://proxy:3128"},
      {"http://radio.example/live", perScheme, "", "http://web.proxy:8080"},
      {"HTTPS://Radio.Example:8443/", perScheme, "", "http://tls.proxy:3128"},
      {"http://radio.example/", "ftp=f:21", "", ""},                 // no entry for the scheme: direct
      {"http://radio.example/", "https://secure.proxy:443", "", ""},  // a TLS proxy FFmpeg cannot use
      {"http://user:pw@radio.example:8000/", "p:1", "", "http://p:1"},
      {"http://intranet/feed", "p:1", bypass, ""},
      {"http://a.b.corp.example/x", "p:1", bypass, ""},
      {"http://10.1.2.3/x", "p:1", bypass, ""},
      {"http://only.http/x", "p:1", bypass, ""},
      {"https://only.http/x", "p:1", bypass, "http://p:1"},
      {"https://port.example:8443/", "p:1", bypass, ""},
      {"https://port.example/", "p:1", bypass, "http://p:1"},
      {"http://127.0.0.1:8000/", "p:1", "", ""},  // loopback is never sent to a proxy
      {"http://localhost/", "p:1", "<-loopback>", "http://p:1"},
      {"http://[::1]:80/", "p:1", "", ""},
      {"file:///C:/a.mp3", "p:1", "", ""},
      {"http://radio.example/", "", "", ""},
  };
  for (const auto& [url, servers, list, proxy] : cases) EXPECT_EQ(proxyForUrl(url, servers, list), proxy) << url;
}

TEST(Http, EveryWaitTheWholeTransferAndTheBodySizeAreBounded) {
  auto sent = std::make_shared<std::atomic<size_t>>(0);
  test::HttpServer server([sent](const HttpRequest& req, HttpConnection& c) {
    if (req.target == "/stall") c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
    if (req.target == "/big") c.send("HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\n\r\nabc");
    if (req.target == "/slow") {  // a byte every 150 ms, 900 ms in all
      c.send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n");
      for (int i = 0; i < 6; ++i)
        if (!c.wait(150) || !c.send("x")) return;
    }
    if (req.target == "/stream" && c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n"))
      for (const std::string chunk(256 * 1024, 'z'); c.send(chunk);) *sent += chunk.size();
    c.wait(20000);
  });
  // Path, time-outs, cap, least and most time: silent, stalled, trickling, endless, declared too long.
  const std::tuple<const char*, uint32_t, uint32_t, size_t, long long, long long> cases[] = {
      {"/silent", 300, 0, kHttpMaxBodyBytes, 250, 1300}, {"/stall", 300, 0, kHttpMaxBodyBytes, 250, 1300},
      {"/slow", 600, 500, kHttpMaxBodyBytes, 450, 1300}, {"/stream", 2000, 0, 1024 * 1024, 0, 20000},
      {"/stream", 5000, 0, kHttpMaxBodyBytes, 0, 60000}, {"/big", 3000, 0, 1000, 0, 1000}};
  for (const auto& [path, stepMs, totalMs, cap, atLeast, below] : cases) {
    auto start = Clock::now();
    std::string body = "stale";
    EXPECT_FALSE(httpFetch(server.url(path), stepMs, body, cap, totalMs)) << path;
    const long long elapsed = msSince(start);
    EXPECT_TRUE(body.empty()) << path;
    EXPECT_TRUE(elapsed >= atLeast && elapsed < below) << path << ": " << elapsed << " ms";
  }
  // Each wait shorter than the step time-out, the whole longer: not cut.
  EXPECT_EQ(httpGet(server.url("/slow"), 400), "xxxxxx");
  server.stop();
  EXPECT_GE(sent->load(), kHttpMaxBodyBytes + 1024 * 1024);  // both endless bodies were read up to their caps
}

}  // namespace
}  // namespace vell
