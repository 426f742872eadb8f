#include "core/indexers/OrdProvider.hpp"
#include "core/base/TavoluneError.hpp"
#include "tests/support/Crowd.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::LoopbackServer;
using testsupport::RecordedRequest;
using namespace std::chrono_literals;

constexpr const char* owner = "bc1qar0srrr7xfkvy5l643lydnw9re59gtzzwf5mdq";

std::string idOf(int i) { return "ab" + std::to_string(1000 + i) + "i0"; }

std::string listing(int count) {
  std::string body = R"({"inscriptions":[)";
  for (int i = 0; i < count; ++i) body += (i ? ",\"" : "\"") + idOf(i) + "\"";
  return body + "]}";
}

std::string record(const std::string& id, int number) {
  return R"({"id":")" + id + R"(","number":)" + std::to_string(number) +
         R"(,"content_type":"image/png","timestamp":1700000000})";
}

// Serves count inscriptions; the records are answered by `answer`.
void serve(LoopbackServer& server, int count,
           std::function<CannedResponse(int, const RecordedRequest&)> answer = nullptr) {
  server.get(std::string("/address/") + owner, listing(count));
  for (int i = 0; i < count; ++i) {
    server.onRequest("GET", "/inscription/" + idOf(i), [i, answer](const RecordedRequest& r) {
      return answer ? answer(i, r) : CannedResponse::json(record(idOf(i), i));
    });
  }
}

TEST(OrdProvider, IdentityAndBaseURL) {
  OrdProvider p("https://ord.example/", HTTPClient());
  EXPECT_EQ(p.name(), "ord");
  EXPECT_EQ(p.baseURL(), "https://ord.example");
  EXPECT_EQ(p.maxInscriptions, 300u);
  EXPECT_EQ(OrdProvider("https://ord.example//", HTTPClient()).baseURL(), "https://ord.example/");
  EXPECT_EQ(OrdProvider("https://ord.example", HTTPClient()).baseURL(), "https://ord.example");
  for (Chain c : allCases<Chain>()) EXPECT_EQ(p.supports(c), c == Chain::bitcoin);
}

TEST(OrdProvider, ListsThenFetchesEveryInscription) {
  LoopbackServer server;
  serve(server, 12);
  OrdProvider p(server.baseURL() + "/", HTTPClient());
  auto owned = p.tokens(owner, Chain::bitcoin);
  ASSERT_EQ(owned.size(), 12u);
  std::set<std::string> ids;
  for (const auto& o : owned) {
    EXPECT_EQ(o.quantity, 1);
    ids.insert(o.artwork.tokenId);
    EXPECT_EQ(o.artwork.imageURI, server.baseURL() + "/content/" + o.artwork.tokenId);
  }
  EXPECT_EQ(ids.size(), 12u);
  // One listing request, with a single slash after the base.
  auto listings = server.requests("GET", std::string("/address/") + owner);
  ASSERT_EQ(listings.size(), 1u);
  EXPECT_EQ(listings[0].header("Accept"), "application/json");
  EXPECT_EQ(server.requestCount(), 13u);
}

TEST(OrdProvider, AnAddressWithoutInscriptionsIsAnEmptySuccess) {
  LoopbackServer server;
  OrdProvider p(server.baseURL(), HTTPClient());
  for (const char* body : {R"({"inscriptions":[]})", R"({"inscriptions":null})", R"({"outputs":[]})"}) {
    server.get(std::string("/address/") + owner, body);
    EXPECT_TRUE(p.tokens(owner, Chain::bitcoin).empty()) << body;
  }
  EXPECT_EQ(server.requestCount(), 3u);
}

TEST(OrdProvider, TheListingsFailureIsTheProvidersFailure) {
  LoopbackServer server;
  OrdProvider p(server.baseURL(), HTTPClient());
  server.get(std::string("/address/") + owner, "{}", 500);
  try {
    p.tokens(owner, Chain::bitcoin);
    ADD_FAILURE() << "no error";
  } catch (const TavoluneError& e) {
    EXPECT_TRUE(e.isHTTP(500));
  }
  server.get(std::string("/address/") + owner, R"({"inscriptions":"nope"})");
  try {
    p.tokens(owner, Chain::bitcoin);
    ADD_FAILURE() << "no error";
  } catch (const TavoluneError& e) {
    EXPECT_EQ(e.kind(), TavoluneError::Kind::decoding);
  }
}

TEST(OrdProvider, FailingInscriptionsAreLeftOutQuietly) {
  LoopbackServer server;
  serve(server, 20, [](int i, const RecordedRequest&) {
    if (i % 4 == 1) return CannedResponse::json("{}", 500);      // 5 failures: 1, 5, 9, 13, 17
    if (i == 2) return CannedResponse::json(R"({"number":2})");  // no id
    return CannedResponse::json(record(idOf(i), i));
  });
  OrdProvider p(server.baseURL(), HTTPClient());
  auto owned = p.tokens(owner, Chain::bitcoin);
  EXPECT_EQ(owned.size(), 14u);
  for (const auto& o : owned) EXPECT_NE(o.artwork.tokenId, idOf(2));
}

TEST(OrdProvider, ReadsOnlyTheFirstThreeHundred) {
  LoopbackServer server;
  serve(server, 500);
  OrdProvider p(server.baseURL(), HTTPClient());
  auto owned = p.tokens(owner, Chain::bitcoin);
  EXPECT_EQ(owned.size(), 300u);
  std::set<std::string> asked;
  for (const auto& r : server.requests()) asked.insert(r.path);
  EXPECT_EQ(asked.size(), 301u);
  EXPECT_TRUE(asked.contains("/inscription/" + idOf(299)));
  EXPECT_FALSE(asked.contains("/inscription/" + idOf(300)));
}

TEST(OrdProvider, NeverMoreThanEightRecordsInFlight) {
  LoopbackServer server(32);
  // A window wider than 8 would show.
  testsupport::Crowd crowd(8);
  serve(server, 40, [&](int i, const RecordedRequest&) {
    crowd.pass();
    return CannedResponse::json(record(idOf(i), i));
  });
  OrdProvider p(server.baseURL(), HTTPClient());
  EXPECT_EQ(p.tokens(owner, Chain::bitcoin).size(), 40u);
  EXPECT_EQ(crowd.peak(), 8);
}

TEST(OrdProvider, StoppingEndsTheFetchesWithCancellation) {
  LoopbackServer server;
  // Records answered only after held: a stop that waited for the fetches
  // under way would end no sooner.
  constexpr auto held = 20s;
  serve(server, 100,
        [held](int i, const RecordedRequest&) { return CannedResponse::json(record(idOf(i), i)).after(held); });
  OrdProvider p(server.baseURL(), HTTPClient());
  std::stop_source source;
  auto start = std::chrono::steady_clock::now();
  auto pending = std::async(std::launch::async, [&] { return p.tokens(owner, Chain::bitcoin, source.get_token()); });
  ASSERT_TRUE(server.waitForRequests(3));
  source.request_stop();
  EXPECT_THROW(pending.get(), CancellationError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, held);
  EXPECT_LT(server.requestCount(), 20u);
}

}  // namespace
}  // namespace tavolune
