#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "platform/Http.h"
#include "support/HttpServer.h"

namespace vell {
namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Http : public ::testing::Test {
 protected:
  // A proxy set in the developer's shell must not catch the loopback requests.
  static void SetUpTestSuite() {
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  }
};

TEST_F(Http, FollowsRedirectsAcrossPortsAndSendsTheUserAgent) {
  test::HttpServer target([](const test::HttpRequest& req, test::HttpConnection& c) {
    c.respond(200, "final:" + req.target);
  });
  test::HttpServer first([&](const test::HttpRequest& req, test::HttpConnection& c) {
    if (req.target == "/start") c.respond(302, "", "text/plain", "Location: /hop\r\n");
    else c.respond(301, "", "text/plain", "Location: " + target.url("/end?a=1&b=2") + "\r\n");
  });
  std::string body;
  ASSERT_TRUE(httpFetch(first.url("/start"), 2000, body));
  EXPECT_EQ(body, "final:/end?a=1&b=2");
  ASSERT_EQ(first.requests().size(), 2u);
  ASSERT_EQ(target.requests().size(), 1u);
  for (const auto& req : {first.requests()[0], first.requests()[1], target.requests()[0]}) {
    EXPECT_EQ(req.method, "GET");
    EXPECT_EQ(req.header("user-agent"), kHttpUserAgent);
    EXPECT_EQ(req.header("accept-encoding"), "");  // the body comes back as the server has it
  }
}

TEST_F(Http, ReturnsTheBodyOfAnErrorPageAndBinaryBytes) {
  std::string binary("a\0b\r\n\xff", 6);
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    if (req.target == "/missing") c.respond(404, "<html>not here</html>", "text/html");
    else c.respond(200, binary, "application/octet-stream");
  });
  EXPECT_EQ(httpGet(server.url("/missing"), 2000), "<html>not here</html>");
  EXPECT_EQ(httpGet(server.url("/bin"), 2000), binary);
}

TEST_F(Http, ChunkedAndCloseDelimitedBodiesArriveWhole) {
  test::HttpServer server([](const test::HttpRequest& req, test::HttpConnection& c) {
    if (req.target == "/chunked") {
      c.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n");
    } else {
      c.send("HTTP/1.0 200 OK\r\n\r\nuntil close");
      c.close();
    }
  });
  EXPECT_EQ(httpGet(server.url("/chunked"), 2000), "hello world");
  EXPECT_EQ(httpGet(server.url("/close"), 2000), "until close");
}

TEST_F(Http, ServerThatNeverAnswersOrStallsMidBodyTimesOut) {
  test::HttpServer server([](const test::HttpRequest& req, test::HttpConnection& c) {
    if (req.target == "/stall") c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
    c.wait(20000);
  });
  for (const char* path : {"/silent", "/stall"}) {
    auto start = Clock::now();
    std::string body = "stale";
    EXPECT_FALSE(httpFetch(server.url(path), 300, body)) << path;
    long long elapsed = msSince(start);
    EXPECT_TRUE(body.empty()) << path;
    EXPECT_GE(elapsed, 250) << path;
    EXPECT_LT(elapsed, 1300) << path;
  }
}

TEST_F(Http, SlowButSteadyBodyIsNotCutByTheStepTimeOut) {
  // Each wait is shorter than the time-out, the whole transfer is longer.
  test::HttpServer server([](const test::HttpRequest&, test::HttpConnection& c) {
    c.send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n");
    for (int i = 0; i < 6; ++i) {
      if (!c.wait(120) || !c.send("x")) return;
    }
  });
  EXPECT_EQ(httpGet(server.url("/slow"), 400), "xxxxxx");
}

TEST_F(Http, EndlessBodyIsCutAtTheCap) {
  auto sent = std::make_shared<std::atomic<size_t>>(0);
  test::HttpServer server([sent](const test::HttpRequest&, test::HttpConnection& c) {
    if (!c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n")) return;
    std::string chunk(64 * 1024, 'z');
    while (c.send(chunk)) *sent += chunk.size();
  });
  std::string body;
  EXPECT_FALSE(httpFetch(server.url("/stream"), 2000, body, 1024 * 1024));
  EXPECT_TRUE(body.empty());
  server.stop();
  EXPECT_GE(sent->load(), 1024u * 1024u);
  // The production cap holds too.
  test::HttpServer again([](const test::HttpRequest&, test::HttpConnection& c) {
    if (!c.send("HTTP/1.1 200 OK\r\n\r\n")) return;
    std::string chunk(256 * 1024, 'z');
    while (c.send(chunk)) {
    }
  });
  EXPECT_EQ(httpGet(again.url("/stream"), 5000), "");
}

TEST_F(Http, DeclaredLengthOverTheCapIsRefusedBeforeReading) {
  test::HttpServer server([](const test::HttpRequest&, test::HttpConnection& c) {
    c.send("HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\n\r\nabc");
    c.wait(20000);
  });
  auto start = Clock::now();
  EXPECT_EQ(httpGet(server.url("/big"), 3000, 1000), "");
  EXPECT_LT(msSince(start), 1000);
}

TEST_F(Http, UnusableUrlsAndDeadServersGiveNothing) {
  int deadPort;
  {
    test::HttpServer gone([](const test::HttpRequest&, test::HttpConnection&) {});
    deadPort = gone.port();
  }
  for (const std::string& url : {std::string(), std::string("not a url"), std::string("file:///etc/hostname"),
                                std::string("ftp://127.0.0.1/x"),
                                "http://127.0.0.1:" + std::to_string(deadPort) + "/"}) {
    std::string body = "x";
    EXPECT_FALSE(httpFetch(url, 1000, body)) << url;
    EXPECT_EQ(body, "") << url;
  }
}

TEST_F(Http, ProxyComesFromTheEnvironment) {
  test::HttpServer proxy([](const test::HttpRequest& req, test::HttpConnection& c) {
    c.respond(200, "via proxy " + req.target);
  });
  setenv("http_proxy", proxy.url("").c_str(), 1);
  std::string body = httpGet("http://radio.invalid/live?x=1", 2000);
  unsetenv("http_proxy");
  EXPECT_EQ(body, "via proxy http://radio.invalid/live?x=1");
}

TEST_F(Http, HttpsSpeaksTls) {
  // A plain-text server cannot complete the handshake, so nothing comes back.
  test::HttpServer plain([](const test::HttpRequest&, test::HttpConnection& c) { c.respond(200, "plain"); });
  std::string url = "https://127.0.0.1:" + std::to_string(plain.port()) + "/";
  EXPECT_EQ(httpGet(url, 300), "");
}

TEST_F(Http, RedirectLoopAndRedirectToOtherSchemesFail) {
  test::HttpServer server([](const test::HttpRequest& req, test::HttpConnection& c) {
    if (req.target == "/file") c.respond(302, "", "text/plain", "Location: file:///etc/hostname\r\n");
    else c.respond(302, "loop", "text/plain", "Location: /again\r\n");
  });
  EXPECT_EQ(httpGet(server.url("/loop"), 2000), "");
  EXPECT_EQ(httpGet(server.url("/file"), 2000), "");
}

}  // namespace
}  // namespace vell
