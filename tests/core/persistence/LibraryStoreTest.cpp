#include "core/persistence/LibraryStore.hpp"
#include "core/persistence/Files.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/TempDir.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace tavolune {
namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

void writeFile(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}
std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
std::vector<fs::path> entries(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename());
  std::sort(out.begin(), out.end());
  return out;
}

LibraryState sampleState() {
  LibraryState s;
  testsupport::hold(s, testsupport::wallet(), {testsupport::work("1", "One"), testsupport::work("2", "Two")});
  s.onDesktop = {testsupport::work("1", "").id};
  return s;
}

TEST(LibraryStore, LoadNeverFails) {
  TempDir dir;
  LibraryStore missing(dir.path() / "library.json");
  EXPECT_TRUE(missing.load().artworks.empty());

  LibraryStore folder(dir.path());  // a folder, not a file
  EXPECT_TRUE(folder.load().artworks.empty());

  for (const char* text : {"", "not json", "[1,2]", R"({"schemaVersion":"1"})", "{\"wallets\":[", "\xff\xfe"}) {
    writeFile(dir.path() / "library.json", text);
    EXPECT_TRUE(missing.load().wallets.empty()) << text;
  }
}

TEST(LibraryStore, SavesCompactlyIntoNewFoldersAndLoadsBack) {
  TempDir dir;
  const fs::path url = dir.path() / "a" / "b" / "library.json";
  LibraryStore store(url);
  auto s = sampleState();
  store.save(s);
  const std::string text = readFile(url);
  EXPECT_EQ(text, s.encode());
  auto back = store.load();
  EXPECT_EQ(back.artworks, s.artworks);
  EXPECT_EQ(back.onDesktop, s.onDesktop);
  // No temporary file is left behind.
  EXPECT_EQ(entries(url.parent_path()), std::vector<fs::path>{"library.json"});
}

fs::perms modeOf(const fs::path& p) { return fs::status(p).permissions() & fs::perms::all; }

TEST(LibraryStore, FilesAndTheFoldersItCreatesAreTheUsersAlone) {
  TempDir dir;
  const fs::path url = dir.path() / "new" / "data" / "library.json";
  fs::permissions(dir.path(), fs::perms(0755));
  LibraryStore fresh(url);
  fresh.save(sampleState());

  // A library an older build left readable to all, which this build refuses.
  const fs::path old = dir.path() / "library.json";
  writeFile(old, "not json");
  fs::permissions(old, fs::perms(0644));
  LibraryStore store(old);
  store.load();
  store.save(sampleState());
  ASSERT_TRUE(store.lastRejectedBackup());

  const struct {
    const char* name;
    fs::path path;
    fs::perms mode;
  } rows[] = {
      {"created folder", dir.path() / "new", fs::perms(0700)},
      {"created data folder", url.parent_path(), fs::perms(0700)},
      {"library", url, fs::perms(0600)},
      {"existing folder keeps its mode", dir.path(), fs::perms(0755)},
      {"replaced library", old, fs::perms(0600)},
      {"rejected copy", *store.lastRejectedBackup(), fs::perms(0600)},
  };
  for (const auto& row : rows) EXPECT_EQ(modeOf(row.path), row.mode) << row.name;
}

TEST(LibraryStore, FailedWriteKeepsTheOldFileWhole) {
  // A file-size limit makes the write fail even for root.
  TempDir dir;
  const fs::path url = dir.path() / "library.json";
  LibraryStore(url).save(sampleState());
  const std::string before = readFile(url);
  LibraryState big = sampleState();
  for (int i = 0; i < 200; ++i) big.recentlyShown.push_back(std::string(100, 'x'));
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{before.size() + 100, before.size() + 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      LibraryStore(url).save(big);
    } catch (const std::system_error&) {
      ::_exit(0);
    }
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success";
  EXPECT_EQ(readFile(url), before);
  EXPECT_EQ(entries(dir.path()), std::vector<fs::path>{"library.json"});
}

TEST(LibraryStore, FailedReplaceLeavesNoTemporary) {
  TempDir dir;
  const fs::path url = dir.path() / "library.json";
  fs::create_directories(url / "inside");  // a folder where the file should be
  LibraryStore store(url);
  EXPECT_THROW(store.save(sampleState()), std::system_error);
  EXPECT_EQ(entries(dir.path()), std::vector<fs::path>{"library.json"});
  EXPECT_TRUE(fs::is_directory(url / "inside"));
}

TEST(LibraryStore, SaveIntoAPathBlockedByAFileFails) {
  TempDir dir;
  writeFile(dir.path() / "blocker", "x");
  LibraryStore store(dir.path() / "blocker" / "library.json");
  EXPECT_ANY_THROW(store.save(LibraryState()));
}

TEST(LibraryStore, ANulByteRejectsTheFileAndItsTailIsKept) {
  TempDir dir;
  const fs::path url = dir.path() / "library.json";
  LibraryStore(url).save(sampleState());
  const std::string whole = readFile(url) + std::string(1, '\0') + "and the rest";
  writeFile(url, whole);
  LibraryStore store(url);
  EXPECT_TRUE(store.load().artworks.empty());
  store.save(LibraryState());
  auto backup = store.lastRejectedBackup();
  ASSERT_TRUE(backup);
  EXPECT_EQ(readFile(*backup), whole);
  EXPECT_TRUE(LibraryState::fromJson(json::Json::parse(readFile(url))).artworks.empty());
}

TEST(LibraryStore, RejectedFileIsMovedAsideBeforeTheFirstSave) {
  TempDir dir;
  const fs::path url = dir.path() / "library.json";
  const std::string rejected = R"({"wallets":[{"broken":true}],"artworks":{}})";
  writeFile(url, rejected);
  LibraryStore store(url);
  EXPECT_TRUE(store.load().wallets.empty());
  EXPECT_EQ(readFile(url), rejected);  // loading leaves it untouched

  store.save(sampleState());
  auto backup = store.lastRejectedBackup();
  ASSERT_TRUE(backup);
  EXPECT_EQ(backup->parent_path(), dir.path());
  EXPECT_TRUE(backup->filename().string().starts_with("library.rejected-"));
  EXPECT_EQ(backup->extension(), ".json");
  EXPECT_EQ(readFile(*backup), rejected);
  EXPECT_EQ(store.load().artworks.size(), 2u);

  // Only the first save moves it; later saves just replace the good file.
  store.save(LibraryState());
  EXPECT_EQ(entries(dir.path()).size(), 2u);

}

TEST(LibraryStore, RejectedBackupsNeverOverwriteEarlierOnes) {
  TempDir dir;
  const fs::path url = dir.path() / "library.json";
  // Earlier backups holding every name the next save could choose first.
  const Date t = now();
  for (int s = -1; s <= 2; ++s) {
    writeFile(LibraryStore::rejectedBackupName(url, t + std::chrono::seconds(s)), "earlier");
  }
  writeFile(url, "garbage");
  LibraryStore store(url);
  store.load();
  store.save(LibraryState());
  auto backup = store.lastRejectedBackup();
  ASSERT_TRUE(backup);
  EXPECT_EQ(readFile(*backup), "garbage");
  int earlier = 0;
  for (const auto& name : entries(dir.path())) earlier += readFile(dir.path() / name) == "earlier";
  EXPECT_EQ(earlier, 4);
  EXPECT_EQ(entries(dir.path()).size(), 6u);
}

TEST(LibraryStore, GoodOrMissingFilesAreNotBackedUp) {
  TempDir dir;
  const fs::path url = dir.path() / "library.json";
  LibraryStore store(url);
  store.load();
  store.save(sampleState());
  store.load();
  store.save(LibraryState());
  EXPECT_FALSE(store.lastRejectedBackup());
  EXPECT_EQ(entries(dir.path()), std::vector<fs::path>{"library.json"});
}

TEST(LibraryStore, BackupNameSaysRejectedWithTheUTCTime) {
  auto name = LibraryStore::rejectedBackupName("/x/library.json", *iso8601::parse("2024-05-01T12:03:04Z"));
  EXPECT_EQ(name, fs::path("/x/library.rejected-20240501T120304Z.json"));
}

TEST(LibraryStore, LoadRemovesTemporariesOfInterruptedSavesButNotOneBeingWritten) {
  TempDir dir;
  writeFile(dir.path() / ".library.json.tmp-abc123", "half");
  writeFile(dir.path() / ".library.json.tmp-def456", "under way");
  writeFile(dir.path() / "other.json", "keep");
  // Another writer (a store elsewhere, another process) holds its temporary.
  std::optional<files::FileDescriptor> writing;
  writing.emplace(::open((dir.path() / ".library.json.tmp-def456").c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(writing->get(), LOCK_EX), 0);
  LibraryStore store(dir.path() / "library.json");
  store.load();
  EXPECT_EQ(entries(dir.path()), (std::vector<fs::path>{".library.json.tmp-def456", "other.json"}));
  writing.reset();
  store.load();
  EXPECT_EQ(entries(dir.path()), std::vector<fs::path>{"other.json"});
}

}  // namespace
}  // namespace tavolune
