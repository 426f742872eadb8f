#include "core/network/GraphQLRequest.hpp"
#include "core/network/GraphQLResponse.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/network/URLMake.hpp"
#include "core/base/TavoluneError.hpp"
#include "tests/support/Errors.hpp"
#include "tests/support/LoopbackServer.hpp"
#include "tests/support/ScopedProxyEnvironment.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

using namespace tavolune;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::LoopbackServer;

namespace {

using Clock = std::chrono::steady_clock;

class HTTPClientTest : public ::testing::Test {
 protected:
  HTTPClientTest() : client(std::make_shared<URLSession>()) {
    client.clock = tavolune::Clock(&tavolune::Clock::systemNow, [this](double seconds, std::stop_token stop) {
      waits.push_back(seconds);
      if (stop.stop_requested()) throw CancellationError();
    });
  }

  Url at(std::string_view pathAndQuery) const { return *Url::parse(server.url(pathAndQuery)); }

  LoopbackServer server;
  HTTPClient client;
  std::vector<double> waits;
};

using testsupport::tavoluneErrorOf;

using testsupport::transportErrorOf;

TEST_F(HTTPClientTest, FourAnswersOf429GiveFourRequestsWithDoublingWaitsThenAnError) {
  server.on("GET", "/busy", CannedResponse::json("{}", 429));
  auto error = tavoluneErrorOf([&] { client.get(at("/busy?page=2")); });
  EXPECT_EQ(error.kind(), TavoluneError::Kind::http);
  EXPECT_EQ(error.status(), 429);
  EXPECT_EQ(error.url(), server.url("/busy?page=2"));
  EXPECT_EQ(server.requests("GET", "/busy").size(), 4u);
  EXPECT_THAT(waits, ElementsAre(1.0, 2.0, 4.0));
  EXPECT_EQ(error.errorDescription(), "127.0.0.1 is busy, Tavolune will try again later");
}

TEST_F(HTTPClientTest, RetryAfterIsHonouredAndCappedAndUnreadableValuesFallBack) {
  server.onSequence("GET", "/rl",
                    {CannedResponse::json("{}", 429).withHeader("Retry-After", "120"),
                     CannedResponse::json("{}", 429).withHeader("Retry-After", "0.5"),
                     CannedResponse::json("{}", 429).withHeader("Retry-After", "Wed, 21 Oct 2015 07:28:00 GMT"),
                     CannedResponse::json(R"({"ok":true})")});
  EXPECT_EQ(client.get(at("/rl")), R"({"ok":true})");
  EXPECT_THAT(waits, ElementsAre(10.0, 0.5, 4.0));

  waits.clear();
  server.onSequence("GET", "/odd",
                    {CannedResponse::json("{}", 429).withHeader("Retry-After", "-3"),
                     CannedResponse::json("{}", 429).withHeader("Retry-After", "nan"),
                     CannedResponse::json("{}", 429).withHeader("Retry-After", "inf"),
                     CannedResponse::json("[]")});
  EXPECT_EQ(client.get(at("/odd")), "[]");
  EXPECT_THAT(waits, ElementsAre(1.0, 2.0, 10.0));
}

TEST(HTTPClientRetryDelay, ReadsTheWholeTextAsANumber) {
  EXPECT_EQ(HTTPClient::retryDelay(std::nullopt, 0), 1.0);
  EXPECT_EQ(HTTPClient::retryDelay(std::nullopt, 2), 4.0);
  EXPECT_EQ(HTTPClient::retryDelay("3", 0), 3.0);
  EXPECT_EQ(HTTPClient::retryDelay("1e1", 0), 10.0);
  EXPECT_EQ(HTTPClient::retryDelay("2.5e-1", 1), 0.25);
  EXPECT_EQ(HTTPClient::retryDelay("1e999", 1), 10.0);  // overflows to infinity: capped
  EXPECT_EQ(HTTPClient::retryDelay(" 3", 1), 2.0);      // a leading blank does not read
  EXPECT_EQ(HTTPClient::retryDelay("3s", 1), 2.0);
  EXPECT_EQ(HTTPClient::retryDelay("", 2), 4.0);
  EXPECT_EQ(HTTPClient::retryDelay("-0.5", 2), 4.0);
  EXPECT_EQ(HTTPClient::retryDelay("0", 2), 0.0);
}

TEST_F(HTTPClientTest, A429ThenSuccessReturnsTheBodyAfterOneWait) {
  server.onSequence("GET", "/x", {CannedResponse::json("{}", 429), CannedResponse::json(R"({"n":1})")});
  auto value = client.getJSON<JSONValue>(at("/x"));
  EXPECT_EQ(value["n"].asInt(), 1);
  EXPECT_THAT(waits, ElementsAre(1.0));
  EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(HTTPClientTest, PostJSONNeverRetriesAndSendsJSONHeaders) {
  server.on("POST", "/graphql", CannedResponse::json("{}", 429));
  GraphQLRequest request{.query = "query { a }", .variables = JSONValue::Object{{"limit", JSONValue(500)}}};
  auto error = tavoluneErrorOf([&] { client.postJSON<GraphQLResponse<JSONValue>>(at("/graphql"), request); });
  EXPECT_TRUE(error.isHTTP(429));
  EXPECT_EQ(error.url(), server.url("/graphql"));
  EXPECT_TRUE(waits.empty());
  auto sent = server.requests("POST", "/graphql");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].header("Content-Type"), "application/json");
  EXPECT_EQ(sent[0].header("Accept"), "application/json");
  EXPECT_EQ(JSONValue::parse(sent[0].body), JSONValue::parse(R"({"query":"query { a }","variables":{"limit":500}})"));
  EXPECT_NE(sent[0].body.find("500"), std::string::npos);
  EXPECT_EQ(sent[0].body.find("500.0"), std::string::npos);
}

TEST_F(HTTPClientTest, PostJSONDecodesAGraphQLAnswerAndAnEncodingFailureSendsNothing) {
  server.post("/graphql", R"({"data":{"tokens":[{"id":"1"}]},"errors":null})");
  auto answer = client.postJSON<GraphQLResponse<JSONValue>>(at("/graphql"), GraphQLRequest{.query = "q"});
  ASSERT_TRUE(answer.data);
  EXPECT_EQ((*answer.data)["tokens"][0]["id"].string(), "1");
  EXPECT_FALSE(answer.errors);

  server.resetRecords();
  GraphQLRequest bad{.query = std::string("\xff\xfe")};
  EXPECT_THROW(client.postJSON<JSONValue>(at("/graphql"), bad), JSONValue::EncodeError);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(HTTPClientTest, HeaderRules) {
  server.get("/h", "{}");
  client.getJSON<JSONValue>(at("/h"));
  auto plain = *server.lastRequest();
  EXPECT_EQ(plain.header("Accept"), "application/json");
  EXPECT_EQ(plain.header("User-Agent"), "Tavolune/1.0 (+https://github.com/tavolune/tavolune)");

  client.getJSON<JSONValue>(at("/h"), {{"Accept", "application/ld+json"}, {"X-API-KEY", "k"}});
  auto own = *server.lastRequest();
  EXPECT_EQ(own.header("Accept"), "application/ld+json");
  EXPECT_EQ(own.header("X-API-KEY"), "k");

  client.get(at("/h"), {{"user-agent", "Mine/2"}});
  auto agent = *server.lastRequest();
  EXPECT_EQ(agent.header("User-Agent"), "Mine/2");
  int agents = 0;
  for (const auto& [k, v] : agent.headers) agents += (k == "User-Agent" || k == "user-agent");
  EXPECT_EQ(agents, 1);

  // A line break in a field never reaches the wire.
  server.resetRecords();
  EXPECT_THROW(client.get(at("/h"), {{"X-API-KEY", "k\r\nX-Injected: 1"}}), std::invalid_argument);
  EXPECT_THROW(client.get(at("/h"), {{"Bad\nName", "v"}}), std::invalid_argument);
  EXPECT_EQ(server.requestCount(), 0u);

  HTTPClient custom = client;
  custom.userAgent = "Other/3";
  custom.get(at("/h"));
  EXPECT_EQ(server.lastRequest()->header("User-Agent"), "Other/3");
}

TEST_F(HTTPClientTest, AnEmpty204AnswerFailsToDecodeWithTheHost) {
  server.on("GET", "/none", CannedResponse::empty(204));
  auto error = tavoluneErrorOf([&] { client.getJSON<JSONValue>(at("/none")); });
  EXPECT_EQ(error.kind(), TavoluneError::Kind::decoding);
  EXPECT_TRUE(error.text().starts_with("127.0.0.1: ")) << error.text();
  EXPECT_EQ(TavoluneError::plain(error), "unexpected answer from the service");
  // The raw GET is content with an empty 2xx body.
  EXPECT_EQ(client.get(at("/none")), "");
}

TEST_F(HTTPClientTest, AnswerOfTheWrongShapeIsADecodingError) {
  server.get("/list", R"({"not":"a list"})");
  auto error = tavoluneErrorOf([&] { client.getJSON<std::vector<std::string>>(at("/list")); });
  EXPECT_EQ(error.kind(), TavoluneError::Kind::decoding);
  EXPECT_TRUE(error.text().starts_with("127.0.0.1: "));
  server.get("/strings", R"(["a","b"])");
  EXPECT_THAT(client.getJSON<std::vector<std::string>>(at("/strings")), ElementsAre("a", "b"));
}

TEST_F(HTTPClientTest, UnroutedPathsAnswer404OrTheFallback) {
  EXPECT_TRUE(tavoluneErrorOf([&] { client.get(at("/nowhere")); }).isHTTP(404));
  server.otherwise([](const auto& r) { return CannedResponse::text(r.method + " " + r.path, 200); });
  EXPECT_EQ(client.get(at("/tokens/0xabc/instances/7")), "GET /tokens/0xabc/instances/7");
}

TEST_F(HTTPClientTest, StatusErrorsCarryTheRequestedURLAndNoRetry) {
  server.get("/gone", "{}", 404);
  server.get("/down", "{}", 503);
  auto notFound = tavoluneErrorOf([&] { client.get(at("/gone")); });
  EXPECT_TRUE(notFound.isHTTP(404));
  EXPECT_EQ(notFound.errorDescription(), "not found on 127.0.0.1");
  auto down = tavoluneErrorOf([&] { client.getJSON<JSONValue>(at("/down")); });
  EXPECT_TRUE(down.isHTTP(503));
  EXPECT_EQ(server.requests("GET", "/down").size(), 1u);
  EXPECT_TRUE(waits.empty());
}

TEST_F(HTTPClientTest, RedirectsAreFollowedButErrorsNameTheRequestedURL) {
  server.on("GET", "/old", CannedResponse::redirect("/new"));
  server.get("/new", R"({"moved":true})");
  EXPECT_EQ(client.getJSON<JSONValue>(at("/old"))["moved"].asBool(), true);

  server.on("GET", "/moved", CannedResponse::redirect(server.url("/missing"), 301));
  auto error = tavoluneErrorOf([&] { client.get(at("/moved?x=1")); });
  EXPECT_TRUE(error.isHTTP(404));
  EXPECT_EQ(error.url(), server.url("/moved?x=1"));
  EXPECT_EQ(server.requests("GET", "/missing").size(), 1u);
}

TEST_F(HTTPClientTest, AKeyFollowsRedirectsOnlyWithinItsOrigin) {
  LoopbackServer other;
  other.otherwise([](const auto&) { return CannedResponse::json("{}"); });
  server.get("/new", R"({"moved":true})");
  const std::string port = std::to_string(server.port());
  const struct {
    const char* name;
    std::string location;
    int status;  // what the keyed request ends with
  } rows[] = {
      {"same origin", "/new", 200},
      {"other port", other.url("/new"), 302},
      {"other host name", "http://localhost:" + port + "/new", 302},
      {"other scheme", "https://127.0.0.1:" + port + "/new", 302},
  };
  for (const auto& row : rows) {
    server.on("GET", "/key", CannedResponse::redirect(row.location));
    HTTPRequest request;
    request.url = at("/key");
    request.setHeader("X-API-KEY", "secret");
    EXPECT_EQ(client.data(request).response.status, row.status) << row.name;
  }
  EXPECT_EQ(other.connectionsAccepted(), 0u);
  ASSERT_EQ(server.requests("GET", "/new").size(), 1u);
  EXPECT_EQ(server.requests("GET", "/new").front().header("X-API-KEY"), "secret");
  // Without a key the same redirect is followed anywhere.
  server.on("GET", "/plain", CannedResponse::redirect(other.url("/new")));
  EXPECT_EQ(client.get(at("/plain")), "{}");
}

TEST_F(HTTPClientTest, URLsFromTokenDataReachOnlyPublicAddresses) {
  HTTPClient outside = client;
  outside.publicAddressesOnly = true;
  LoopbackServer local(LoopbackServer::Role::localService);
  local.get("/open", "{}");
  // The server stands in for a public host: the first hop connects and each
  // redirect is refused where it leads, before any socket is opened.
  for (const std::string& target :
       {std::string("http://169.254.169.254/latest/meta-data/"), std::string("http://10.1.2.3/x"),
        std::string("http://192.168.1.1/x"), std::string("http://[fd00::1]/x"), std::string("http://[fe80::1]/x"),
        std::string("http://[::ffff:172.16.0.1]/x"), std::string("http://0.0.0.0/x"), local.url("/open"),
        "http://localhost:" + std::to_string(local.port()) + "/open"}) {
    server.on("GET", "/hop", CannedResponse::redirect(target));
    auto refused = transportErrorOf([&] { outside.get(at("/hop")); });
    EXPECT_EQ(refused.group(), TransportError::Group::localAddress) << target << ": " << refused.what();
    EXPECT_EQ(TavoluneError::plain(refused), "the address is on this computer or its local network") << target;
    EXPECT_EQ(refused.url(), server.url("/hop")) << target;
  }

  // A redirect within the named server is followed, a relative one too.
  server.on("GET", "/relative", CannedResponse::redirect("landing?x=1", 301));
  server.get("/landing", R"("landed")");
  EXPECT_EQ(outside.get(at("/relative")), R"("landed")");

  // A local service is refused on a fresh connection and on one a trusted
  // request left open.
  const Url open = *Url::parse(local.url("/open"));
  EXPECT_EQ(client.get(open), "{}");
  const auto accepted = local.connectionsAccepted();
  auto reused = transportErrorOf([&] { outside.get(open); });
  EXPECT_NE(std::string(reused.what()).find("127.0.0.1"), std::string::npos) << reused.what();
  HTTPClient fresh(std::make_shared<URLSession>());
  fresh.publicAddressesOnly = true;
  transportErrorOf([&] { fresh.get(open); });
  EXPECT_EQ(local.requests("GET", "/open").size(), 1u);
  EXPECT_EQ(local.connectionsAccepted(), accepted);
}

using ScopedEnvironment = testsupport::ScopedProxyEnvironment;

TEST_F(HTTPClientTest, AConfiguredProxyCarriesPublicOnlyRequestsAndTheirHostsAreChecked) {
  // A forward proxy on this machine that opens every tunnel and answers
  // through it itself, so that nothing leaves the machine.
  LoopbackServer proxy(LoopbackServer::Role::localService);
  LoopbackServer local(LoopbackServer::Role::localService);
  proxy.otherwise([&](const testsupport::RecordedRequest& r) {
    if (r.method == "CONNECT") return CannedResponse::empty(200);
    if (r.path.ends_with("/hop")) return CannedResponse::redirect(local.url("/secret"));
    return CannedResponse::text("via proxy " + r.path);
  });
  auto tunnels = [&] {
    std::vector<std::string> targets;
    for (const auto& r : proxy.requests()) {
      if (r.method == "CONNECT") targets.push_back(r.path);
    }
    return targets;
  };
  server.get("/direct", R"("direct")");
  ScopedEnvironment environment({{"http_proxy", proxy.baseURL()}, {"https_proxy", proxy.baseURL()},
                                 {"NO_PROXY", "example.org, 127.0.0.1/8"}});
  // Its own connections close before the proxy stops.
  HTTPClient outside(std::make_shared<URLSession>());
  outside.publicAddressesOnly = true;

  // A public address is asked for through the proxy as it is, in absolute
  // form.
  EXPECT_EQ(outside.get(*Url::parse("http://93.184.216.34/art")), "via proxy http://93.184.216.34/art");
  // A local host behind the proxy, named or reached by a redirect, is
  // refused before it is asked for.
  ::setenv("NO_PROXY", "example.org", 1);
  for (const std::string& url : {local.url("/secret"), std::string("http://93.184.216.34/hop")}) {
    auto refused = transportErrorOf([&] { outside.get(*Url::parse(url)); });
    EXPECT_EQ(refused.group(), TransportError::Group::localAddress) << url << ": " << refused.what();
  }
  EXPECT_EQ(proxy.requests("GET", "http://93.184.216.34/hop").size(), 1u);
  EXPECT_EQ(local.requestCount(), 0u);
  // A host the proxy list exempts is reached directly, checked as ever.
  ::setenv("NO_PROXY", "example.org, 127.0.0.1/8", 1);
  const std::size_t asked = proxy.requestCount();
  EXPECT_EQ(outside.get(at("/direct")), R"("direct")");
  EXPECT_EQ(server.requests("GET", "/direct").size(), 1u);
  EXPECT_EQ(proxy.requestCount(), asked);

  // A host name reaches the proxy as a tunnel to the address checked here,
  // so that the proxy's own look-up cannot answer otherwise; the server
  // still sees the name.
  ::setenv("NO_PROXY", "example.org", 1);
  HTTPClient::allowLocalServer("::1", server.port());
  const std::string port = std::to_string(server.port());
  EXPECT_EQ(outside.get(*Url::parse("http://localhost:" + port + "/named")), "via proxy /named");
  EXPECT_EQ(proxy.lastRequest()->header("Host"), "localhost:" + port);
  transportErrorOf([&] { outside.get(*Url::parse("https://localhost:" + port + "/named")); });
  HTTPClient::forgetLocalServer("::1", server.port());
  const auto named = tunnels();
  ASSERT_EQ(named.size(), 2u);
  for (const std::string& target : named) {
    EXPECT_TRUE(target == "127.0.0.1:" + port || target == "[::1]:" + port) << target;
  }
}

TEST_F(HTTPClientTest, BehindAProxyOwnServicesAreAskedForByNameAndOnlyOnTheFirstHop) {
  // A service host that no resolver knows: behind the proxy only its name
  // may travel.
  const std::string own = "service.tavolune-test.invalid";
  std::optional<testsupport::OwnServiceStandIn> standIn(own);
  const std::string gateway = "gateway.tavolune-test.invalid";
  const testsupport::OwnServiceStandIn gatewayStandIn(gateway, true);
  LoopbackServer proxy(LoopbackServer::Role::localService);
  LoopbackServer local(LoopbackServer::Role::localService);
  proxy.otherwise([&](const testsupport::RecordedRequest& r) {
    if (r.method == "CONNECT") return CannedResponse::empty(200);
    if (r.path == "/to-itself") return CannedResponse::redirect("/tokens");
    if (r.path == "/to-sub") return CannedResponse::redirect("http://cid.ipfs." + r.header("Host").value_or("") + "/art");
    if (r.path == "/to-outside") return CannedResponse::redirect("http://outside.tavolune-test.invalid/sub");
    if (r.path == "/to-local") return CannedResponse::redirect(local.url("/secret"));
    return CannedResponse::text("via proxy " + r.path);
  });
  ScopedEnvironment environment({{"http_proxy", proxy.baseURL()}, {"https_proxy", proxy.baseURL()}});
  HTTPClient services(std::make_shared<URLSession>());
  services.publicAddressesOnly = true;
  services.ownServices = true;
  const Url tokens = *Url::parse("http://" + own + "/tokens");

  EXPECT_EQ(services.get(tokens), "via proxy /tokens");
  EXPECT_EQ(proxy.requests("CONNECT", own + ":80").size(), 1u);
  // A gateway's redirect into its own domain travels by name as well.
  EXPECT_EQ(services.get(*Url::parse("http://" + gateway + "/to-sub")), "via proxy /art");
  EXPECT_EQ(proxy.requests("CONNECT", "cid.ipfs." + gateway + ":80").size(), 1u);

  // Anything else goes the way of token data: looked up here and refused
  // before it is asked for, a redirect of the service's own too.
  HTTPClient tokenData = services;
  tokenData.ownServices = false;
  const struct {
    const char* name;
    const HTTPClient& client;
    std::string url;
    TransportError::Group refused;
  } rows[] = {
      {"the service's name from token data", tokenData, tokens.string(), TransportError::Group::unreachable},
      {"a name that is not a service's", services, "http://elsewhere.tavolune-test.invalid/x",
       TransportError::Group::unreachable},
      {"a redirect back to the service", services, "http://" + own + "/to-itself", TransportError::Group::unreachable},
      {"a redirect to this machine", services, "http://" + own + "/to-local", TransportError::Group::localAddress},
      {"a service's redirect into its domain", services, "http://" + own + "/to-sub",
       TransportError::Group::unreachable},
      {"a gateway's redirect out of its domain", services, "http://" + gateway + "/to-outside",
       TransportError::Group::unreachable},
      {"the gateway's name from token data", tokenData, "http://" + gateway + "/to-sub",
       TransportError::Group::unreachable},
  };
  for (const auto& row : rows) {
    auto refused = transportErrorOf([&] { row.client.get(*Url::parse(row.url)); });
    EXPECT_EQ(refused.group(), row.refused) << row.name << ": " << refused.what();
  }
  EXPECT_EQ(proxy.requests("GET", "/tokens").size(), 1u);
  EXPECT_EQ(local.requestCount(), 0u);

  // Without a proxy a service's addresses are checked as ever.
  {
    const testsupport::OwnServiceStandIn localService("localhost");
    ::unsetenv("http_proxy");
    const Url open = *Url::parse("http://localhost:" + std::to_string(local.port()) + "/open");
    auto direct = transportErrorOf([&] { services.get(open); });
    EXPECT_EQ(direct.group(), TransportError::Group::localAddress) << direct.what();
    EXPECT_EQ(local.requestCount(), 0u);
  }
  standIn.reset();
  EXPECT_FALSE(HTTPClient::isOwnServiceHost(own));
  EXPECT_TRUE(HTTPClient::isOwnServiceHost("API.tzkt.io"));
}

TEST_F(HTTPClientTest, OnlyHTTPAndHTTPSAreSpoken) {
  server.on("GET", "/to-file", CannedResponse::redirect("file:///etc/passwd"));
  auto redirected = transportErrorOf([&] { client.get(at("/to-file")); });
  EXPECT_EQ(redirected.group(), TransportError::Group::other);
  EXPECT_EQ(redirected.url(), server.url("/to-file"));
  EXPECT_EQ(TavoluneError::plain(redirected), "network error");

  auto ftp = transportErrorOf([&] { client.get(*Url::parse("ftp://127.0.0.1/x")); });
  EXPECT_EQ(TavoluneError::plain(ftp), "network error");
}

TEST_F(HTTPClientTest, TransportFailuresFallIntoTheirGroups) {
  // Answered well past the time-out: an answer at all would mean no time-out.
  server.on("GET", "/slow", CannedResponse::json("{}").after(20s));
  auto late = transportErrorOf([&] { client.get(at("/slow"), {}, 0.2); });
  EXPECT_EQ(late.group(), TransportError::Group::timedOut);
  EXPECT_EQ(TavoluneError::plain(late), "the service took too long to answer");
  EXPECT_EQ(late.url(), server.url("/slow"));

  int closedPort = 0;
  {
    LoopbackServer gone;
    closedPort = gone.port();
  }
  auto refused = transportErrorOf(
      [&] { client.get(*Url::parse("http://127.0.0.1:" + std::to_string(closedPort) + "/"), {}, 5); });
  EXPECT_EQ(refused.group(), TransportError::Group::unreachable);
  EXPECT_EQ(TavoluneError::plain(refused), "the service can't be reached");
}

// A site's own certificate authority, named the OpenSSL way, is trusted; an
// unknown certificate never is.
TEST_F(HTTPClientTest, SslCertFileNamesTheTrustedCertificates) {
  LoopbackServer secure(LoopbackServer::Tls::loopback());
  secure.on("GET", "/a", CannedResponse::text("over TLS"));
  const Url url = *Url::parse(secure.url("/a"));
  const char* before = std::getenv("SSL_CERT_FILE");
  const std::optional<std::string> saved = before ? std::optional<std::string>(before) : std::nullopt;

  ::unsetenv("SSL_CERT_FILE");
  EXPECT_EQ(transportErrorOf([&] { client.get(url, {}, 5); }).group(), TransportError::Group::other);
  ::setenv("SSL_CERT_FILE", LoopbackServer::Tls::loopback().certificateFile.c_str(), 1);
  EXPECT_EQ(client.get(url, {}, 5), "over TLS");

  saved ? ::setenv("SSL_CERT_FILE", saved->c_str(), 1) : ::unsetenv("SSL_CERT_FILE");
  EXPECT_EQ(secure.requestCount(), 1u);  // the untrusted handshake never got as far as a request
}

TEST_F(HTTPClientTest, CancellationEndsA429WaitPromptly) {
  HTTPClient real = client;
  real.clock = tavolune::Clock();
  server.on("GET", "/wait", CannedResponse::json("{}", 429).withHeader("Retry-After", "10"));
  std::stop_source stop;
  auto start = Clock::now();
  auto call = std::async(std::launch::async, [&] { real.get(at("/wait"), {}, 30, stop.get_token()); });
  ASSERT_TRUE(server.waitForRequests(1));
  std::this_thread::sleep_for(50ms);
  stop.request_stop();
  EXPECT_THROW(call.get(), CancellationError);
  // Cut short: the wait it was told to make would have ended only now.
  EXPECT_LT(Clock::now() - start, std::chrono::duration<double>(HTTPClient::maxRetryWait));
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(HTTPClientTest, CancellationEndsASlowTransferPromptly) {
  // Each takes longer than held; a cancelled call ends long before.
  constexpr auto held = 20s;
  server.on("GET", "/stall", CannedResponse::json("{}").after(held));
  CannedResponse dribble = CannedResponse::json(std::string(4096, ' ') + "{}");
  dribble.chunkDelay = 200ms;
  server.on("GET", "/dribble", dribble);

  for (const char* path : {"/stall", "/dribble"}) {
    std::stop_source stop;
    auto start = Clock::now();
    server.resetRecords();
    auto call = std::async(std::launch::async, [&] { client.get(at(path), {}, 30, stop.get_token()); });
    ASSERT_TRUE(server.waitForRequests(1));
    std::this_thread::sleep_for(100ms);
    stop.request_stop();
    EXPECT_THROW(call.get(), CancellationError) << path;
    EXPECT_LT(Clock::now() - start, held) << path;
  }

  std::stop_source already;
  already.request_stop();
  server.resetRecords();
  EXPECT_THROW(client.get(at("/stall"), {}, 30, already.get_token()), CancellationError);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(HTTPClientTest, SequentialGetsReuseOneConnection) {
  server.get("/item", R"({"id":1})");
  for (int i = 0; i < 200; ++i) client.get(at("/item"));
  EXPECT_EQ(server.requestCount(), 200u);
  std::size_t opened = server.connectionsAccepted();
  EXPECT_GE(opened, 1u);
  EXPECT_LE(opened, 2u);
  // A client on a session of its own cannot use those connections.
  HTTPClient separate(std::make_shared<URLSession>());
  separate.get(at("/item"));
  EXPECT_EQ(server.connectionsAccepted(), opened + 1);
}

TEST_F(HTTPClientTest, ConnectionsAreSharedBetweenThreadsAndCopies) {
  server.get("/item", R"({"id":1})");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this] {
      HTTPClient copy = client;
      for (int i = 0; i < 50; ++i) copy.get(at("/item"));
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(server.requestCount(), 200u);
  // Each thread needs a connection of its own at most; the rest are reused.
  EXPECT_LE(server.connectionsAccepted(), 8u);
}

TEST_F(HTTPClientTest, AJSONAnswerOver64MiBFailsAsDecoding) {
  std::string big(HTTPClient::defaultMaxJSONBytes + 1, ' ');
  big.back() = '1';
  server.get("/huge", big);
  auto error = tavoluneErrorOf([&] { client.getJSON<JSONValue>(at("/huge"), {}, 60); });
  EXPECT_EQ(error.kind(), TavoluneError::Kind::decoding);
  EXPECT_EQ(error.text(), "127.0.0.1: answer larger than 64 MiB");

  // Exactly at the limit still decodes.
  big.pop_back();
  big.back() = '2';
  server.get("/limit", big);
  EXPECT_EQ(client.getJSON<JSONValue>(at("/limit"), {}, 60).asInt(), 2);
}

TEST_F(HTTPClientTest, BigIntegersSurviveTheRoundTrip) {
  const std::string id = "115792089237316195423570985008687907853269984665640564039457584007913129639935";
  server.get("/token", R"({"token_id":)" + id + R"(,"cursor":9007199254740993})");
  auto token = client.getJSON<JSONValue>(at("/token"));
  EXPECT_EQ(token["token_id"].string(), id);
  EXPECT_EQ(token["cursor"].asInt(), 9007199254740993);

  server.onRequest("POST", "/echo", [](const auto& r) { return CannedResponse::json(r.body); });
  GraphQLRequest request{.query = "q", .variables = JSONValue::Object{{"after", token["cursor"]}, {"id", token["token_id"]}}};
  auto echoed = client.postJSON<JSONValue>(at("/echo"), request);
  EXPECT_NE(server.lastRequest()->body.find(id), std::string::npos);
  EXPECT_NE(server.lastRequest()->body.find("9007199254740993"), std::string::npos);
  EXPECT_EQ(echoed["variables"]["id"], token["token_id"]);
}

TEST_F(HTTPClientTest, QueryValuesReachTheServerAsWritten) {
  server.get("/page", "{}");
  auto url = url::make(server.url("/page?chain=base"), {{"cursor", "ab+c/d=="}, {"q", "a b&c"}});
  ASSERT_TRUE(url);
  client.get(*url);
  auto seen = *server.lastRequest();
  EXPECT_EQ(seen.query, "chain=base&cursor=ab%2Bc/d%3D%3D&q=a%20b%26c");
  EXPECT_EQ(seen.param("cursor"), "ab+c/d==");
  EXPECT_EQ(seen.param("q"), "a b&c");
  EXPECT_EQ(seen.param("chain"), "base");
}

TEST_F(HTTPClientTest, RawDataChecksNoStatusAndNeverRetries) {
  server.on("POST", "/keys", CannedResponse::json(R"({"error":"slow down"})", 429).withHeader("X-Limit", "7"));
  HTTPRequest request;
  request.method = "POST";
  request.url = at("/keys");
  request.body = "{}";
  request.setHeader("Content-Type", "application/json");
  auto result = client.data(request);
  EXPECT_EQ(result.response.status, 429);
  EXPECT_EQ(result.response.header("x-limit"), "7");
  EXPECT_EQ(result.body, R"({"error":"slow down"})");
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_TRUE(waits.empty());
  EXPECT_EQ(server.lastRequest()->header("User-Agent"), std::string(HTTPClient::defaultUserAgent));
  EXPECT_EQ(server.lastRequest()->body, "{}");
}

}  // namespace
