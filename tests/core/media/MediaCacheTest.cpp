#include "core/media/MediaCache.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tavolune {
namespace {

namespace fs = std::filesystem;

Bytes bytes(const std::string& s) { return s; }

class MediaCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir = fs::temp_directory_path() / ("tavolune-media-" + std::to_string(rd()) + std::to_string(rd()));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  // Sets a file's modification time to `secondsAgo` before now.
  static void age(const fs::path& p, int secondsAgo) {
    fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
  }
  // Every file of the entry.
  static void age(const MediaCache& cache, const std::string& key, int secondsAgo) {
    for (const char* ext : {"bin", "mime", "key"}) {
      if (fs::exists(cache.fileURL(key, ext))) age(cache.fileURL(key, ext), secondsAgo);
    }
  }

  fs::path dir;
};

TEST(MediaCacheKeyTest, FNV1aOverUTF8) {
  EXPECT_EQ(MediaCache::key(""), "cbf29ce484222325");
  EXPECT_EQ(MediaCache::key("abc"), "e71fa2190541574b");
  EXPECT_EQ(MediaCache::key("a"), "af63dc4c8601ec8c");
  // Non-ASCII text is hashed over its UTF-8 bytes: é is C3 A9.
  EXPECT_EQ(MediaCache::key("\xC3\xA9"), MediaCache::key(std::string("\xC3\xA9")));
  EXPECT_NE(MediaCache::key("\xC3\xA9"), MediaCache::key("\xE9"));
  // Always 16 digits, also when the hash has leading zero nibbles.
  for (int i = 0; i < 2000; ++i) EXPECT_EQ(MediaCache::key(std::to_string(i)).size(), 16u);
}

TEST_F(MediaCacheTest, StoresBytesAndTypeAsSeparateFiles) {
  MediaCache cache(dir, 1 << 20);
  EXPECT_TRUE(fs::is_directory(dir));
  const std::string uri = "ipfs://QmSomething/index.html";
  EXPECT_FALSE(cache.contains(uri));
  EXPECT_FALSE(cache.data(uri));
  EXPECT_FALSE(cache.mime(uri));

  cache.store(bytes("<html></html>"), uri, "text/html");
  EXPECT_TRUE(cache.contains(uri));
  EXPECT_EQ(cache.data(uri), bytes("<html></html>"));
  EXPECT_EQ(cache.mime(uri), "text/html");
  EXPECT_EQ(cache.fileURL(uri, "bin"), dir / (MediaCache::key(uri) + ".bin"));
  std::ifstream mimeFile(dir / (MediaCache::key(uri) + ".mime"), std::ios::binary);
  std::string stored((std::istreambuf_iterator<char>(mimeFile)), {});
  EXPECT_EQ(stored, "text/html");  // no line ending

  // Storing again without a type keeps the first one.
  cache.store(bytes("<html>2</html>"), uri, std::nullopt);
  EXPECT_EQ(cache.data(uri), bytes("<html>2</html>"));
  EXPECT_EQ(cache.mime(uri), "text/html");

  // An entry without a type reads with none; empty bytes are an entry.
  cache.store({}, "empty", std::nullopt);
  EXPECT_TRUE(cache.contains("empty"));
  EXPECT_EQ(cache.data("empty"), Bytes{});
  EXPECT_FALSE(cache.mime("empty"));

  // No leftovers from the atomic writes.
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos);
    ++files;
  }
  EXPECT_EQ(files, 5);
  EXPECT_EQ(cache.totalSize(), std::int64_t(std::string("<html>2</html>").size() + std::string("text/html").size() +
                                            uri.size() + std::string("empty").size()))
      << "the key files count";
}

TEST_F(MediaCacheTest, TheFolderAndItsFilesAreTheUsersAlone) {
  auto mode = [](const fs::path& p) { return fs::status(p).permissions() & fs::perms::all; };
  {
    MediaCache cache(dir, 1 << 20);
    cache.store(bytes("<svg/>"), "ipfs://QmWork/still.svg", "image/svg+xml");
    EXPECT_EQ(mode(dir), fs::perms(0700)) << "created";
    EXPECT_EQ(mode(cache.fileURL("ipfs://QmWork/still.svg", "bin")), fs::perms(0600)) << "bytes";
    EXPECT_EQ(mode(cache.fileURL("ipfs://QmWork/still.svg", "mime")), fs::perms(0600)) << "type";
  }
  // A folder an earlier build left open is narrowed when the cache starts.
  fs::permissions(dir, fs::perms(0755));
  MediaCache reopened(dir, 1 << 20);
  EXPECT_EQ(mode(dir), fs::perms(0700)) << "narrowed";
  EXPECT_TRUE(reopened.data("ipfs://QmWork/still.svg"));
}

TEST_F(MediaCacheTest, ExistingFolderKeepsItsContents) {
  {
    MediaCache first(dir, 100);
    first.store(bytes("kept"), "k", "text/plain");
  }
  MediaCache second(dir, 100);
  EXPECT_EQ(second.data("k"), bytes("kept"));
  EXPECT_EQ(second.mime("k"), "text/plain");
}

TEST_F(MediaCacheTest, MimeThatIsNotUTF8ReadsAsNone) {
  MediaCache cache(dir, 100);
  cache.store(bytes("x"), "k", "text/plain");
  std::ofstream(dir / (MediaCache::key("k") + ".mime"), std::ios::binary) << "\xFF\xFE";
  EXPECT_FALSE(cache.mime("k"));
  EXPECT_TRUE(cache.data("k"));
}

TEST_F(MediaCacheTest, ReadingRefreshesTheWholeEntryOnly) {
  MediaCache cache(dir, 1 << 20);
  cache.store(bytes("abc"), "k", "image/png");
  auto bin = cache.fileURL("k", "bin");
  auto mime = cache.fileURL("k", "mime");
  age(bin, 3600);
  age(mime, 3600);
  auto old = fs::last_write_time(bin);
  fs::last_write_time(mime, old);

  // contains and mime leave dates alone.
  EXPECT_TRUE(cache.contains("k"));
  EXPECT_TRUE(cache.mime("k"));
  EXPECT_EQ(fs::last_write_time(bin), old);
  EXPECT_EQ(fs::last_write_time(mime), old);

  ASSERT_TRUE(cache.data("k"));
  EXPECT_GT(fs::last_write_time(bin), old + std::chrono::seconds(3000));
  EXPECT_GT(fs::last_write_time(mime), old + std::chrono::seconds(3000));
}

TEST_F(MediaCacheTest, PruneArithmetic) {
  MediaCache cache(dir, 1000);
  // Ten entries of 100 bytes (98 and a key of 2) without types, oldest first.
  for (int i = 0; i < 10; ++i) {
    cache.store(Bytes(98, static_cast<char>(i)), "e" + std::to_string(i), std::nullopt);
    age(cache, "e" + std::to_string(i), 1000 - i);
  }
  EXPECT_EQ(cache.totalSize(), 1000);
  cache.prune();  // exactly at the limit: nothing goes
  EXPECT_EQ(cache.totalSize(), 1000);

  // One over: the store itself prunes, down to floor(1000/10)*8 = 800,
  // oldest first.
  cache.store(Bytes{}, "+", std::nullopt);
  EXPECT_EQ(cache.totalSize(), 701);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(cache.contains("e" + std::to_string(i))) << i;
  for (int i = 3; i < 10; ++i) EXPECT_TRUE(cache.contains("e" + std::to_string(i))) << i;
  EXPECT_TRUE(cache.contains("+"));

  cache.setLimitBytes(700);
  EXPECT_EQ(cache.limitBytes(), 700);
  cache.prune();  // 701 > 700 -> down to 560
  EXPECT_EQ(cache.totalSize(), 501);

  cache.setLimitBytes(0);
  cache.prune();
  EXPECT_EQ(cache.totalSize(), 0);
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(MediaCacheTest, StoresNeverTakeTheFolderPastItsLimitByMoreThanOneEntry) {
  MediaCache cache(dir, 10'000);
  // Someone else's file is counted from the first store on.
  { std::ofstream(dir / "stray") << std::string(4000, 'x'); }
  std::atomic<std::int64_t> largest{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        cache.store(Bytes(700, 'a'), "w" + std::to_string(t) + "-" + std::to_string(i), std::string("text/plain"));
        std::int64_t size = cache.totalSize();
        for (std::int64_t seen = largest.load(); size > seen && !largest.compare_exchange_weak(seen, size);) {
        }
      }
    });
  }
  for (auto& w : writers) w.join();
  // An entry is 700 bytes, a 10-byte type and a key of at most 5; the
  // folder may briefly hold one more entry than its limit, and one more
  // while its type and key are written.
  EXPECT_LE(largest.load(), 10'000 + 2 * 715);
  EXPECT_LE(cache.totalSize(), 10'000);
  EXPECT_FALSE(fs::exists(dir / "stray"));
}

TEST_F(MediaCacheTest, PruneTargetIsTruncatedBeforeScaling) {
  MediaCache cache(dir, 1009);
  for (int i = 0; i < 101; ++i) {
    const std::string key = "e" + std::to_string(i);
    cache.store(Bytes(10 - key.size(), '\x01'), key, std::nullopt);  // 10 bytes with the key
    age(cache, key, 1000 - i);
  }
  cache.prune();  // 1010 > 1009: target floor(1009/10)*8 = 800
  EXPECT_EQ(cache.totalSize(), 800);
}

TEST_F(MediaCacheTest, PruneEvictsLeastRecentlyReadAndKeepsEntriesWhole) {
  MediaCache cache(dir, 10'000);  // room for the setting up
  // "used" is the oldest store but is read afterwards; its type file is old
  // and must not be evicted on its own.
  cache.store(Bytes(300, '\x01'), "used", "video/mp4");
  cache.store(Bytes(300, '\x02'), "idle1", "image/png");
  cache.store(Bytes(300, '\x03'), "idle2", "image/png");
  cache.store(Bytes(300, '\x04'), "idle3", std::nullopt);
  age(cache, "used", 500);
  age(cache, "idle1", 400);
  age(cache, "idle2", 300);
  age(cache.fileURL("idle2", "mime"), 10);  // an entry is as recent as its newest file
  age(cache, "idle3", 200);
  ASSERT_TRUE(cache.data("used"));

  cache.setLimitBytes(1000);
  cache.prune();  // total 1200 + types -> at most 800
  EXPECT_FALSE(cache.contains("idle1"));
  EXPECT_FALSE(fs::exists(cache.fileURL("idle1", "mime")));  // gone together
  EXPECT_FALSE(cache.contains("idle3"));
  EXPECT_TRUE(cache.contains("idle2"));
  EXPECT_TRUE(cache.contains("used"));
  EXPECT_EQ(cache.mime("used"), "video/mp4");
  EXPECT_LE(cache.totalSize(), 800);
}

TEST_F(MediaCacheTest, PruneRemovesStrayFilesAndUndatedFirst) {
  MediaCache cache(dir, 250);
  cache.store(Bytes(99, '\x01'), "a", std::nullopt);  // 100 bytes with the key
  cache.store(Bytes(99, '\x02'), "b", std::nullopt);
  age(cache, "a", 100);
  age(cache, "b", 50);
  // A leftover file of an interrupted write is an entry of its own.
  std::ofstream(dir / ".leftover.tmp", std::ios::binary) << std::string(100, 'x');
  age(dir / ".leftover.tmp", 10);
  // A dangling link has no readable size; it is listed all the same.
  fs::create_symlink(dir / "nowhere", dir / "link");
  EXPECT_EQ(cache.totalSize(), 300);
  cache.prune();  // target 200: the oldest entry "a" goes
  EXPECT_FALSE(cache.contains("a"));
  EXPECT_TRUE(cache.contains("b"));
  EXPECT_TRUE(fs::exists(dir / ".leftover.tmp"));
  EXPECT_EQ(cache.totalSize(), 200);
}

TEST_F(MediaCacheTest, ClearLeavesAnEmptyFolder) {
  MediaCache cache(dir, 1000);
  cache.store(bytes("x"), "a", "text/plain");
  cache.store(bytes("y"), "b", std::nullopt);
  cache.clear();
  EXPECT_TRUE(fs::is_directory(dir));
  EXPECT_TRUE(fs::is_empty(dir));
  EXPECT_EQ(cache.totalSize(), 0);
  EXPECT_FALSE(cache.data("a"));
  // Still usable afterwards, also when the folder vanished meanwhile.
  fs::remove_all(dir);
  EXPECT_EQ(cache.totalSize(), 0);
  cache.store(bytes("z"), "c", "text/plain");
  EXPECT_EQ(cache.data("c"), bytes("z"));
}

TEST_F(MediaCacheTest, ReadersNeverSeeAPartialFile) {
  MediaCache cache(dir, 64 << 20);
  const Bytes a(256 * 1024, 'a');
  const Bytes b(300 * 1024, 'b');
  cache.store(a, "shared", "text/plain");
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::atomic<int> hits{0};

  std::vector<std::thread> threads;
  for (int w = 0; w < 2; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < 150; ++i) {
        cache.store((i + w) % 2 ? a : b, "shared", (i + w) % 2 ? "text/a" : "text/b");
        cache.store(Bytes(1000, '\x01'), "other" + std::to_string(w) + "-" + std::to_string(i), std::nullopt);
      }
    });
  }
  threads.emplace_back([&] {
    while (!stop) {
      cache.prune();
      std::this_thread::yield();
    }
  });
  for (int r = 0; r < 3; ++r) {
    threads.emplace_back([&] {
      while (!stop) {
        auto got = cache.data("shared");
        if (!got) continue;  // a reader may lose a race with eviction
        ++hits;
        if (*got != a && *got != b) ++torn;
        (void)cache.totalSize();
      }
    });
  }
  threads[0].join();
  threads[1].join();
  stop = true;
  for (std::size_t i = 2; i < threads.size(); ++i) threads[i].join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(hits.load(), 0);
  auto final = cache.data("shared");
  ASSERT_TRUE(final);
  EXPECT_TRUE(*final == a || *final == b);
  for (const auto& e : fs::directory_iterator(dir)) {
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  }
}

// Every key names the same files, as keys a page chose to collide would.
std::string oneName(std::string_view) { return "00000000000000aa"; }

TEST_F(MediaCacheTest, AnEntryAnswersOnlyForTheKeyItWasStoredUnder) {
  MediaCache cache(dir, 1 << 20, oneName);
  const std::string still = "still:tezos:kt1:7:640x480";
  const std::string page = "ipfs/QmPage/forged";
  cache.store(bytes("real still"), still, "image/png");
  cache.store(bytes("forged"), page, "text/html");  // would take the still's place: not cached
  EXPECT_EQ(cache.data(still), bytes("real still"));
  EXPECT_EQ(cache.mime(still), "image/png");
  EXPECT_FALSE(cache.contains(page));
  EXPECT_FALSE(cache.data(page));
  EXPECT_FALSE(cache.mime(page));
  EXPECT_LT(cache.openFile(page), 0);
  EXPECT_EQ(cache.totalSize(), std::int64_t(std::string("real still").size() + 9 + still.size()));

  cache.setLimitBytes(0);
  cache.prune();
  EXPECT_TRUE(fs::is_empty(dir)) << "the key file goes with its entry";
  // Evicted, the still's place is free for the page, and the still is a miss.
  cache.setLimitBytes(1 << 20);
  cache.store(bytes("forged"), page, std::nullopt);
  EXPECT_EQ(cache.data(page), bytes("forged"));
  EXPECT_FALSE(cache.contains(still));
  EXPECT_FALSE(cache.data(still));
}

TEST_F(MediaCacheTest, LeftoversOfNoKeyAreMissesAndGiveWay) {
  struct Row {
    const char* name;
    bool bin;
    bool mime;
    std::optional<std::string> owner;
  };
  const Row rows[] = {
      {"written before entries named their key", true, true, std::nullopt},
      {"another key's, its bytes evicted", false, true, "other"},
      {"a store cut off before its key", true, false, std::nullopt},
  };
  for (const auto& row : rows) {
    fs::remove_all(dir);
    MediaCache cache(dir, 1 << 20, oneName);
    if (row.bin) std::ofstream(cache.fileURL("k", "bin")) << "old bytes";
    if (row.mime) std::ofstream(cache.fileURL("k", "mime")) << "text/old";
    if (row.owner) std::ofstream(cache.fileURL("k", "key")) << *row.owner;
    EXPECT_FALSE(cache.contains("k")) << row.name;
    EXPECT_FALSE(cache.data("k")) << row.name;
    EXPECT_FALSE(cache.mime("k")) << row.name;

    cache.store(bytes("new"), "k", std::nullopt);
    EXPECT_EQ(cache.data("k"), bytes("new")) << row.name;
    EXPECT_FALSE(cache.mime("k")) << row.name << ": the old type was no one's";
    EXPECT_FALSE(cache.data("other")) << row.name;
  }
}

TEST_F(MediaCacheTest, ReadersNeverTakeOneKeysBytesForAnothers) {
  MediaCache cache(dir, 64 << 20, oneName);
  const Bytes a(64 * 1024, 'a');
  const Bytes b(64 * 1024, 'b');
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::atomic<int> hits[2] = {0, 0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&, r] {
      const std::string key = r ? "A" : "B";
      const std::string type = r ? "text/a" : "text/b";
      while (!stop) {
        if (auto got = cache.data(key)) {
          ++hits[r];
          if (*got != (r ? a : b)) ++wrong;
        }
        if (auto t = cache.mime(key); t && *t != type) ++wrong;
      }
    });
  }
  // Clearing now and then frees the place for the other key, and bytes left
  // without a key (an older build's, a cut-off store's) wait there for it.
  for (int i = 0; i < 100'000 && (hits[0] < 200 || hits[1] < 200); ++i) {
    const Bytes& mine = i % 2 ? a : b;
    cache.store(mine, i % 2 ? "A" : "B", std::string(i % 2 ? "text/a" : "text/b"));
    if (i % 3 == 0) {
      cache.clear();
      std::ofstream(cache.fileURL("A", "bin"), std::ios::binary) << mine;
    }
  }
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GE(hits[0].load() + hits[1].load(), 400);
}

}  // namespace
}  // namespace tavolune
