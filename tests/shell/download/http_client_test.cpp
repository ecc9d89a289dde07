// The platform's HTTP GET against the loopback server.

#include <gtest/gtest.h>

#include <string>

#include "loopback_http_server.h"
#include "platform/http_client.h"

namespace {

struct Fetched {
  platform::HttpGetResult result;
  int statusCalls = 0;
  std::string body;
};

Fetched Fetch(const std::string& url, bool acceptStatus = true) {
  Fetched fetched;
  platform::HttpGetOptions options;
  options.connectTimeoutSeconds = 10;
  fetched.result = platform::HttpGet(
      url, options,
      [&](long) {
        ++fetched.statusCalls;
        return acceptStatus;
      },
      [&](std::string_view piece) {
        fetched.body.append(piece);
        return true;
      });
  return fetched;
}

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Listening()); }
  LoopbackHttpServer server_;
};

TEST_F(HttpClientTest, LargeBodyArrivesWholeAfterOneStatusCall) {
  std::string large;
  for (int i = 0; large.size() < 3 * 1024 * 1024; ++i) large += std::to_string(i) + "\n";
  server_.Serve("/large", {200, large});
  const Fetched fetched = Fetch(server_.Url("/large"));
  EXPECT_TRUE(fetched.result.completed) << fetched.result.error;
  EXPECT_EQ(fetched.result.status, 200);
  EXPECT_EQ(fetched.statusCalls, 1);
  EXPECT_TRUE(fetched.body == large);
}

TEST_F(HttpClientTest, ErrorStatusIsReportedWithItsBody) {
  server_.Serve("/gone", {500, "oops"});
  const Fetched fetched = Fetch(server_.Url("/gone"));
  EXPECT_TRUE(fetched.result.completed);
  EXPECT_EQ(fetched.result.status, 500);
  EXPECT_EQ(fetched.body, "oops");
}

TEST_F(HttpClientTest, RefusedStatusStopsBeforeAnyBodyByte) {
  server_.Serve("/x", {404, "missing"});
  const Fetched fetched = Fetch(server_.Url("/x"), false);
  EXPECT_FALSE(fetched.result.completed);
  EXPECT_EQ(fetched.result.status, 404);
  EXPECT_EQ(fetched.statusCalls, 1);
  EXPECT_TRUE(fetched.body.empty());
}

TEST_F(HttpClientTest, EmptyBodyStillReportsItsStatus) {
  server_.Serve("/empty", {200, ""});
  const Fetched fetched = Fetch(server_.Url("/empty"));
  EXPECT_TRUE(fetched.result.completed);
  EXPECT_EQ(fetched.statusCalls, 1);
}

TEST_F(HttpClientTest, RedirectBodiesAreSkippedAndLoopsEnd) {
  server_.Serve("/from", {302, "redirect text", "/to"});
  server_.Serve("/to", {200, "final"});
  Fetched fetched = Fetch(server_.Url("/from"));
  EXPECT_TRUE(fetched.result.completed);
  EXPECT_EQ(fetched.body, "final");

  server_.Serve("/loop", {302, "", "/loop"});
  fetched = Fetch(server_.Url("/loop"));
  EXPECT_FALSE(fetched.result.completed);
  EXPECT_EQ(server_.Requests().size(), 2u + 11u);  // the first request and ten redirects
}

TEST_F(HttpClientTest, OnlyHttpAndHttpsAreSpoken) {
  const Fetched local = Fetch("file:///etc/hostname");
  EXPECT_FALSE(local.result.completed);
  EXPECT_EQ(local.statusCalls, 0);

  server_.Serve("/to-file", {302, "", "file:///etc/hostname"});
  const Fetched redirected = Fetch(server_.Url("/to-file"));
  EXPECT_FALSE(redirected.result.completed);
  EXPECT_TRUE(redirected.body.empty());
}

}  // namespace
