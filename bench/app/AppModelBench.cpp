#include "app/model/AppModel.hpp"
#include "bench/app/BenchApplication.hpp"
#include "core/persistence/LibraryStore.hpp"
#include "tests/support/LoopbackServer.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>

namespace tavolune::bench {

LibraryState realisticLibrary(std::size_t count);

namespace {

namespace fs = std::filesystem;
using testsupport::CannedResponse;
using testsupport::LoopbackServer;
using testsupport::RecordedRequest;

// A data folder holding the generated library of `works` works.
struct BenchFolder {
  fs::path root;
  explicit BenchFolder(std::size_t works) {
    root = fs::temp_directory_path() / ("tavolune-appbench-" + std::to_string(::getpid()));
    fs::create_directories(root);
    if (!fs::exists(root / "library.json")) LibraryStore(root / "library.json").save(realisticLibrary(works));
  }
  ~BenchFolder() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  AppModel::Options options() const {
    AppModel::Options o;
    o.storeURL = root / "library.json";
    o.cacheDirectory = root / "Media";
    return o;
  }
};

// Runs the event loop until done() holds; the longest single pass through
// the loop is the longest the GUI thread was blocked, in seconds.
double longestStall(const std::function<bool()>& done) {
  double longest = 0;
  QElapsedTimer pass;
  while (!done()) {
    pass.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    longest = std::max(longest, static_cast<double>(pass.nsecsElapsed()) / 1e9);
  }
  return longest;
}

std::unique_ptr<AppModel> loadedModel(const BenchFolder& folder) {
  auto model = std::make_unique<AppModel>(folder.options());
  model->load();
  longestStall([&] { return model->isLoaded(); });
  return model;
}

void BM_AppModelLoad(benchmark::State& state) {
  bench::ensureApp();
  BenchFolder folder(static_cast<std::size_t>(state.range(0)));
  double worst = 0;
  for (auto _ : state) {
    AppModel model(folder.options());
    model.load();
    const double stall = longestStall([&] { return model.isLoaded(); });
    worst = std::max(worst, stall);
    state.SetIterationTime(stall);
  }
  state.counters["worst_stall_ms"] = worst * 1e3;
}
BENCHMARK(BM_AppModelLoad)->Arg(20000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_SaveSnapshot(benchmark::State& state) {
  bench::ensureApp();
  BenchFolder folder(static_cast<std::size_t>(state.range(0)));
  auto model = loadedModel(folder);
  const std::string id = model->state().artworks.begin()->first;
  bool hidden = false;
  for (auto _ : state) {
    state.PauseTiming();
    hidden = !hidden;
    seedLibrary(*model, [id, hidden](LibraryState& s) {
      if (hidden) s.hiddenArtworks.insert(id);
      else s.hiddenArtworks.erase(id);
    });
    state.ResumeTiming();
    // Everything a save costs this thread: the request and the hand-over.
    model->scheduleSave();
    model->saveNow();
  }
  // The writer works through (and merges) what piled up meanwhile.
  model->flush();
}
BENCHMARK(BM_SaveSnapshot)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_SetHidden(benchmark::State& state) {
  bench::ensureApp();
  BenchFolder folder(static_cast<std::size_t>(state.range(0)));
  auto model = loadedModel(folder);
  int changes = 0;
  QObject::connect(model.get(), &AppModel::libraryChanged, [&](const LibraryChange& change) {
    if (change.desktop) ++changes;
  });
  const std::string id = model->state().artworks.begin()->first;
  bool hidden = false;
  for (auto _ : state) {
    hidden = !hidden;
    model->setHidden({id}, hidden);
  }
  benchmark::DoNotOptimize(changes);
  model->flush();
}
BENCHMARK(BM_SetHidden)->Arg(20000)->Unit(benchmark::kMillisecond);

// objkt pages of one Tezos wallet holding `works` works, the first 100 of
// which get a new title on every read.
class ObjktFake {
 public:
  explicit ObjktFake(int works) : works_(works) {
    server_.onRequest("POST", "/v3/graphql", [this](const RecordedRequest& r) { return page(r); });
  }
  std::string endpoint() const { return server_.url("/v3/graphql"); }
  void nextRound() { ++round_; }

 private:
  CannedResponse page(const RecordedRequest& r) const {
    const auto at = r.body.find("\"offset\":");
    const int offset = at == std::string::npos ? 0 : std::atoi(r.body.c_str() + at + 9);
    std::string rows;
    for (int i = offset; i < std::min(works_, offset + 500); ++i) {
      if (!rows.empty()) rows += ',';
      const std::string title = "Work " + std::to_string(i) + (i < 100 ? " r" + std::to_string(round_.load()) : "");
      rows += R"({"quantity":1,"token":{"token_id":")" + std::to_string(i) + R"(","name":")" + title +
              R"(","mime":"image/png","display_uri":"ipfs://QmDisplay)" + std::to_string(i) +
              R"(","supply":10,"fa":{"contract":"KT1Gen","name":"Gen"}}})";
    }
    return CannedResponse::json(R"({"data":{"token_holder":[)" + rows + "]}}");
  }

  LoopbackServer server_;
  const int works_;
  std::atomic<int> round_{0};
};

void BM_ApplySync(benchmark::State& state) {
  bench::ensureApp();
  BenchFolder folder(static_cast<std::size_t>(state.range(0)));
  ObjktFake objkt(5000);
  auto options = folder.options();
  options.services.objktEndpoint = objkt.endpoint();
  options.services.tzktAPI = "http://127.0.0.1:9";
  auto model = std::make_unique<AppModel>(options);
  model->load();
  longestStall([&] { return model->isLoaded(); });
  const Wallet tezos = Wallet::make(Uuid::random(), "Tez", "tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb",
                                    "tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjcjb", std::nullopt, ChainFamily::tezos);
  seedLibrary(*model, [tezos](LibraryState& s) { s.wallets.push_back(tezos); });
  bool synced = false;
  model->walletSync().sync(tezos.id, [&] { synced = true; });
  longestStall([&] { return synced; });

  double worst = 0;
  for (auto _ : state) {
    objkt.nextRound();
    synced = false;
    model->walletSync().sync(tezos.id, [&] { synced = true; });
    const double stall = longestStall([&] { return synced; });
    worst = std::max(worst, stall);
    state.SetIterationTime(stall);
  }
  state.counters["worst_stall_ms"] = worst * 1e3;
  state.counters["works"] = static_cast<double>(model->state().artworks.size());
  model->flush();
}
BENCHMARK(BM_ApplySync)->Arg(20000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace
}  // namespace tavolune::bench
