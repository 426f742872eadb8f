#include "bench/Fixtures.hpp"
#include "core/model/LibraryListing.hpp"
#include "core/model/LibraryState.hpp"
#include "core/persistence/LibraryStore.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

namespace tavolune::bench {

namespace fs = std::filesystem;

// A library the size of a large collection, with every member in use.
LibraryState realisticLibrary(std::size_t count) {
  Rng rng(2024);
  LibraryState s;
  for (int w = 0; w < 8; ++w) {
    auto role = w < 6 ? WalletRole::collector : WalletRole::artist;
    auto wallet = Wallet::make(Uuid::random(), "Wallet " + std::to_string(w), "0x" + hex(rng, 40),
                               "0x" + hex(rng, 40), std::nullopt, ChainFamily::evm, std::nullopt, role);
    wallet.lastSync = *iso8601::parse("2024-05-01T12:00:00Z");
    s.wallets.push_back(wallet);
  }
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < count; ++i) {
    Artwork a = realisticArtwork(rng, i);
    ids.push_back(a.id);
    // Every work is held by one to three of the wallets.
    const std::size_t holders = 1 + rng.below(3);
    for (std::size_t h = 0; h < holders; ++h) {
      s.ownerships[s.wallets[(i + h * 3) % s.wallets.size()].id][a.id] = static_cast<std::int64_t>(1 + rng.below(3));
    }
    if (a.mediaKind == MediaKind::generative && s.renderProfiles.size() < 200 && rng.below(10) == 0) {
      s.renderProfiles[a.seriesKey()] = {rng.below(2) ? ArtLayout::fixed(1.5) : ArtLayout::responsive(),
                                         RGBColor{0.1, 0.1, 0.1}, *iso8601::parse("2024-05-01T12:00:00Z")};
    }
    s.artworks.emplace(a.id, std::move(a));
  }
  for (std::size_t i = 0; i < 2000 && i < count; ++i) s.hiddenArtworks.insert(ids[(i * 7) % count]);
  for (std::size_t i = 0; i < 500 && i < count; ++i) s.onDesktop.insert(ids[(i * 13 + 5) % count]);
  for (std::size_t i = 0; i < 100 && i < count; ++i) {
    s.spamOverrides[ids[(i * 31) % count]] = i % 2 == 0;
    s.rotations[ids[(i * 37) % count]] = static_cast<std::int64_t>(i % 4);
    s.preferredFraming[ids[(i * 41) % count]] = Framing::fit;
    s.animatedArtworks.insert(ids[(i * 43) % count]);
    s.recentlyShown.push_back(ids[(i * 47) % count]);
  }
  s.hiddenCollections.insert(s.artworks.at(ids[0]).collectionKey());
  s.screens["display-1"] = ScreenConfig(Framing::passePartout);
  s.screens["5C1A4A8E-0000-4000-8000-000000000001"] = ScreenConfig(Framing::fill);
  for (int e = 0; e < 10; ++e) {
    std::vector<std::string> works;
    for (std::size_t i = 0; i < 200 && i < count; ++i) works.push_back(ids[(e * 997 + i * 11) % count]);
    s.createExhibition("Exhibition " + std::to_string(e), works);
  }
  return s;
}

int writeLibraryFile(const std::string& path) {
  try {
    LibraryStore(path).save(realisticLibrary(20000));
  } catch (const std::exception& e) {
    std::cerr << "cannot write " << path << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}

namespace {

// The file the load and save cases read: TAVOLUNE_BENCH_LIBRARY, or the
// generated library written once into a temporary folder.
struct BenchLibrary {
  fs::path file;
  fs::path scratch;
  LibraryState state;

  static const BenchLibrary& shared() {
    static const std::unique_ptr<BenchLibrary> library = [] {
      auto lib = std::make_unique<BenchLibrary>();
      lib->scratch = fs::temp_directory_path() / ("tavolune-bench-" + std::to_string(::getpid()));
      fs::create_directories(lib->scratch);
      if (const char* given = std::getenv("TAVOLUNE_BENCH_LIBRARY"); given && *given) {
        lib->file = given;
        lib->state = LibraryStore(lib->file).load();
      } else {
        lib->file = lib->scratch / "library.json";
        lib->state = realisticLibrary(20000);
        LibraryStore(lib->file).save(lib->state);
      }
      std::atexit([] {
        std::error_code ec;
        fs::remove_all(fs::temp_directory_path() / ("tavolune-bench-" + std::to_string(::getpid())), ec);
      });
      return lib;
    }();
    return *library;
  }
};

void BM_LibraryLoad(benchmark::State& state) {
  const auto& lib = BenchLibrary::shared();
  LibraryStore store(lib.file);
  std::size_t works = 0;
  for (auto _ : state) {
    auto loaded = store.load();
    works = loaded.artworks.size();
    benchmark::DoNotOptimize(loaded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(lib.file)));
  state.counters["artworks"] = static_cast<double>(works);
}
BENCHMARK(BM_LibraryLoad)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_LibrarySave(benchmark::State& state) {
  const auto& lib = BenchLibrary::shared();
  LibraryStore store(lib.scratch / "saved" / "library.json");
  for (auto _ : state) store.save(lib.state);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(store.url())));
}
BENCHMARK(BM_LibrarySave)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_DesktopPool(benchmark::State& state) {
  const auto& lib = BenchLibrary::shared();
  for (auto _ : state) {
    auto pool = lib.state.desktopPool(1.6);
    benchmark::DoNotOptimize(pool.data());
  }
}
BENCHMARK(BM_DesktopPool)->Arg(20000)->Unit(benchmark::kMillisecond);

// The listing is built once per library revision; the cases below read it
// as the library window does, through update().
void BM_LibraryListingBuild(benchmark::State& state) {
  const auto& lib = BenchLibrary::shared();
  for (auto _ : state) {
    LibraryListing listing(lib.state);
    benchmark::DoNotOptimize(listing.works().data());
  }
}
BENCHMARK(BM_LibraryListingBuild)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ArtworksForFilter(benchmark::State& state) {
  const auto& lib = BenchLibrary::shared();
  LibraryListing listing(lib.state);
  LibraryFilter filter;
  filter.scope = LibraryScope::collection;
  filter.search = " Ember ";
  std::size_t found = 0;
  for (auto _ : state) {
    auto works = listing.update(lib.state).artworksFor(filter);
    found = works.size();
    benchmark::DoNotOptimize(works.data());
  }
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_ArtworksForFilter)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_SidebarCounts(benchmark::State& state) {
  const auto& lib = BenchLibrary::shared();
  LibraryListing listing(lib.state);
  std::vector<LibraryFilter> rows{{.scope = LibraryScope::collection},
                                  {.scope = LibraryScope::works},
                                  {.onDesktopOnly = true},
                                  {.hiddenOnly = true}};
  LibraryFilter recent;
  recent.recentOnly = true;
  rows.push_back(recent);
  for (const auto& w : lib.state.wallets) rows.push_back({.walletID = w.id});
  for (const auto& e : lib.state.exhibitions) rows.push_back({.exhibitionID = e.id});
  for (auto _ : state) {
    const auto& current = listing.update(lib.state);
    std::size_t total = current.desktopPoolCount();
    for (const auto& f : rows) total += current.count(f);
    benchmark::DoNotOptimize(total);
  }
  state.counters["rows"] = static_cast<double>(rows.size() + 1);
}
BENCHMARK(BM_SidebarCounts)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_UnmeasuredSeries(benchmark::State& state) {
  const auto& lib = BenchLibrary::shared();
  LibraryListing listing(lib.state);
  std::size_t n = 0;
  for (auto _ : state) {
    auto series = listing.update(lib.state).unmeasuredSeries();
    n = series.size();
    benchmark::DoNotOptimize(series.data());
  }
  state.counters["series"] = static_cast<double>(n);
}
BENCHMARK(BM_UnmeasuredSeries)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolune::bench
