#include "core/indexers/OpenSeaKeyStore.hpp"
#include "tests/core/indexers/EVMTestSupport.hpp"
#include "core/persistence/TavolunePaths.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace tavolune;
using namespace tavolune::evmtest;
using namespace std::chrono_literals;
using tavolune::testsupport::CannedResponse;
using tavolune::testsupport::LoopbackServer;

namespace {

namespace fs = std::filesystem;

std::string expiry(Clock::TimePoint at) { return iso8601::format(std::chrono::floor<std::chrono::seconds>(at)); }

std::string keyBody(const std::string& key, Clock::TimePoint expires) {
  return R"({"api_key":")" + key + R"(","expires_at":")" + expiry(expires) + R"(","note":"kept"})";
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class OpenSeaKeyStoreTest : public ::testing::Test {
 protected:
  std::shared_ptr<OpenSeaKeyStore> store() const {
    return std::make_shared<OpenSeaKeyStore>(file, server.baseURL(), clock.clock());
  }
  std::size_t keyRequests() const { return server.requests("POST", "/api/v2/auth/keys").size(); }

  TempDir dir;
  fs::path file = dir.path() / "nested" / "app" / "opensea-key.json";
  LoopbackServer server;
  FakeClock clock;
  HTTPClient http = quickClient();
};

TEST(OpenSeaKeyStoreDate, ReadsInternetDateTimes) {
  auto plain = OpenSeaKeyStore::date("2030-01-02T03:04:05Z");
  ASSERT_TRUE(plain);
  EXPECT_EQ(OpenSeaKeyStore::date("2030-01-02T03:04:05.123456Z"), plain);
  EXPECT_EQ(OpenSeaKeyStore::date("2030-01-02T05:04:05+02:00"), plain);
  EXPECT_EQ(OpenSeaKeyStore::date("2030-01-02T05:04:05.5+02:00"), plain);
  EXPECT_EQ(OpenSeaKeyStore::date("2030-01-01T22:04:05.999-05:00"), plain);
  EXPECT_FALSE(OpenSeaKeyStore::date("2030-01-02"));
  EXPECT_FALSE(OpenSeaKeyStore::date("2030-01-02T03:04:05"));
  EXPECT_FALSE(OpenSeaKeyStore::date("2030-01-02T03:04:05.Z"));
  EXPECT_FALSE(OpenSeaKeyStore::date("soon"));
  EXPECT_FALSE(OpenSeaKeyStore::date(""));
}

TEST_F(OpenSeaKeyStoreTest, AFreshKeyFileIsUsedWithoutARequest) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << keyBody("from-file", clock.now() + 2h);
  EXPECT_EQ(store()->key(http), "from-file");
  EXPECT_EQ(keyRequests(), 0u);
}

TEST_F(OpenSeaKeyStoreTest, AKeyExpiringWithinTheHourIsRenewedAndWritten) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << keyBody("old", clock.now() + 59min);
  const std::string answer = keyBody("new", clock.now() + 24h);
  server.post("/api/v2/auth/keys", answer);

  auto keys = store();
  EXPECT_EQ(keys->key(http), "new");
  EXPECT_EQ(keys->key(http), "new");  // held in memory now
  EXPECT_EQ(keyRequests(), 1u);
  EXPECT_EQ(readAll(file), answer);  // the service's exact answer

  auto request = server.requests("POST", "/api/v2/auth/keys").front();
  EXPECT_TRUE(request.body.empty());
  EXPECT_TRUE(request.header("User-Agent"));
  EXPECT_FALSE(request.header("X-API-KEY"));

  // A later store (the next wallet sync) reads the file.
  EXPECT_EQ(store()->key(http), "new");
  EXPECT_EQ(keyRequests(), 1u);
}

TEST_F(OpenSeaKeyStoreTest, MissingOrBrokenFilesAskTheServiceAndFoldersAreCreated) {
  server.post("/api/v2/auth/keys", keyBody("k1", clock.now() + 24h));
  EXPECT_EQ(store()->key(http), "k1");
  EXPECT_TRUE(fs::exists(file));
  for (const fs::directory_entry& e : fs::directory_iterator(file.parent_path())) {
    EXPECT_EQ(e.path().filename(), "opensea-key.json");  // no temporary left behind
  }

  std::ofstream(file) << R"({"api_key":"k0","expires_at":12})";
  EXPECT_EQ(store()->key(http), "k1");
  std::ofstream(file) << "not json";
  EXPECT_EQ(store()->key(http), "k1");
  std::ofstream(file) << R"({"api_key":"k0","expires_at":"2099-01-01"})";  // no time: counts as expired
  EXPECT_EQ(store()->key(http), "k1");
  EXPECT_EQ(keyRequests(), 4u);
}

TEST_F(OpenSeaKeyStoreTest, ARefusalHoldsForSixHours) {
  server.post("/api/v2/auth/keys", "{}", 503);
  auto keys = store();
  auto first = tavoluneErrorOf([&] { keys->key(http); });
  EXPECT_TRUE(first.isHTTP(503));
  EXPECT_EQ(first.url(), server.url("/api/v2/auth/keys"));

  clock.advance(21599s);
  auto held = tavoluneErrorOf([&] { keys->key(http); });
  EXPECT_TRUE(held.isHTTP(429));
  EXPECT_EQ(held.url(), server.url("/api/v2/auth/keys"));
  EXPECT_EQ(held.errorDescription(), TavoluneError::describe(429, TavoluneError::serviceName("127.0.0.1")));
  EXPECT_EQ(keyRequests(), 1u);

  clock.advance(1s);
  server.post("/api/v2/auth/keys", keyBody("late", clock.now() + 24h));
  EXPECT_EQ(keys->key(http), "late");
  EXPECT_EQ(keyRequests(), 2u);
}

TEST_F(OpenSeaKeyStoreTest, AnAnswerWithoutAKeyIsARefusal) {
  server.post("/api/v2/auth/keys", R"({"expires_at":"2099-01-01T00:00:00Z"})");
  auto keys = store();
  EXPECT_TRUE(tavoluneErrorOf([&] { keys->key(http); }).isHTTP(200));
  EXPECT_TRUE(tavoluneErrorOf([&] { keys->key(http); }).isHTTP(429));
  EXPECT_EQ(keyRequests(), 1u);
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(OpenSeaKeyStoreTest, TheRefusalOutlivesInvalidateAndTheStore) {
  server.post("/api/v2/auth/keys", "{}", 401);
  auto keys = store();
  EXPECT_TRUE(tavoluneErrorOf([&] { keys->key(http); }).isHTTP(401));
  keys->invalidate();
  EXPECT_TRUE(tavoluneErrorOf([&] { keys->key(http); }).isHTTP(429));
  // The application builds a new store for every wallet sync.
  EXPECT_TRUE(tavoluneErrorOf([&] { store()->key(http); }).isHTTP(429));
  EXPECT_EQ(keyRequests(), 1u);

  // Another key file is another matter.
  server.post("/api/v2/auth/keys", keyBody("other", clock.now() + 24h));
  OpenSeaKeyStore elsewhere(dir.path() / "other.json", server.baseURL(), clock.clock());
  EXPECT_EQ(elsewhere.key(http), "other");
}

TEST_F(OpenSeaKeyStoreTest, ARefusalBlocksEvenAHeldKeyThatExpiresSoon) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << keyBody("short", clock.now() + 30min);
  server.post("/api/v2/auth/keys", "{}", 500);
  auto keys = store();
  EXPECT_TRUE(tavoluneErrorOf([&] { keys->key(http); }).isHTTP(500));
  EXPECT_TRUE(tavoluneErrorOf([&] { keys->key(http); }).isHTTP(429));
}

TEST_F(OpenSeaKeyStoreTest, InvalidateForgetsTheKeyAndDeletesTheFile) {
  server.post("/api/v2/auth/keys", keyBody("k", clock.now() + 24h));
  auto keys = store();
  keys->invalidate();  // nothing to delete yet: no failure
  EXPECT_EQ(keys->key(http), "k");
  keys->invalidate();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(keys->key(http), "k");
  EXPECT_EQ(keyRequests(), 2u);
}

TEST_F(OpenSeaKeyStoreTest, TransportFailuresPassUnchangedAndAreNoRefusal) {
  // Port 9 on loopback: nothing listens there.
  OpenSeaKeyStore unreachable(file, "http://127.0.0.1:9", clock.clock());
  EXPECT_THROW(unreachable.key(http), TransportError);
  EXPECT_FALSE(unreachable.refusedAt());
}

TEST(OpenSeaKeyStoreLocation, TheKeyFileStaysInTheApplicationFolder) {
  TempDir data;
  ::setenv(TavolunePaths::dataDirVariable, data.path().c_str(), 1);
  fs::path url = OpenSeaKeyStore::defaultURL();
  ::unsetenv(TavolunePaths::dataDirVariable);
  EXPECT_EQ(url.filename(), "opensea-key.json");
  EXPECT_EQ(url.parent_path(), TavolunePaths::appSupport());
  EXPECT_NE(url.parent_path(), data.path());
}

}  // namespace
