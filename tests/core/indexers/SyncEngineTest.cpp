#include "tests/core/indexers/TezosTestSupport.hpp"
#include "core/indexers/EVMIndexer.hpp"
#include "core/indexers/ObjktProvider.hpp"
#include "core/indexers/OrdProvider.hpp"
#include "core/indexers/SyncEngine.hpp"
#include "core/indexers/TzKTProvider.hpp"
#include "core/model/LibraryState.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

using namespace tavolune;
using namespace tavolune::tezostest;
using namespace std::chrono_literals;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::LoopbackServer;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

OwnedArtwork work(Chain chain, std::string token, std::int64_t quantity = 1, std::string title = "T",
                  bool spam = false) {
  return {Artwork::make({.chain = chain,
                         .contract = "0xABC",
                         .tokenId = std::move(token),
                         .title = std::move(title),
                         .isSpam = spam}),
          quantity};
}

std::exception_ptr networkError() {
  // CURLE_COULDNT_CONNECT: a connection refused, shown as unreachable.
  return std::make_exception_ptr(TransportError(7, 111, "https://x", "refused"));
}
std::exception_ptr httpError(int status) { return std::make_exception_ptr(TavoluneError::http(status, "https://x/y")); }

// A provider that answers each chain with a fixed list or error, after an
// optional wait, and counts what it was asked.
class FakeProvider : public IndexerProvider {
 public:
  using Answer = std::function<std::vector<OwnedArtwork>(Chain, std::stop_token)>;

  FakeProvider(std::string name, std::vector<Chain> chains) : name_(std::move(name)), chains_(std::move(chains)) {}

  FakeProvider& answer(Chain chain, std::vector<OwnedArtwork> list) {
    answers_[chain] = [list](Chain, std::stop_token) { return list; };
    return *this;
  }
  FakeProvider& fail(Chain chain, std::exception_ptr error) {
    answers_[chain] = [error](Chain, std::stop_token) -> std::vector<OwnedArtwork> { std::rethrow_exception(error); };
    return *this;
  }
  FakeProvider& custom(Chain chain, Answer a) {
    answers_[chain] = std::move(a);
    return *this;
  }

  std::string name() const override { return name_; }
  bool supports(Chain chain) const override {
    return std::find(chains_.begin(), chains_.end(), chain) != chains_.end();
  }
  std::vector<OwnedArtwork> tokens(const std::string&, Chain chain, std::stop_token stop) const override {
    calls_.fetch_add(1);
    const int now = running_.fetch_add(1) + 1;
    int peak = peak_.load();
    while (now > peak && !peak_.compare_exchange_weak(peak, now)) {
    }
    struct Leave {
      std::atomic<int>& r;
      ~Leave() { r.fetch_sub(1); }
    } leave{running_};
    auto it = answers_.find(chain);
    if (it == answers_.end()) return {};
    return it->second(chain, stop);
  }

  int calls() const { return calls_.load(); }
  int peak() const { return peak_.load(); }

 private:
  std::string name_;
  std::vector<Chain> chains_;
  std::map<Chain, Answer> answers_;
  mutable std::atomic<int> calls_{0};
  mutable std::atomic<int> running_{0};
  mutable std::atomic<int> peak_{0};
};

template <class... P>
SyncEngine engineOf(std::shared_ptr<P>... providers) {
  return SyncEngine(SyncEngine::Providers{providers...});
}

const std::vector<Chain> evm{Chain::ethereum, Chain::base, Chain::optimism, Chain::arbitrum, Chain::polygon};

TEST(SyncEngine, EmptyChainListGivesAnEmptyResult) {
  auto p = std::make_shared<FakeProvider>("p", evm);
  auto r = engineOf(p).sync("0x1", {});
  EXPECT_THAT(r.owned, IsEmpty());
  EXPECT_THAT(r.errors, IsEmpty());
  EXPECT_FALSE(r.partial);
  EXPECT_THAT(r.unchecked, IsEmpty());
  EXPECT_THAT(r.failedChains, IsEmpty());
  EXPECT_EQ(p->calls(), 0);
}

TEST(SyncEngine, FirstSuccessWinsEvenWhenEmpty) {
  auto first = std::make_shared<FakeProvider>("first", evm);
  first->answer(Chain::base, {});
  auto second = std::make_shared<FakeProvider>("second", evm);
  second->answer(Chain::base, {work(Chain::base, "1")});
  auto r = engineOf(first, second).sync("0x1", {Chain::base});
  EXPECT_THAT(r.owned, IsEmpty());
  EXPECT_THAT(r.errors, IsEmpty());
  EXPECT_EQ(second->calls(), 0);

  // A provider that does not support the chain is skipped, not asked.
  auto tezosOnly = std::make_shared<FakeProvider>("tz", std::vector<Chain>{Chain::tezos});
  auto outcome = engineOf(tezosOnly, second).syncChain("0x1", Chain::base);
  ASSERT_TRUE(outcome.succeeded());
  EXPECT_EQ(outcome.owned.size(), 1u);
  EXPECT_EQ(tezosOnly->calls(), 0);
}

TEST(SyncEngine, PartialOnlyForEthereumTezosAndBitcoin) {
  auto ord = std::make_shared<FakeProvider>("ord", std::vector<Chain>{Chain::bitcoin, Chain::tezos});
  ord->fail(Chain::bitcoin, networkError()).fail(Chain::tezos, httpError(429));
  auto r = engineOf(ord).sync("bc1", {Chain::bitcoin});
  EXPECT_THAT(r.errors, ElementsAre("Bitcoin: the service can't be reached"));
  EXPECT_TRUE(r.partial);
  EXPECT_THAT(r.failedChains, ElementsAre(Chain::bitcoin));
  // A 429 on Tezos is still a failure that counts, never "unchecked".
  r = engineOf(ord).sync("tz1", {Chain::tezos});
  EXPECT_EQ(r.errors.size(), 1u);
  EXPECT_TRUE(r.partial);
  EXPECT_THAT(r.unchecked, IsEmpty());
  EXPECT_THAT(r.failedChains, ElementsAre(Chain::tezos));

  auto indexer = std::make_shared<FakeProvider>("OpenSea", evm);
  auto explorer = std::make_shared<FakeProvider>("Blockscout", evm);
  indexer->fail(Chain::polygon, httpError(500));
  explorer->fail(Chain::polygon, httpError(500));
  r = engineOf(indexer, explorer).sync("0x1", {Chain::polygon});
  EXPECT_THAT(r.errors, ElementsAre(SyncEngine::errorLine("Polygon", httpError(500))));
  EXPECT_FALSE(r.partial);
  EXPECT_THAT(r.failedChains, ElementsAre(Chain::polygon));
}

TEST(SyncEngine, OnlyTheLastErrorCountsForUnchecked) {
  auto indexer = std::make_shared<FakeProvider>("OpenSea", evm);
  auto explorer = std::make_shared<FakeProvider>("Blockscout", evm);
  indexer->fail(Chain::base, networkError()).fail(Chain::ethereum, networkError());
  explorer->fail(Chain::base, httpError(429)).fail(Chain::ethereum, httpError(429));
  auto engine = engineOf(indexer, explorer);

  auto r = engine.sync("0x1", {Chain::base});
  EXPECT_THAT(r.unchecked, ElementsAre(Chain::base));
  EXPECT_THAT(r.errors, IsEmpty());
  EXPECT_FALSE(r.partial);
  EXPECT_THAT(r.failedChains, IsEmpty());

  r = engine.sync("0x1", {Chain::ethereum});
  EXPECT_THAT(r.unchecked, IsEmpty());
  EXPECT_EQ(r.errors.size(), 1u);
  EXPECT_TRUE(r.errors[0].starts_with("Ethereum: "));
  EXPECT_TRUE(r.partial);

  // Reverse order on Base: the network error is the one reported.
  auto indexer2 = std::make_shared<FakeProvider>("OpenSea", evm);
  auto explorer2 = std::make_shared<FakeProvider>("Blockscout", evm);
  indexer2->fail(Chain::base, httpError(403));
  explorer2->fail(Chain::base, networkError());
  r = engineOf(indexer2, explorer2).sync("0x1", {Chain::base});
  EXPECT_THAT(r.errors, ElementsAre("Base: the service can't be reached"));
  EXPECT_THAT(r.unchecked, IsEmpty());
  EXPECT_THAT(r.failedChains, ElementsAre(Chain::base));
  EXPECT_FALSE(r.partial);
}

TEST(SyncEngine, UncheckedInCaseOrderAndErrorLinesSorted) {
  auto p = std::make_shared<FakeProvider>(
      "p", std::vector<Chain>{Chain::ethereum, Chain::base, Chain::polygon, Chain::tezos});
  // Polygon is refused first, Base later; Tezos fails before Ethereum.
  p->custom(Chain::polygon,
            [](Chain, std::stop_token) -> std::vector<OwnedArtwork> { std::rethrow_exception(httpError(429)); });
  p->custom(Chain::base, [](Chain, std::stop_token) -> std::vector<OwnedArtwork> {
    std::this_thread::sleep_for(60ms);
    std::rethrow_exception(httpError(403));
  });
  p->custom(Chain::tezos,
            [](Chain, std::stop_token) -> std::vector<OwnedArtwork> { std::rethrow_exception(networkError()); });
  p->custom(Chain::ethereum, [](Chain, std::stop_token) -> std::vector<OwnedArtwork> {
    std::this_thread::sleep_for(60ms);
    std::rethrow_exception(httpError(500));
  });
  auto r = engineOf(p).sync("0x1", {Chain::tezos, Chain::polygon, Chain::base, Chain::ethereum, Chain::polygon});
  EXPECT_THAT(r.unchecked, ElementsAre(Chain::base, Chain::polygon));
  ASSERT_EQ(r.errors.size(), 2u);
  EXPECT_TRUE(r.errors[0].starts_with("Ethereum: "));
  EXPECT_TRUE(r.errors[1].starts_with("Tezos: "));
  EXPECT_THAT(r.failedChains, ElementsAre(Chain::ethereum, Chain::tezos));
  EXPECT_TRUE(r.partial);
}

TEST(SyncEngine, NoProviderForAChain) {
  auto p = std::make_shared<FakeProvider>("p", std::vector<Chain>{Chain::ethereum});
  auto engine = engineOf(p);
  auto outcome = engine.syncChain("0x1", Chain::polygon);
  ASSERT_FALSE(outcome.succeeded());
  try {
    std::rethrow_exception(outcome.error);
  } catch (const TavoluneError& e) {
    EXPECT_EQ(e.kind(), TavoluneError::Kind::allProvidersFailed);
    EXPECT_EQ(e.text(), "Polygon");
  }
  auto r = SyncEngine({}).sync("0x1", {Chain::polygon});
  EXPECT_THAT(r.errors, ElementsAre(SyncEngine::errorLine("Polygon", outcome.error)));
  EXPECT_FALSE(r.partial);
}

TEST(SyncEngine, DuplicateIdsKeepTheFirstEntryWithTheLargerQuantity) {
  auto p = std::make_shared<FakeProvider>("p", evm);
  p->answer(Chain::base, {work(Chain::base, "1", 2, "first"), work(Chain::base, "1", 5, "second"),
                          work(Chain::base, "2", 1, "spam", true), work(Chain::base, "3")});
  auto r = engineOf(p).sync("0x1", {Chain::base, Chain::base});
  ASSERT_EQ(r.owned.size(), 3u);
  EXPECT_EQ(r.visibleCount(), 2u);
  auto it =
      std::find_if(r.owned.begin(), r.owned.end(), [](const OwnedArtwork& o) { return o.artwork.tokenId == "1"; });
  ASSERT_NE(it, r.owned.end());
  EXPECT_EQ(it->quantity, 5);
  EXPECT_EQ(it->artwork.title, "first");
  EXPECT_EQ(p->calls(), 2);  // a chain listed twice is read twice
}

TEST(SyncEngine, ChainsRunInParallelWithinTheBound) {
  auto p = std::make_shared<FakeProvider>("p", evm);
  // The first reads hold until a full bound of them has started, so the peak
  // shows how many run at once: one in a row, fifteen without a bound.
  auto started = std::make_shared<std::atomic<int>>(0);
  for (Chain c : evm) {
    p->custom(c, [started](Chain chain, std::stop_token) {
      started->fetch_add(1);
      for (int i = 0; i < 10'000 && started->load() < int(SyncEngine::maxParallelChains); ++i) {
        std::this_thread::sleep_for(1ms);
      }
      return std::vector<OwnedArtwork>{work(chain, "1")};
    });
  }
  std::vector<Chain> many;
  for (int i = 0; i < 3; ++i) many.insert(many.end(), evm.begin(), evm.end());  // 15 reads
  auto r = engineOf(p).sync("0x1", many);
  EXPECT_EQ(r.owned.size(), 5u);
  EXPECT_EQ(p->calls(), 15);
  EXPECT_EQ(p->peak(), static_cast<int>(SyncEngine::maxParallelChains));
}

TEST(SyncEngine, CancellationEndsPromptlyAndLeavesChainsFailed) {
  auto p = std::make_shared<FakeProvider>("p", evm);
  auto later = std::make_shared<FakeProvider>("later", evm);
  for (Chain c : evm) {
    // Ends on the stop, or after a long wait with a work that shows it.
    p->custom(c, [](Chain chain, std::stop_token stop) -> std::vector<OwnedArtwork> {
      std::mutex m;
      std::condition_variable_any cv;
      std::unique_lock lock(m);
      cv.wait_for(lock, stop, 20s, [] { return false; });
      if (!stop.stop_requested()) return {work(chain, "late")};
      throw CancellationError();
    });
  }
  std::stop_source source;
  std::thread canceller([&] {
    std::this_thread::sleep_for(100ms);
    source.request_stop();
  });
  std::vector<Chain> chains = evm;
  chains.push_back(Chain::ethereum);
  chains.push_back(Chain::base);
  chains.push_back(Chain::polygon);  // more than the bound: some never start
  auto r = engineOf(p, later).sync("0x1", chains, source.get_token());
  canceller.join();
  EXPECT_EQ(later->calls(), 0);  // no fallback after a stop
  EXPECT_THAT(r.failedChains,
              ElementsAre(Chain::ethereum, Chain::base, Chain::optimism, Chain::arbitrum, Chain::polygon));
  EXPECT_TRUE(r.partial);
  EXPECT_THAT(r.owned, IsEmpty());
}

TEST(SyncEngine, NeverThrowsWhateverAProviderThrows) {
  auto p = std::make_shared<FakeProvider>("p", evm);
  p->custom(Chain::base, [](Chain, std::stop_token) -> std::vector<OwnedArtwork> { throw 42; });
  auto r = engineOf(p).sync("0x1", {Chain::base});
  EXPECT_THAT(r.errors, ElementsAre("Base: unknown error"));

  Wallet wallet = Wallet::make(Uuid::random(), "Mine", "0x1", "0x1", std::nullopt, ChainFamily::evm,
                               std::vector<Chain>{Chain::base});
  EXPECT_EQ(engineOf(p).sync(wallet).errors, r.errors);
}

TEST(SyncEngine, TezosFallsBackFromObjktToTzKT) {
  LoopbackServer server;
  server.post("/v3/graphql", R"({"errors":[{"message":"rate limited"}]})");
  server.get("/v1/tokens/balances", JSONValue(JSONValue::Array{tzktBalance("5", imageMetadata("5"))}).serialized());
  auto http = quickClient();
  SyncEngine engine({std::make_shared<ObjktProvider>(http, server.url("/v3/graphql")),
                     std::make_shared<TzKTProvider>(http, server.baseURL())});
  Wallet wallet = Wallet::make(Uuid::random(), "Tz", "tz1Owner", "tz1Owner", std::nullopt, ChainFamily::tezos);
  auto r = engine.sync(wallet);
  EXPECT_THAT(r.errors, IsEmpty());
  ASSERT_EQ(r.owned.size(), 1u);
  EXPECT_EQ(r.owned[0].artwork.id, "tezos:kt1tz:5");
  EXPECT_EQ(server.requests("POST", "/v3/graphql").size(), 1u);

  // Both failing: the line carries TzKT's error, the last one tried.
  server.get("/v1/tokens/balances", "[]", 503);
  r = engine.sync(wallet);
  EXPECT_THAT(r.errors, ElementsAre("Tezos: " + TavoluneError::plain(TavoluneError::http(503, server.baseURL()))));
  EXPECT_TRUE(r.partial);
}

}  // namespace

namespace standard_engine {

using namespace tavolune;

template <class P>
std::shared_ptr<const P> at(const SyncEngine& engine, std::size_t i) {
  return std::dynamic_pointer_cast<const P>(engine.providers.at(i));
}

TEST(SyncEngineStandard, FiveProvidersInOrderOnOneClient) {
  // The standard engine works out the application folder: keep that step
  // away from the real home folder.
  const auto home = std::filesystem::temp_directory_path() / ("tavolune-engine-" + std::to_string(::getpid()));
  ::setenv("XDG_DATA_HOME", home.c_str(), 1);
  LoopbackServer server;
  const auto http = quickClient();
  const auto engine = SyncEngine::standard(http, "https://ord.example//");
  ASSERT_EQ(engine.providers.size(), 5u);
  std::vector<std::string> names;
  for (const auto& p : engine.providers) names.push_back(p->name());
  EXPECT_THAT(names, ElementsAre("objkt", "TzKT", "OpenSea", "Blockscout", "ord"));

  auto objkt = at<ObjktProvider>(engine, 0);
  ASSERT_TRUE(objkt);
  EXPECT_EQ(objkt->endpoint(), "https://data.objkt.com/v3/graphql");
  EXPECT_EQ(objkt->http().session, http.session);
  EXPECT_EQ(ObjktProvider::pageSize, 500);
  ASSERT_TRUE(at<TzKTProvider>(engine, 1));
  EXPECT_EQ(TzKTProvider::pageSize, 1000);
  auto evm = at<EVMIndexer>(engine, 2);
  ASSERT_TRUE(evm);
  EXPECT_EQ(evm->blockscout().name(), "Blockscout");
  ASSERT_TRUE(at<BlockscoutProvider>(engine, 3));
  auto ord = at<OrdProvider>(engine, 4);
  ASSERT_TRUE(ord);
  EXPECT_EQ(ord->baseURL(), "https://ord.example/");  // exactly one slash removed
  EXPECT_EQ(ord->maxInscriptions, 300u);
  EXPECT_EQ(at<OrdProvider>(SyncEngine::standard(http, "https://ord.example"), 4)->baseURL(), "https://ord.example");

  // The artist path's OpenSea client shares the key store and name cache.
  const auto& openSea = engine.artistSources.openSea;
  ASSERT_TRUE(openSea);
  EXPECT_EQ(openSea->keys(), evm->openSea().keys());
  EXPECT_EQ(openSea->names(), evm->openSea().names());
  EXPECT_EQ(openSea->keys()->url().filename(), "opensea-key.json");
  // The artist path reads through the same objkt and Blockscout providers.
  EXPECT_EQ(engine.artistSources.objkt, objkt);
  EXPECT_EQ(engine.artistSources.blockscout, at<BlockscoutProvider>(engine, 3));
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST(SyncEngineStandard, ATezosWalletThroughTheStandardEngine) {
  LoopbackServer server;
  server.post("/v3/graphql", holdingsAnswer({holding(objktToken("1"), 2)}));
  SyncEngine::Services services = SyncEngine::Services::real();
  services.objktEndpoint = server.url("/v3/graphql");
  services.tzktAPI = server.baseURL();
  services.openSeaAPI = server.baseURL();
  services.explorers = {};
  const auto engine = SyncEngine::standard(quickClient(), server.baseURL(), services);
  Wallet wallet = Wallet::make(Uuid::random(), "Tz", "tz1Owner", "tz1Owner", std::nullopt, ChainFamily::tezos);
  auto r = engine.sync(wallet);
  EXPECT_THAT(r.errors, IsEmpty());
  ASSERT_EQ(r.owned.size(), 1u);
  EXPECT_EQ(r.owned[0].quantity, 2);
  EXPECT_TRUE(server.requests("GET", "/v1/tokens/balances").empty());
}

}  // namespace standard_engine

namespace merge_after_sync {

using namespace tavolune;

// The engine's failedChains is what lets the merge keep a failed side
// chain's holdings while it drops what a chain that was read no longer has.
TEST(SyncEngineMerge, AFailedSideChainKeepsItsEarlierHoldings) {
  Wallet wallet = Wallet::make(Uuid::random(), "Mine", "0x1", "0x1", std::nullopt, ChainFamily::evm,
                               std::vector<Chain>{Chain::base, Chain::polygon});
  LibraryState state;
  state.wallets.push_back(wallet);

  auto indexer = std::make_shared<FakeProvider>("OpenSea", evm);
  indexer->answer(Chain::base, {work(Chain::base, "1")}).answer(Chain::polygon, {work(Chain::polygon, "2")});
  state.apply(engineOf(indexer).sync(wallet), wallet.id);
  ASSERT_EQ(state.ownerships[wallet.id].size(), 2u);

  // Base now holds nothing; Polygon's service is down.
  auto later = std::make_shared<FakeProvider>("OpenSea", evm);
  later->answer(Chain::base, {}).fail(Chain::polygon, httpError(500));
  auto result = engineOf(later).sync(wallet);
  EXPECT_FALSE(result.partial);
  state.apply(result, wallet.id);
  const auto& held = state.ownerships[wallet.id];
  EXPECT_FALSE(held.contains(work(Chain::base, "1").artwork.id));
  EXPECT_TRUE(held.contains(work(Chain::polygon, "2").artwork.id));
}

}  // namespace merge_after_sync
