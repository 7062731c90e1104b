#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <tuple>

#include "platform/Http.h"
#include "support/Env.h"
#include "support/HttpServer.h"

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
  test::HttpServer target([](const HttpRequest& req, HttpConnection& c) { c.respond(200, "final:" + req.target); });
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
  if (test::setHttpProxy(target.url(""))) {  // the user's proxy is taken
    EXPECT_EQ(httpGet("http://radio.invalid/live?x=1", 2000), "final:http://radio.invalid/live?x=1");
    test::setHttpProxy("");
  }
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
