#include "bench/EVMFakes.hpp"
#include "core/indexers/EVMIndexer.hpp"
#include "core/base/Json.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace tavolune;
using tavolune::testsupport::LoopbackServer;
using J = json::Json;

constexpr auto latency = std::chrono::milliseconds(5);
const std::string& owner = bench::evmOwner;

// An EVM collector wallet read through the EVM indexer from loopback fakes
// of OpenSea and the explorer that answer after 5 ms each: one collection,
// a fresh key in the key file, every token known to the explorer. Pauses
// are zero through the clock, so the time is the schedule of requests.
void BM_EVMWalletSync(benchmark::State& state) {
  const int tokens = static_cast<int>(state.range(0));
  const int pages = (tokens + bench::evmPageSize - 1) / bench::evmPageSize;
  LoopbackServer server(32);
  bench::serveEVMChain(server, Chain::ethereum, tokens, "");
  bench::serveCollectionName(server);
  server.setLatency(latency);
  const auto keyFile = bench::freshOpenSeaKeyFile();

  const Clock noPauses(Clock::systemNow, [](double, std::stop_token) {});
  const BlockscoutProvider::Explorers explorers{{Chain::ethereum, server.baseURL()}};
  std::size_t found = 0;
  for (auto _ : state) {
    // A new engine per sync, as the application builds one per wallet.
    HTTPClient http;
    auto keys = std::make_shared<OpenSeaKeyStore>(keyFile, server.baseURL(), noPauses);
    EVMIndexer indexer(OpenSeaProvider(http, keys, server.baseURL()), BlockscoutProvider(http, explorers, noPauses),
                       http, noPauses, {server.baseURL()});
    auto owned = indexer.tokens(owner, Chain::ethereum);
    found = owned.size();
    benchmark::DoNotOptimize(owned.data());
  }
  std::filesystem::remove_all(keyFile.parent_path());
  if (found != static_cast<std::size_t>(tokens)) state.SkipWithError("the wallet did not read whole");

  const int batches = (tokens + static_cast<int>(EVMIndexer::explorerBatch) - 1) / static_cast<int>(EVMIndexer::explorerBatch);
  const double bound = (pages + 1 + batches) * std::chrono::duration<double>(latency).count();
  state.counters["bound_s"] = bound;
}
BENCHMARK(BM_EVMWalletSync)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
