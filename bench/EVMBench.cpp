#include "indexers/EVMIndexer.hpp"
#include "model/Json.hpp"
#include "support/LoopbackServer.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace tavolune;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::LoopbackServer;
using tavolune::testsupport::RecordedRequest;
using J = json::Json;

constexpr auto latency = std::chrono::milliseconds(5);
const std::string owner = "0x00000000000000000000000000000000000000aa";
const std::string contract = "0x00000000000000000000000000000000000000bb";

// An EVM collector wallet read through the EVM indexer from loopback fakes
// of OpenSea and the explorer that answer after 5 ms each: one collection,
// a fresh key in the key file, every token known to the explorer. Pauses
// are zero through the clock, so the time is the schedule of requests.
void BM_EVMWalletSync(benchmark::State& state) {
  const int tokens = static_cast<int>(state.range(0));
  constexpr int pageSize = 200;
  const int pages = (tokens + pageSize - 1) / pageSize;

  LoopbackServer server(32);
  server.onRequest("GET", "/api/v2/chain/ethereum/account/" + owner + "/nfts", [&](const RecordedRequest& r) {
    int page = r.param("next") ? std::stoi(*r.param("next")) : 0;
    J nfts = J::array();
    for (int i = page * pageSize; i < std::min(tokens, (page + 1) * pageSize); ++i) {
      nfts.push_back({{"identifier", std::to_string(i)},
                      {"collection", "wallet-works"},
                      {"contract", contract},
                      {"name", "Work #" + std::to_string(i)},
                      {"image_url", "https://i.seadn.io/" + std::to_string(i) + ".png"},
                      {"metadata_url", "ipfs://QmMeta/" + std::to_string(i)},
                      {"opensea_url", "https://opensea.io/item/" + std::to_string(i)}});
    }
    J body{{"nfts", nfts}};
    if (page + 1 < pages) body["next"] = std::to_string(page + 1);
    return CannedResponse::json(body.dump());
  });
  server.get("/api/v2/collections/wallet-works", R"({"collection":"wallet-works","name":"Wallet Works"})");
  for (int i = 0; i < tokens; ++i) {
    server.get("/api/v2/tokens/" + contract + "/instances/" + std::to_string(i),
               J{{"id", std::to_string(i)},
                 {"token", {{"address_hash", contract}, {"name", "Wallet Works"}, {"reputation", "ok"}}},
                 {"value", "1"},
                 {"metadata",
                  {{"name", "Work #" + std::to_string(i)},
                   {"artist", "Ada"},
                   {"image", "ipfs://QmImage/" + std::to_string(i) + ".png"}}}}
                   .dump());
  }
  server.setLatency(latency);

  std::random_device rd;
  const auto dir = std::filesystem::temp_directory_path() / ("tavolune-bench-" + std::to_string(rd()));
  std::filesystem::create_directories(dir);
  const auto keyFile = dir / "opensea-key.json";
  std::ofstream(keyFile) << R"({"api_key":"bench","expires_at":"2099-01-01T00:00:00Z"})";

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
  std::filesystem::remove_all(dir);
  if (found != static_cast<std::size_t>(tokens)) state.SkipWithError("the wallet did not read whole");

  const int batches = (tokens + static_cast<int>(EVMIndexer::explorerBatch) - 1) / static_cast<int>(EVMIndexer::explorerBatch);
  const double bound = (pages + 1 + batches) * std::chrono::duration<double>(latency).count();
  state.counters["bound_s"] = bound;
}
BENCHMARK(BM_EVMWalletSync)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
