#include "core/indexers/OrdProvider.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <string>

namespace {

using namespace tavolune;
using testsupport::CannedResponse;
using testsupport::LoopbackServer;

// One Bitcoin address holding state.range(0) inscriptions, from an indexer
// that takes 20 ms for every answer. The window of 8 cannot beat the bound
// of one listing plus ceil(n / 8) rounds of record fetches.
void BM_OrdinalsSync(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  constexpr double latency = 0.020;
  const std::string owner = "bc1qar0srrr7xfkvy5l643lydnw9re59gtzzwf5mdq";

  LoopbackServer server(32);
  server.setLatency(std::chrono::milliseconds(20));
  std::string listing = R"({"inscriptions":[)";
  for (int i = 0; i < count; ++i) {
    std::string id = std::to_string(1000000 + i) + "i0";
    listing += (i ? ",\"" : "\"") + id + "\"";
    server.get("/inscription/" + id, R"({"id":")" + id + R"(","number":)" + std::to_string(i) +
                                         R"(,"content_type":"text/html;charset=utf-8","timestamp":1700000000})");
  }
  server.get("/address/" + owner, listing + "]}");

  OrdProvider provider(server.baseURL(), HTTPClient());
  std::size_t works = 0;
  for (auto _ : state) {
    auto owned = provider.tokens(owner, Chain::bitcoin);
    works = owned.size();
    benchmark::DoNotOptimize(owned);
  }
  if (works != static_cast<std::size_t>(count)) state.SkipWithError("inscriptions went missing");
  state.counters["bound_s"] = latency + std::ceil(count / 8.0) * latency;
  state.counters["works"] = static_cast<double>(works);
}
BENCHMARK(BM_OrdinalsSync)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
