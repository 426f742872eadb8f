#include "core/persistence/LibraryStore.hpp"
#include "core/persistence/TavolunePaths.hpp"
#include "tests/support/TempDir.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace tavolune {
namespace {

namespace fs = std::filesystem;
using namespace TavolunePaths;

Environment env(std::map<std::string, std::string> values) {
  return [values](const char* name) -> std::optional<std::string> {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  };
}

TEST(TavolunePaths, DataDirectoryOverride) {
  EXPECT_EQ(resolveData(env({{"HOME", "/home/ann"}, {"TAVOLUNE_DATA_DIR", "~/Art"}})), fs::path("/home/ann/Art"));
  EXPECT_EQ(resolveData(env({{"HOME", "/home/ann/"}, {"TAVOLUNE_DATA_DIR", "~"}})), fs::path("/home/ann"));
  EXPECT_EQ(resolveData(env({{"TAVOLUNE_DATA_DIR", "/srv/tavolune"}})), fs::path("/srv/tavolune"));
  EXPECT_EQ(resolveData(env({{"TAVOLUNE_DATA_DIR", "relative/dir"}})), fs::path("relative/dir"));
  // Empty means unset: the cached application folder of this process.
  EXPECT_EQ(resolveData(env({{"TAVOLUNE_DATA_DIR", ""}})), appSupport());
  EXPECT_EQ(expandTilde("~root/x", env({})), "/root/x");
  EXPECT_EQ(expandTilde("a~b", env({{"HOME", "/h"}})), "a~b");
}

TEST(TavolunePaths, ApplicationFolderFollowsXDG) {
  EXPECT_EQ(appSupportLocation(env({{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/ann"}})), fs::path("/data/Tavolune"));
  EXPECT_EQ(appSupportLocation(env({{"XDG_DATA_HOME", "rel"}, {"HOME", "/home/ann"}})),
            fs::path("/home/ann/.local/share/Tavolune"));
  EXPECT_EQ(appSupportLocation(env({{"HOME", "/home/ann"}})), fs::path("/home/ann/.local/share/Tavolune"));
  EXPECT_EQ(LibraryStore::defaultURL(), data() / "library.json");
}

TEST(TavolunePaths, MovesTheFormerFolderOnlyWhenTheNewOneIsMissing) {
  testsupport::TempDir dir;
  fs::create_directories(dir.path() / "Morvane");
  std::ofstream(dir.path() / "Morvane" / "library.json") << "{}";
  auto folder = resolveAppSupport(env({{"XDG_DATA_HOME", dir.path().string()}}));
  EXPECT_EQ(folder, dir.path() / "Tavolune");
  EXPECT_TRUE(fs::exists(dir.path() / "Tavolune" / "library.json"));
  EXPECT_FALSE(fs::exists(dir.path() / "Morvane"));

  fs::create_directories(dir.path() / "Morvane");
  std::ofstream(dir.path() / "Morvane" / "old") << "x";
  moveFolderOfFormerName(dir.path() / "Tavolune", dir.path());
  EXPECT_TRUE(fs::exists(dir.path() / "Morvane" / "old"));
  EXPECT_FALSE(fs::exists(dir.path() / "Tavolune" / "old"));

  // Nothing to move and a failing move are both silent.
  testsupport::TempDir empty;
  EXPECT_NO_THROW(moveFolderOfFormerName(empty.path() / "Tavolune", empty.path()));
  EXPECT_FALSE(fs::exists(empty.path() / "Tavolune"));
  EXPECT_NO_THROW(moveFolderOfFormerName("/proc/nonexistent/Tavolune", "/proc/nonexistent"));
}

}  // namespace
}  // namespace tavolune
