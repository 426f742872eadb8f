#include "core/network/AddressResolver.hpp"
#include "core/network/JSONValue.hpp"
#include "tests/support/Errors.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::LoopbackServer;
using namespace std::chrono_literals;

constexpr const char* evm = "0xd8dA6BF26964aF9D7eEd9e03E53415D37aA96045";
constexpr const char* tz1 = "tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb";

class AddressResolve : public ::testing::Test {
 protected:
  LoopbackServer server;
  AddressResolver resolver{HTTPClient(), {server.baseURL(), server.baseURL(), server.baseURL()}, {}};

  template <class F>
  TavoluneError thrown(F&& f) {
    return testsupport::tavoluneErrorOf(std::forward<F>(f));
  }
};

TEST_F(AddressResolve, EVMAddressTakesItsPrimaryNameWhenThereIsOne) {
  server.get(std::string("/ens/resolve/") + evm,
             R"({"address":"0xd8da6bf26964af9d7eed9e03e53415d37aa96045","name":"vitalik.eth"})");
  EXPECT_EQ(resolver.resolve(std::string("  ") + evm + "\n"), (ResolvedAddress{evm, "vitalik.eth", ChainFamily::evm}));
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(server.lastRequest()->method, "GET");

  server.get(std::string("/ens/resolve/") + evm, R"({"address":null,"name":null})");
  EXPECT_EQ(resolver.resolve(evm), (ResolvedAddress{evm, std::nullopt, ChainFamily::evm}));
}

TEST_F(AddressResolve, EVMAddressStandsWithoutNameWhenTheReverseLookupFails) {
  const std::string path = std::string("/ens/resolve/") + evm;
  for (auto answer :
       {CannedResponse::json("{}", 500), CannedResponse::text("<html>"), CannedResponse::json(R"({"name":42})")}) {
    server.on("GET", path, answer);
    EXPECT_EQ(resolver.resolve(evm), (ResolvedAddress{evm, std::nullopt, ChainFamily::evm}));
  }
  // A lookup that outlasts its time-out: the name, held back well past it
  // (and short of the client's own default), would be there had the
  // resolver waited for it.
  resolver.timeouts.reverseENS = 0.3;
  server.on("GET", path, CannedResponse::json(R"({"name":"late.eth"})").after(20s));
  EXPECT_EQ(resolver.resolve(evm), (ResolvedAddress{evm, std::nullopt, ChainFamily::evm}));
}

TEST_F(AddressResolve, ENSNameResolvesToItsAddress) {
  const std::string address = "0x225f137127d9067788314bc7fcc1f36746a3c3B5";
  server.get("/ens/resolve/luc.eth", R"({"address":")" + address + R"(","name":"luc.eth"})");
  EXPECT_EQ(resolver.resolve(" Luc.ETH "), (ResolvedAddress{address, "luc.eth", ChainFamily::evm}));
  EXPECT_EQ(server.lastRequest()->path, "/ens/resolve/luc.eth");
  EXPECT_EQ(server.lastRequest()->header("Accept"), "application/json");
}

TEST_F(AddressResolve, ENSNameWithoutAWholeAddressIsNotFound) {
  for (const char* body :
       {R"({"address":null,"name":null})", R"({})", R"({"address":"0x1234"})", R"({"address":"nothing here"})",
        R"({"address":"0xd8dA6BF26964aF9D7eEd9e03E53415D37aA9604z"})"}) {
    server.get("/ens/resolve/nobody.eth", body);
    EXPECT_EQ(thrown([&] { resolver.resolve("NoBody.eth"); }), TavoluneError::notFound("nobody.eth")) << body;
  }
  // A forward look-up that outlasts its time-out fails as a time-out.
  resolver.timeouts.forwardENS = 0.3;
  server.on("GET", "/ens/resolve/slow.eth", CannedResponse::json("{}").after(3s));
  try {
    resolver.resolve("slow.eth");
    ADD_FAILURE() << "no error";
  } catch (const TransportError& e) {
    EXPECT_EQ(e.group(), TransportError::Group::timedOut);
  }
  server.get("/ens/resolve/nobody.eth", "{}", 503);
  auto error = thrown([&] { resolver.resolve("nobody.eth"); });
  EXPECT_TRUE(error.isHTTP(503));
  EXPECT_EQ(error.url(), server.url("/ens/resolve/nobody.eth"));
}

TEST_F(AddressResolve, TezosDomainThroughTezosDomains) {
  server.post("/graphql", R"({"data":{"domain":{"address":"tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb"}}})");
  EXPECT_EQ(resolver.resolve("Alice.TEZ"), (ResolvedAddress{tz1, "alice.tez", ChainFamily::tezos}));
  ASSERT_EQ(server.requestCount(), 1u);
  auto body = JSONValue::parse(server.lastRequest()->body);
  EXPECT_EQ(body["query"].string(), "query($n:String!){ domain(name:$n){ address } }");
  EXPECT_EQ(body["variables"]["n"].string(), "alice.tez");
  EXPECT_EQ(body["variables"].objectValue()->size(), 1u);
}

TEST_F(AddressResolve, TezosDomainFallsBackToTzKT) {
  server.get("/v1/domains", R"([{"address":{"alias":"alice.tez","address":"tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb"}}])");
  // Not listed, an error answer, an unreadable answer: each goes on to TzKT.
  for (auto answer :
       {CannedResponse::json(R"({"data":{"domain":null}})"),
        CannedResponse::json(R"({"data":{"domain":{"address":null}}})"),
        CannedResponse::json(R"({"data":null,"errors":[{"message":"boom"}]})"),
        CannedResponse::json(R"({"data":{"domain":{"address":"0xd8dA6BF26964aF9D7eEd9e03E53415D37aA96045"}}})"),
        CannedResponse::json("{}", 500), CannedResponse::text("not json")}) {
    server.resetRecords();
    server.on("POST", "/graphql", answer);
    EXPECT_EQ(resolver.resolve("alice.tez"), (ResolvedAddress{tz1, "alice.tez", ChainFamily::tezos}));
    auto tzkt = server.requests("GET", "/v1/domains");
    ASSERT_EQ(tzkt.size(), 1u);
    EXPECT_EQ(tzkt[0].query, "name=alice.tez&select=address");
  }
  // TzKT's select also answers with the account's fields at the top level.
  server.get("/v1/domains", R"([{"alias":"alice.tez","address":"tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb"}])");
  EXPECT_EQ(resolver.resolve("alice.tez").address, tz1);
}

TEST_F(AddressResolve, TezosDomainListedNowhereIsNotFound) {
  server.post("/graphql", R"({"data":{"domain":null}})");
  for (const char* body : {"[]", R"([{"address":null}])", R"([{}])", R"([{"address":{"address":"tz1short"}}])",
                           R"([{"address":{"address":" tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb"}}])"}) {
    server.get("/v1/domains", body);
    EXPECT_EQ(thrown([&] { resolver.resolve("ghost.tez"); }), TavoluneError::notFound("ghost.tez")) << body;
  }
  // TzKT's own failure is the error.
  server.get("/v1/domains", "{}", 502);
  EXPECT_TRUE(thrown([&] { resolver.resolve("ghost.tez"); }).isHTTP(502));
  server.get("/v1/domains", R"([{"address":{"alias":"x"}}])");
  EXPECT_EQ(thrown([&] { resolver.resolve("ghost.tez"); }).kind(), TavoluneError::Kind::decoding);
}

TEST_F(AddressResolve, AddressesWithoutNamesNeverAsk) {
  EXPECT_EQ(resolver.resolve(tz1), (ResolvedAddress{tz1, std::nullopt, ChainFamily::tezos}));
  EXPECT_EQ(resolver.resolve("BC1QAR0SRRR7XFKVY5L643LYDNW9RE59GTZZWF5MDQ"),
            (ResolvedAddress{"bc1qar0srrr7xfkvy5l643lydnw9re59gtzzwf5mdq", std::nullopt, ChainFamily::bitcoin}));
  EXPECT_EQ(resolver.resolve("3J98t1WpEZ73CNmQviecrnyiWrnqRhWNLy").family, ChainFamily::bitcoin);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(AddressResolve, UnrecognisedTextIsInvalidInputAsTyped) {
  for (const char* text : {"", "  \n", " hello ", "TZ1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb"}) {
    EXPECT_EQ(thrown([&] { resolver.resolve(text); }), TavoluneError::invalidInput(text));
  }
  EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
}  // namespace tavolune
