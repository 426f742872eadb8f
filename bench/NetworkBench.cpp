#include "core/network/HTTPClient.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using tavolune::HTTPClient;
using tavolune::URLSession;
using tavolune::Url;
using tavolune::testsupport::LoopbackServer;

// A 4 KB JSON page shaped like an indexer's answer.
std::string page() {
  std::string body = R"({"items":[)";
  for (int i = 0; body.size() < 4000; ++i) {
    if (i) body += ',';
    body += R"({"token_id":")" + std::to_string(1000 + i) + R"(","name":"Work #)" + std::to_string(i) + R"("})";
  }
  body += "]}";
  return body;
}

// 2,000 GETs spread over 8 threads through one client, as the sync engine
// reads several chains and wallets at once.
void BM_HttpGetLoopback(benchmark::State& state) {
  constexpr int requests = 2000;
  constexpr int threads = 8;
  LoopbackServer server(threads * 2);
  server.get("/page", page());
  const Url url = *Url::parse(server.url("/page"));
  std::size_t connections = 0;
  std::int64_t done = 0;
  for (auto _ : state) {
    state.PauseTiming();
    HTTPClient client(std::make_shared<URLSession>());
    server.resetRecords();
    std::atomic<int> next{0};
    std::atomic<std::size_t> bytes{0};
    state.ResumeTiming();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        while (next.fetch_add(1) < requests) bytes += client.get(url).size();
      });
    }
    for (auto& w : workers) w.join();
    state.PauseTiming();
    connections = server.connectionsAccepted();
    done += requests;
    benchmark::DoNotOptimize(bytes.load());
    state.ResumeTiming();
  }
  state.counters["requests/s"] = benchmark::Counter(static_cast<double>(done), benchmark::Counter::kIsRate);
  state.counters["connections"] = static_cast<double>(connections);
}
BENCHMARK(BM_HttpGetLoopback)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
