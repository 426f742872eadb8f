#include "bench/Fixtures.hpp"
#include "core/model/Artwork.hpp"
#include "core/model/MediaResolver.hpp"

#include <benchmark/benchmark.h>

namespace tavolune::bench {
namespace {

void BM_ArtworkDecode(benchmark::State& state) {
  Rng rng(42);
  json::Json array = json::Json::array();
  for (std::size_t i = 0; i < 20000; ++i) array.push_back(realisticArtwork(rng, i).toJson());
  const std::string text = array.dump();
  for (auto _ : state) {
    auto parsed = json::Json::parse(text);
    auto artworks = json::decode<std::vector<Artwork>>(parsed);
    benchmark::DoNotOptimize(artworks.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["artworks"] = 20000;
}
BENCHMARK(BM_ArtworkDecode)->Unit(benchmark::kMillisecond);

void BM_MediaRefParse(benchmark::State& state) {
  Rng rng(7);
  std::vector<std::string> uris;
  for (int i = 0; i < 1000; ++i) {
    switch (i % 5) {
      case 0: uris.push_back("ipfs://" + fakeCID(rng) + "/index.html?seed=" + std::to_string(i)); break;
      case 1: uris.push_back("https://ipfs.io/ipfs/" + fakeCID(rng) + "/image.png"); break;
      case 2: uris.push_back("ar://" + hex(rng, 43)); break;
      case 3: uris.push_back("onchfs://" + hex(rng, 64) + "/main.js"); break;
      default: uris.push_back("https://example.art/media/" + hex(rng, 16) + ".jpg?w=800"); break;
    }
  }
  for (auto _ : state) {
    for (const auto& uri : uris) benchmark::DoNotOptimize(MediaResolver::parse(std::string_view(uri)));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * uris.size()));
}
BENCHMARK(BM_MediaRefParse);

}  // namespace
}  // namespace tavolune::bench
