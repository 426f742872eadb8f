#include "bench/Fixtures.hpp"
#include "core/media/ContentFetcher.hpp"
#include "core/media/Gzip.hpp"
#include "core/media/MediaCache.hpp"
#include "core/media/OnchfsResolver.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

namespace tavolune::bench {
namespace {

namespace fs = std::filesystem;

fs::path scratchDirectory(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  std::random_device rd;
  return fs::path(tmp && *tmp ? tmp : "/tmp") / ("tavolune-bench-" + name + "-" + std::to_string(rd()));
}

// 64 MiB of page-like text (markup, script, numbers), gzip-compressed.
Bytes generatedGzip() {
  constexpr std::size_t target = std::size_t{64} << 20;
  Rng rng(42);
  std::string plain;
  plain.reserve(target + 4096);
  while (plain.size() < target) {
    plain += "<div class=\"cell-" + std::to_string(rng.below(500)) + "\" data-seed=\"" + hex(rng, 16) + "\">";
    plain += words(rng, 40 + rng.below(80));
    plain += "</div>\nconst v" + std::to_string(rng.below(10000)) + " = Math.sin(" + std::to_string(rng.below(1000)) +
             " * t) * " + std::to_string(rng.below(255)) + ";\n";
  }
  plain.resize(target);

  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("zlib");
  Bytes out(deflateBound(&z, plain.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(plain.data());
  z.avail_in = static_cast<uInt>(plain.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("zlib");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The file named by TAVOLUNE_BENCH_GZIP, else a generated one, written
// next to the scratch folders so that `gzip -dc` inflates exactly the same
// bytes.
struct GzipInput {
  std::string path;
  Bytes bytes;
  std::size_t inflatedSize = 0;
};

const GzipInput& gzipInput() {
  static const GzipInput input = [] {
    GzipInput in;
    if (const char* path = std::getenv("TAVOLUNE_BENCH_GZIP"); path && *path) {
      in.path = path;
      std::ifstream file(path, std::ios::binary);
      in.bytes.assign(std::istreambuf_iterator<char>(file), {});
    } else {
      const char* tmp = std::getenv("TMPDIR");
      in.path = (fs::path(tmp && *tmp ? tmp : "/tmp") / "tavolune-bench-inflate.gz").string();
      in.bytes = generatedGzip();
      std::ofstream(in.path, std::ios::binary).write(in.bytes.data(), static_cast<std::streamsize>(in.bytes.size()));
    }
    auto out = Gzip::gunzip(in.bytes);
    in.inflatedSize = out ? out->size() : 0;
    return in;
  }();
  return input;
}

// Inflated megabytes (10^6 bytes) per second of wall time.
void countInflated(benchmark::State& state, std::size_t outSize) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outSize));
  state.counters["MB_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * outSize) / 1e6, benchmark::Counter::kIsRate);
  state.counters["compressed_MiB"] = static_cast<double>(gzipInput().bytes.size()) / (1 << 20);
}

void BM_GzipInflate(benchmark::State& state) {
  const GzipInput& input = gzipInput();
  for (auto _ : state) {
    auto out = Gzip::gunzip(input.bytes);
    if (!out) {
      state.SkipWithError("the input does not inflate");
      return;
    }
    benchmark::DoNotOptimize(out->data());
  }
  countInflated(state, input.inflatedSize);
}
BENCHMARK(BM_GzipInflate)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: `gzip -dc` on the same file, its output thrown away. A
// child's time is not ours, so both cases count wall time.
void BM_GzipInflate_GzipTool(benchmark::State& state) {
  const GzipInput& input = gzipInput();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  std::string tool = "gzip", dc = "-dc", path = input.path;
  char* argv[] = {tool.data(), dc.data(), path.data(), nullptr};
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "gzip", &actions, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) < 0 ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("gzip -dc did not run");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  countInflated(state, input.inflatedSize);
}
BENCHMARK(BM_GzipInflate_GzipTool)->Name("BM_GzipInflate/gzip-dc")->Unit(benchmark::kMillisecond)->UseRealTime();

// A cache folder of `files` entries totalling 1.2 GiB, pruned under 1 GiB.
void BM_MediaCachePrune(benchmark::State& state) {
  const auto files = static_cast<std::size_t>(state.range(0));
  constexpr std::int64_t limit = std::int64_t{1} << 30;
  const std::int64_t total = limit * 12 / 10;
  const auto dir = scratchDirectory("prune");
  MediaCache cache(dir, limit);
  const std::string block(static_cast<std::size_t>(total / static_cast<std::int64_t>(files)), 'm');
  const auto now = ::time(nullptr);

  auto path = [&](std::size_t i) { return cache.fileURL("https://example.com/media/" + std::to_string(i), "bin"); };
  // Brings back the files the last prune removed, with their old dates.
  auto refill = [&] {
    for (std::size_t i = 0; i < files; ++i) {
      auto p = path(i);
      if (::access(p.c_str(), F_OK) == 0) continue;
      int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || ::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
        throw std::runtime_error("cannot write " + p.string());
      }
      const struct timespec times[2] = {{now, 0}, {now - static_cast<time_t>(files - i), 0}};
      ::futimens(fd, times);
      ::close(fd);
    }
  };

  for (auto _ : state) {
    state.PauseTiming();
    refill();
    state.ResumeTiming();
    cache.prune();
  }
  state.counters["left_MiB"] = static_cast<double>(cache.totalSize()) / (1 << 20);
  std::error_code ec;
  fs::remove_all(dir, ec);
}
BENCHMARK(BM_MediaCachePrune)->Arg(10000)->Unit(benchmark::kMillisecond);

// A cached 2 MB entry fetched through the content fetcher: one file read
// and one date update, no network.
void BM_MediaCacheHit(benchmark::State& state) {
  const auto dir = scratchDirectory("hit");
  auto cache = std::make_shared<MediaCache>(dir, std::int64_t{1} << 30);
  Rng rng(7);
  Bytes payload;
  payload.reserve(2'000'000);
  while (payload.size() < 2'000'000) payload += hex(rng, 64);
  payload.resize(2'000'000);
  const std::string uri = "ipfs://" + fakeCID(rng) + "/work.png";
  cache->store(payload, uri, "image/png");
  // Nothing listens on the gateway: a miss would fail the benchmark.
  ContentFetcher fetcher(HTTPClient(), cache, {"http://127.0.0.1:9"},
                         std::make_shared<OnchfsResolver>(HTTPClient(), "http://127.0.0.1:9"));
  for (auto _ : state) {
    auto content = fetcher.fetch(uri, 25);
    if (content.data.size() != payload.size()) {
      state.SkipWithError("not served from the cache");
      break;
    }
    benchmark::DoNotOptimize(content.data.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
  std::error_code ec;
  fs::remove_all(dir, ec);
}
BENCHMARK(BM_MediaCacheHit)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavolune::bench
