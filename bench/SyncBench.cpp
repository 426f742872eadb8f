#include "bench/EVMFakes.hpp"
#include "core/indexers/EVMIndexer.hpp"
#include "core/indexers/SyncEngine.hpp"
#include "core/base/Json.hpp"
#include "core/model/Wallet.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>

namespace {

using namespace tavolune;
using tavolune::testsupport::LoopbackServer;
using J = json::Json;

constexpr auto latency = std::chrono::milliseconds(5);
constexpr int pageSize = bench::evmPageSize;
const std::string& owner = bench::evmOwner;

// The request schedule of one chain read one request at a time per step:
// its listing pages, the collection name, and the explorer batches.
double chainBound(int tokens) {
  const int pages = (tokens + pageSize - 1) / pageSize;
  const int batch = static_cast<int>(EVMIndexer::explorerBatch);
  const int batches = (tokens + batch - 1) / batch;
  return (pages + 1 + batches) * std::chrono::duration<double>(latency).count();
}

// SyncEngine.sync of one EVM collector wallet on its five chains: 1,000
// tokens on Ethereum, 100 on each other chain, every fake answering after
// 5 ms, pauses zero through the clock. The chains run side by side, so the
// time should stay near the slowest chain's schedule (bound_s).
void BM_CollectorSync(benchmark::State& state) {
  const std::map<Chain, int> tokens{{Chain::ethereum, 1000},
                                    {Chain::base, 100},
                                    {Chain::optimism, 100},
                                    {Chain::arbitrum, 100},
                                    {Chain::polygon, 100}};
  LoopbackServer server(64);
  for (const auto& [chain, count] : tokens) bench::serveEVMChain(server, chain, count, "/" + std::string(rawValue(chain)));
  bench::serveCollectionName(server);
  server.setLatency(latency);
  const auto keyFile = bench::freshOpenSeaKeyFile();

  SyncEngine::Services services;
  services.objktEndpoint = server.url("/v3/graphql");
  services.tzktAPI = server.baseURL();
  services.openSeaAPI = server.baseURL();
  for (const auto& [chain, count] : tokens) services.explorers[chain] = server.url("/" + std::string(rawValue(chain)));
  services.openSeaKeyFile = keyFile;
  services.gateways = {server.baseURL()};
  services.clock = Clock(Clock::systemNow, [](double, std::stop_token) {});

  const Wallet wallet = Wallet::make(Uuid::random(), "Collector", owner, owner, std::nullopt, ChainFamily::evm);
  std::size_t found = 0;
  std::size_t errors = 0;
  for (auto _ : state) {
    // A new engine per sync, as the application builds one per wallet.
    const SyncEngine engine = SyncEngine::standard(HTTPClient(), server.baseURL(), services);
    SyncResult result = engine.sync(wallet);
    found = result.owned.size();
    errors = result.errors.size() + result.unchecked.size();
    benchmark::DoNotOptimize(result.owned.data());
  }
  std::filesystem::remove_all(keyFile.parent_path());
  std::size_t expected = 0;
  for (const auto& [chain, count] : tokens) expected += static_cast<std::size_t>(count);
  if (errors != 0 || found != expected) state.SkipWithError("the wallet did not read whole");

  double bound = 0;
  for (const auto& [chain, count] : tokens) bound = std::max(bound, chainBound(count));
  state.counters["bound_s"] = bound;
}
BENCHMARK(BM_CollectorSync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
