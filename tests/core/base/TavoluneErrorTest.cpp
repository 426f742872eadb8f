#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"
#include "core/network/URLMake.hpp"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>

using namespace tavolune;

namespace {

TEST(TavoluneError, SentencesOfEveryCase) {
  EXPECT_EQ(TavoluneError::invalidInput("hello").errorDescription(), "Unrecognized address: hello");
  EXPECT_EQ(TavoluneError::notFound("vitalik.eth").errorDescription(), "Not found: vitalik.eth");
  EXPECT_EQ(TavoluneError::decoding("api.x: bad").errorDescription(), "unexpected answer from the service");
  EXPECT_EQ(TavoluneError::allProvidersFailed("Polygon").errorDescription(), "no service answered (Polygon)");
  EXPECT_EQ(TavoluneError::timeout().errorDescription(), "the service took too long to answer");
  EXPECT_EQ(TavoluneError::http(429, "https://api.opensea.io/api/v2/chain/x").errorDescription(),
            "OpenSea is busy, Tavolune will try again later");
  EXPECT_EQ(TavoluneError::http(403, "https://eth.blockscout.com/api").errorDescription(),
            "Blockscout refused the request");
  EXPECT_EQ(TavoluneError::http(500, "not a url").errorDescription(), "not a url is down for now");
  EXPECT_EQ(TavoluneError::http(500, "/relative/path").errorDescription(), "/relative/path is down for now");
  EXPECT_STREQ(TavoluneError::http(404, "https://api.tzkt.io/v1").what(), "not found on TzKT");
}

TEST(TavoluneError, DescribeAndServiceNames) {
  EXPECT_EQ(TavoluneError::describe(401, "OpenSea"), "OpenSea refused the request");
  EXPECT_EQ(TavoluneError::describe(403, "OpenSea"), TavoluneError::describe(401, "OpenSea"));
  EXPECT_EQ(TavoluneError::describe(404, "objkt"), "not found on objkt");
  EXPECT_EQ(TavoluneError::describe(418, "TzKT"), "TzKT answered with an error (418)");
  EXPECT_EQ(TavoluneError::describe(503, "Satflow"), "Satflow is down for now");
  EXPECT_EQ(TavoluneError::describe(302, "x"), "x answered with an error (302)");

  EXPECT_EQ(TavoluneError::serviceName("api.opensea.io"), "OpenSea");
  EXPECT_EQ(TavoluneError::serviceName("data.objkt.com"), "objkt");
  EXPECT_EQ(TavoluneError::serviceName("api.tzkt.io"), "TzKT");
  EXPECT_EQ(TavoluneError::serviceName("base.blockscout.com"), "Blockscout");
  EXPECT_EQ(TavoluneError::serviceName("api.satflow.com"), "Satflow");
  EXPECT_EQ(TavoluneError::serviceName("token.artblocks.io"), "Art Blocks");
  EXPECT_EQ(TavoluneError::serviceName("API.OPENSEA.IO"), "API.OPENSEA.IO");  // case-sensitive
  EXPECT_EQ(TavoluneError::serviceName("ipfs.io"), "ipfs.io");
  EXPECT_EQ(TavoluneError::serviceName("opensea.tzkt.io"), "OpenSea");  // the first row wins
}

TEST(TavoluneError, EqualityBySameCaseAndPayload) {
  EXPECT_EQ(TavoluneError::http(429, "u"), TavoluneError::http(429, "u"));
  EXPECT_FALSE(TavoluneError::http(429, "u") == TavoluneError::http(403, "u"));
  EXPECT_FALSE(TavoluneError::notFound("a") == TavoluneError::invalidInput("a"));
  EXPECT_EQ(TavoluneError::timeout(), TavoluneError::timeout());
}

TEST(TavoluneError, PlainGroupsTransportErrors) {
  auto plainOf = [](int code, long os = 0) { return TavoluneError::plain(TransportError(code, os, "http://h/", "x")); };
  EXPECT_EQ(plainOf(CURLE_OPERATION_TIMEDOUT), "the service took too long to answer");
  EXPECT_EQ(plainOf(CURLE_COULDNT_RESOLVE_HOST), "the service can't be reached");
  EXPECT_EQ(plainOf(CURLE_COULDNT_CONNECT, ECONNREFUSED), "the service can't be reached");
  EXPECT_EQ(plainOf(CURLE_COULDNT_CONNECT, ENETUNREACH), "no internet connection");
  EXPECT_EQ(plainOf(CURLE_RECV_ERROR), "no internet connection");
  EXPECT_EQ(plainOf(CURLE_GOT_NOTHING), "no internet connection");
  EXPECT_EQ(plainOf(CURLE_SSL_CONNECT_ERROR), "network error");
  EXPECT_EQ(plainOf(CURLE_TOO_MANY_REDIRECTS), "network error");

  EXPECT_EQ(TavoluneError::plain(TavoluneError::http(404, "https://api.opensea.io/x")), "not found on OpenSea");
  EXPECT_EQ(TavoluneError::plain(std::runtime_error("disk full")), "disk full");
  EXPECT_EQ(TavoluneError::plain(std::make_exception_ptr(TavoluneError::timeout())),
            "the service took too long to answer");
  EXPECT_EQ(TavoluneError::plain(std::make_exception_ptr(42)), "unknown error");
  EXPECT_EQ(TavoluneError::plain(CancellationError()), "cancelled");
}

TEST(URLMake, AppendsEncodedPairsAfterTheBaseItems) {
  auto u = url::make("https://api.example.com/v2/items?chain=base", {{"limit", "50"}, {"next", "a+b/c=="}});
  ASSERT_TRUE(u);
  EXPECT_EQ(u->string(), "https://api.example.com/v2/items?chain=base&limit=50&next=a%2Bb/c%3D%3D");
  EXPECT_EQ(url::make("https://a.b/x?y=1", {})->string(), "https://a.b/x?y=1");
  EXPECT_EQ(url::make("https://a.b/x", {})->string(), "https://a.b/x");
  EXPECT_EQ(url::make("https://a.b/x", {{"q", "é & ü=#"}})->string(), "https://a.b/x?q=%C3%A9%20%26%20%C3%BC%3D%23");
  EXPECT_EQ(url::make("https://a.b/x#frag", {{"a", "1"}})->string(), "https://a.b/x?a=1#frag");
  EXPECT_EQ(url::make("https://a.b/x?", {{"a", "1"}})->string(), "https://a.b/x?a=1");
  EXPECT_EQ(url::make("https://a.b/x", {{"a b", ""}})->string(), "https://a.b/x?a%20b=");
  EXPECT_FALSE(url::make("", {{"a", "1"}}));
  EXPECT_FALSE(url::make("ht tp://a.b/", {}));
  EXPECT_FALSE(url::make("https://a b/", {{"a", "1"}}));
}

}  // namespace
