#include "app/model/LibraryWriter.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace tavolune {
namespace {

Wallet named(const std::string& label) {
  return Wallet::make(Uuid::random(), label, "0xabc", "0xabc", std::nullopt, ChainFamily::evm);
}

// The writer's saves, the first one held until released.
struct SlowDisk {
  std::mutex mutex;
  std::condition_variable changed;
  bool holding = true;
  bool firstStarted = false;
  std::vector<std::vector<std::string>> written;  // the wallet labels of each write

  void save(const LibraryState& s) {
    std::unique_lock lock(mutex);
    if (!firstStarted) {
      firstStarted = true;
      changed.notify_all();
      changed.wait(lock, [this] { return !holding; });
    }
    std::vector<std::string> labels;
    for (const auto& w : s.wallets) labels.push_back(w.label);
    written.push_back(labels);
  }
};

TEST(LibraryWriter, ASlowSaveThenANewBurstLeavesTheNewestStateLast) {
  SlowDisk disk;
  LibraryState stored;
  stored.wallets.push_back(named("stored"));
  LibraryWriter writer([&] { return stored; }, [&](const LibraryState& s) { disk.save(s); });

  std::optional<LibraryState> loaded;
  writer.load([&](LibraryState s) { loaded = std::move(s); });
  writer.save({[](LibraryState& s) { s.wallets.push_back(named("a")); }});
  {
    std::unique_lock lock(disk.mutex);
    disk.changed.wait(lock, [&] { return disk.firstStarted; });
  }
  // While the first write hangs, two more bursts arrive.
  writer.save({[](LibraryState& s) { s.wallets.push_back(named("b")); }});
  writer.save({[](LibraryState& s) { s.wallets.push_back(named("c")); },
               [](LibraryState& s) { s.wallets.erase(s.wallets.begin()); }});
  {
    std::lock_guard lock(disk.mutex);
    disk.holding = false;
  }
  disk.changed.notify_all();
  writer.flush();

  ASSERT_TRUE(loaded);
  ASSERT_EQ(loaded->wallets.size(), 1u);
  using Labels = std::vector<std::string>;
  // The two later bursts became one write, after the first.
  EXPECT_EQ(disk.written, (std::vector<Labels>{{"stored", "a"}, {"a", "b", "c"}}));
  EXPECT_EQ(writer.writes(), 2u);
}

TEST(LibraryWriter, AFailedWriteIsCountedAndTheNextOneCarriesOn) {
  int calls = 0;
  std::vector<std::size_t> sizes;
  LibraryWriter writer([] { return LibraryState{}; },
                       [&](const LibraryState& s) {
                         if (++calls == 1) throw std::runtime_error("disk full");
                         sizes.push_back(s.wallets.size());
                       });
  writer.load([](LibraryState) {});
  writer.save({[](LibraryState& s) { s.wallets.push_back(named("a")); }});
  writer.flush();
  writer.save({[](LibraryState& s) { s.wallets.push_back(named("b")); }});
  writer.flush();
  EXPECT_EQ(writer.failures(), 1u);
  EXPECT_EQ(writer.writes(), 1u);
  EXPECT_EQ(sizes, std::vector<std::size_t>{2});
}

}  // namespace
}  // namespace tavolune
