#include "core/persistence/LibraryStore.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/TempDir.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace tavolune {
namespace {

// Every state the writer saves: the same works, told apart by a marker.
LibraryState markedState(const LibraryState& base, std::int64_t marker) {
  LibraryState s = base;
  s.settings.rotationInterval = static_cast<double>(marker);
  s.recentlyShown = {"marker-" + std::to_string(marker)};
  return s;
}

TEST(CrashSafety, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
  testsupport::TempDir dir;
  const auto url = dir.path() / "library.json";
  std::mt19937 rng(12345);
  LibraryState base;
  auto w = testsupport::wallet();
  for (int i = 0; i < 1000; ++i) {
    auto a = testsupport::work(std::to_string(i), "Work " + std::to_string(i));
    a.description = std::string(300, 'd');
    base.artworks[a.id] = a;
    base.ownerships[w.id][a.id] = 1;
  }
  base.wallets.push_back(w);
  // Kill moments spread over a few saves, however fast this machine is.
  const auto started = std::chrono::steady_clock::now();
  LibraryStore(url).save(markedState(base, 1));
  const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
  std::uniform_int_distribution<long> delay(0, 4 * saveTime.count() + 1000);

  std::int64_t lastMarker = 1;
  for (int round = 0; round < 60; ++round) {
    // Every other round ends the writer inside its second save; the others at random.
    const bool insideAWrite = round % 2 == 0;
    const std::int64_t first = lastMarker + 1;
    // The writer reports each finished save ('s') and the point inside one ('p'):
    // the kill comes after the first save, however slowly a busy machine lets it start.
    int saved[2];
    ASSERT_EQ(::pipe(saved), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(saved[0]);
      int finished = 0;
      LibraryStore store(url, [&] {
        if (!insideAWrite || finished != 1) return;
        if (::write(saved[1], "p", 1) != 1) ::_exit(4);
        for (;;) ::pause();
      });
      for (std::int64_t m = first;; ++m) {
        try {
          store.save(markedState(base, m));
        } catch (...) {
          ::_exit(3);
        }
        ++finished;
        if (::write(saved[1], "s", 1) != 1) ::_exit(4);
      }
    }
    ::close(saved[1]);
    char report = 0;
    const bool reported = ::read(saved[0], &report, 1) == 1 && report == 's';
    char inside = 0;
    if (!insideAWrite) std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
    if (insideAWrite && ::read(saved[0], &inside, 1) != 1) inside = 0;
    ::kill(child, SIGKILL);
    ::close(saved[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(reported) << "round " << round << ": the writer ended before its first save";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself, status " << status;

    // An interrupted save leaves a temporary file; the load below clears it.
    std::vector<std::filesystem::path> temporaries;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      if (e.path().filename() != "library.json") temporaries.push_back(e.path());
    }
    if (insideAWrite) {
      ASSERT_EQ(inside, 'p') << "round " << round;
      ASSERT_EQ(temporaries.size(), 1u) << "round " << round;
      EXPECT_LT(std::filesystem::file_size(temporaries[0]), std::filesystem::file_size(url)) << "round " << round;
    }
    LibraryStore store(url);
    LibraryState loaded = store.load();
    ASSERT_EQ(loaded.artworks.size(), base.artworks.size()) << "round " << round << " loaded the empty library";
    ASSERT_EQ(loaded.recentlyShown.size(), 1u);
    const auto marker = static_cast<std::int64_t>(loaded.settings.rotationInterval);
    ASSERT_GE(marker, first) << "round " << round << ": a finished save survives the kill";
    ASSERT_TRUE(!insideAWrite || marker == first) << "round " << round << ": the half-written save replaced the file";
    ASSERT_EQ(loaded.recentlyShown[0], "marker-" + std::to_string(marker));
    EXPECT_EQ(loaded.artworks, markedState(base, marker).artworks);
    ASSERT_FALSE(store.lastRejectedBackup());
    for (const auto& temporary : temporaries) EXPECT_FALSE(std::filesystem::exists(temporary)) << "round " << round;
    lastMarker = marker;
  }
}

}  // namespace
}  // namespace tavolune
