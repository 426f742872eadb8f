#pragma once
// An app model on a temporary data folder whose services are one loopback
// server: objkt answers each Tezos owner from a table, everything else 404.

#include "app/model/AppModel.hpp"
#include "core/base/TransportError.hpp"
#include "core/network/JSONValue.hpp"
#include "core/persistence/LibraryStore.hpp"
#include "tests/support/LoopbackServer.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace tavolune::testsupport {

// A callback to hand to the model, and a wait for it through a signal.
class Completion {
 public:
  template <class... Args>
  std::function<void(Args...)> callback() {
    return [this](Args...) { signal_.setObjectName(QString::number(++calls)); };
  }
  bool wait(int ms = 15000) {
    if (calls > 0) return true;
    QSignalSpy spy(&signal_, &QObject::objectNameChanged);
    return spy.wait(ms);
  }
  int calls = 0;

 private:
  QObject signal_;
};

// The same library, whatever order the hash maps list it in.
inline void expectSameLibrary(const LibraryState& a, const LibraryState& b) {
  EXPECT_EQ(a.wallets, b.wallets);
  EXPECT_EQ(a.artworks, b.artworks);
  EXPECT_EQ(a.ownerships, b.ownerships);
  EXPECT_EQ(a.hiddenArtworks, b.hiddenArtworks);
  EXPECT_EQ(a.hiddenCollections, b.hiddenCollections);
  EXPECT_EQ(a.spamOverrides, b.spamOverrides);
  EXPECT_EQ(a.animatedArtworks, b.animatedArtworks);
  EXPECT_EQ(a.settings, b.settings);
}

inline bool waitForSignal(QSignalSpy& spy, int ms = 15000) { return !spy.isEmpty() || spy.wait(ms); }

inline std::string lowered(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A valid-looking Tezos address: "tz1" and 33 base58 characters ending in the tag.
inline std::string tezosAddress(char tag) { return "tz1VSUr8wwNhLAzempoch5d6hLRiTh8Cjc" + std::string(2, tag); }

class ModelHarness : public ::testing::Test {
 protected:
  ModelHarness() {
    server.onRequest("POST", "/v3/graphql", [this](const RecordedRequest& r) { return objkt(r); });
  }

  AppModel::Options options() {
    AppModel::Options o;
    o.storeURL = storeURL();
    o.cacheDirectory = root() / "Media";
    o.http = HTTPClient(std::make_shared<URLSession>());
    o.http.clock = Clock(&Clock::systemNow, [](double, std::stop_token) {});
    o.services.objktEndpoint = server.url("/v3/graphql");
    o.services.tzktAPI = server.baseURL();
    o.services.openSeaAPI = server.baseURL();
    o.services.explorers = {};
    o.services.openSeaKeyFile = root() / "opensea-key.json";
    o.services.gateways = {server.baseURL()};
    o.services.clock = Clock(&Clock::systemNow, [](double, std::stop_token) {});
    o.bitcoinIndexer = server.baseURL();
    o.resolver = {server.baseURL(), server.baseURL(), server.baseURL()};
    o.timings.saveDelay = std::chrono::milliseconds(40);
    o.timings.countDelay = std::chrono::milliseconds(10);
    o.now = [this] { return clock; };
    return o;
  }

  std::filesystem::path root() const { return dir.path().toStdString(); }
  std::filesystem::path storeURL() const { return root() / "library.json"; }
  LibraryState onDisk() const { return LibraryStore(storeURL()).load(); }

  AppModel& loadedModel() { return loadedModel(options()); }
  AppModel& loadedModel(AppModel::Options o) {
    model = std::make_unique<AppModel>(std::move(o));
    QSignalSpy loaded(model.get(), &AppModel::loadedChanged);
    model->load();
    EXPECT_TRUE(waitForSignal(loaded));
    return *model;
  }

  // A Tezos wallet added straight to the library.
  Wallet addTezos(char tag, std::string label = "Tez") {
    Wallet w = Wallet::make(Uuid::random(), std::move(label), tezosAddress(tag), tezosAddress(tag), std::nullopt,
                            ChainFamily::tezos);
    seedLibrary(*model, [w](LibraryState& s) { s.wallets.push_back(w); });
    return w;
  }

  // The token ids objkt lists for an owner; an owner not listed gets 500.
  void holds(const std::string& owner, std::vector<std::string> tokens) {
    std::lock_guard lock(mutex);
    holdings[owner] = std::move(tokens);
  }

  CannedResponse objkt(const RecordedRequest& r) {
    const int now = ++inFlight;
    for (int seen = maxInFlight; now > seen && !maxInFlight.compare_exchange_weak(seen, now);) {
    }
    // The service's own latency, so that reads overlap as they would.
    std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs.load()));
    --inFlight;
    std::lock_guard lock(mutex);
    for (const auto& [owner, tokens] : holdings) {
      if (r.body.find(owner) == std::string::npos) continue;
      JSONValue::Array rows;
      for (const auto& t : tokens) rows.push_back(holdingRow(t));
      return CannedResponse::json(
          JSONValue(JSONValue::Object{{"data", JSONValue(JSONValue::Object{{"token_holder", JSONValue(rows)}})}})
              .serialized());
    }
    return CannedResponse::json("{}", 500);
  }

  static JSONValue holdingRow(const std::string& id) {
    JSONValue::Object token{
        {"token_id", JSONValue(id)},
        {"name", JSONValue("Work " + id)},
        {"mime", JSONValue("image/png")},
        {"display_uri", JSONValue("ipfs://QmDisplay" + id)},
        {"supply", JSONValue(std::int64_t{10})},
        {"fa", JSONValue(JSONValue::Object{{"contract", JSONValue("KT1Gen")}, {"name", JSONValue("Gen")}})},
    };
    return JSONValue(JSONValue::Object{{"quantity", JSONValue(std::int64_t{1})}, {"token", JSONValue(token)}});
  }

  QTemporaryDir dir;
  LoopbackServer server;
  std::unique_ptr<AppModel> model;
  Date clock = *iso8601::parse("2024-05-01T12:00:00Z");
  std::atomic<int> latencyMs{0};
  std::atomic<int> inFlight{0};
  std::atomic<int> maxInFlight{0};
  std::mutex mutex;
  std::map<std::string, std::vector<std::string>> holdings;
};

}  // namespace tavolune::testsupport
