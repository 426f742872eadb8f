#include "tests/app/model/ModelHarness.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include "core/base/TavoluneError.hpp"
#include "tests/support/ModelEdits.hpp"

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::Completion;
using testsupport::ModelHarness;
using testsupport::RecordedRequest;
using testsupport::tezosAddress;
using testsupport::waitForSignal;

class SyncingWallets : public ModelHarness {
 protected:
  std::size_t objktReads() const { return server.requests("POST", "/v3/graphql").size(); }

  WalletSync::AddWalletOutcome add(const std::string& text, WalletRole role) {
    WalletSync::AddWalletOutcome outcome;
    Completion done;
    model->walletSync().addWallet(text, role, [&outcome, cb = done.callback()](WalletSync::AddWalletOutcome o) {
      outcome = o;
      cb();
    });
    EXPECT_TRUE(done.wait());
    return outcome;
  }
};

TEST_F(SyncingWallets, AddingWallets) {
  auto& m = loadedModel();
  const std::string evm = "0xAbCdEf0123456789aBcDeF0123456789AbCdEf01";
  server.on("GET", "/ens/resolve/" + evm, CannedResponse::json(R"({"name":"ada.eth"})"));

  auto first = add(evm, WalletRole::collector);
  EXPECT_FALSE(first.error);
  ASSERT_EQ(m.state().wallets.size(), 1u);
  const Wallet added = m.state().wallets[0];
  EXPECT_EQ(added.label, "ada.eth");
  EXPECT_EQ(added.input, evm);
  EXPECT_EQ(first.count, 0u);

  // The same address in other letters and the same role: read again, nothing added.
  QSignalSpy syncing(&m.walletSync(), &WalletSync::syncingWalletsChanged);
  const auto again = add(testsupport::lowered(evm), WalletRole::collector);
  EXPECT_EQ(syncing.count(), 2);  // started and finished
  EXPECT_EQ(m.state().wallets.size(), 1u);
  EXPECT_EQ(m.state().wallets[0].label, "ada.eth");
  EXPECT_EQ(again.count, m.state().ownerships.contains(added.id) ? m.state().ownerships.at(added.id).size() : 0u);

  // The other role is another wallet; without a name it is labelled by its address.
  holds(tezosAddress('a'), {"1", "2"});
  EXPECT_EQ(add(tezosAddress('a'), WalletRole::artist).count, 0u);  // an artist's creations, none here
  EXPECT_EQ(add(tezosAddress('a'), WalletRole::collector).count, 2u);
  ASSERT_EQ(m.state().wallets.size(), 3u);
  EXPECT_EQ(m.state().wallets[2].label, "tz1VSU\u2026jcaa");

  // A name that resolves to nothing throws and changes nothing.
  const auto failed = add("nobody.eth", WalletRole::collector);
  ASSERT_TRUE(failed.error);
  EXPECT_THROW(std::rethrow_exception(failed.error), TavoluneError);
  EXPECT_EQ(m.state().wallets.size(), 3u);
  EXPECT_TRUE(m.walletSync().syncingWallets().empty());
}

TEST_F(SyncingWallets, OneSyncAtATimePerWalletAndNoticesOnlyWhenNothingWasRead) {
  auto& m = loadedModel();
  const auto w = addTezos('a', "Mine");
  QSignalSpy syncing(&m.walletSync(), &WalletSync::syncingWalletsChanged);

  Completion unknown;
  m.walletSync().sync(Uuid::random(), unknown.callback());
  EXPECT_EQ(unknown.calls, 1);
  EXPECT_TRUE(syncing.isEmpty());

  // Both Tezos services fail: nothing read, so the notice says why.
  latencyMs = 100;
  Completion first, second;
  m.walletSync().sync(w.id, first.callback());
  m.walletSync().sync(w.id, second.callback());
  EXPECT_EQ(second.calls, 1);  // dropped, not queued
  EXPECT_TRUE(m.walletSync().syncingWallets().contains(w.id));
  ASSERT_TRUE(first.wait());
  EXPECT_TRUE(m.walletSync().syncingWallets().empty());
  EXPECT_EQ(objktReads(), 1u);
  ASSERT_TRUE(m.notice());
  EXPECT_TRUE(m.notice()->starts_with("Mine: Tezos: ")) << *m.notice();
  ASSERT_TRUE(m.state().wallets[0].lastError);

  // A read that finds works leaves the notice alone; a dismissed one stays gone.
  m.setNotice(std::nullopt);
  latencyMs = 0;
  holds(w.address, {"1"});
  DesktopChanges changes(m);
  Completion third;
  m.walletSync().sync(w.id, third.callback());
  ASSERT_TRUE(third.wait());
  EXPECT_FALSE(m.notice());
  EXPECT_EQ(changes(), 1);
  EXPECT_EQ(m.visibleArtworks().size(), 1u);

  // Nothing added or removed: saved, but the desktop is not told.
  Completion fourth;
  m.walletSync().sync(w.id, fourth.callback());
  ASSERT_TRUE(fourth.wait());
  EXPECT_EQ(changes(), 1);
}

TEST_F(SyncingWallets, AWalletRemovedWhileItSyncsKeepsNothing) {
  auto& m = loadedModel();
  const auto w = addTezos('a');
  holds(w.address, {"1", "2"});
  latencyMs = 150;
  Completion done;
  m.walletSync().sync(w.id, done.callback());
  ASSERT_TRUE(server.waitForRequests(1));
  seedLibrary(m, [id = w.id](LibraryState& s) { s.removeWallet(id); });
  m.scheduleSave();
  ASSERT_TRUE(done.wait());
  m.flush();
  EXPECT_TRUE(m.state().artworks.empty());
  EXPECT_TRUE(m.state().ownerships.empty());
  EXPECT_TRUE(m.walletSync().syncingWallets().empty());
  testsupport::expectSameLibrary(onDisk(), m.state());
}

TEST_F(SyncingWallets, AContractChangedWhileTheWalletSyncsIsFollowedByOneMoreSync) {
  auto& m = loadedModel();
  const auto w = addTezos('a');
  holds(w.address, {"1"});
  latencyMs = 100;
  Completion first, added;
  m.walletSync().sync(w.id, first.callback());
  ASSERT_TRUE(server.waitForRequests(1));
  m.walletSync().addCollectionContract(" KT:0x" + std::string(40, 'A') + "\n", w.id, added.callback());
  ASSERT_TRUE(added.wait());
  EXPECT_EQ(first.calls, 1);
  EXPECT_EQ(objktReads(), 2u);
  EXPECT_EQ(m.state().wallets[0].collectionContracts, std::vector<std::string>{"kt:0x" + std::string(40, 'a')});
}

TEST_F(SyncingWallets, SyncAllReadsAtMostThreeWalletsAtOnce) {
  auto& m = loadedModel();
  for (char tag : {'a', 'b', 'c', 'd', 'e', 'f', 'g'}) holds(addTezos(tag).address, {std::string(1, tag)});
  latencyMs = 60;
  Completion done;
  m.walletSync().syncAll(done.callback());
  EXPECT_EQ(m.walletSync().syncingWallets().size(), 7u);
  ASSERT_TRUE(done.wait());
  EXPECT_EQ(objktReads(), 7u);
  EXPECT_EQ(m.state().artworks.size(), 7u);
  EXPECT_EQ(maxInFlight.load(), 3);
  EXPECT_TRUE(m.walletSync().syncingWallets().empty());
}

TEST_F(SyncingWallets, StaleMeansNeverSyncedOrMoreThanSixHoursAgo) {
  auto& m = loadedModel();
  struct Row {
    char tag;
    std::optional<std::chrono::seconds> age;
    bool stale;
  };
  const std::vector<Row> rows{{'a', std::nullopt, true},
                              {'b', std::chrono::seconds(21'600), false},
                              {'c', std::chrono::seconds(21'601), true},
                              {'d', std::chrono::seconds(-60), false}};
  for (const auto& row : rows) {
    const auto w = addTezos(row.tag);
    holds(w.address, {});
    if (row.age) seedLibrary(m, [id = w.id, at = clock - *row.age](LibraryState& s) { s.wallets.back().lastSync = at; });
  }
  Completion done;
  m.walletSync().syncStale(done.callback());
  ASSERT_TRUE(done.wait());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& synced = m.state().wallets[i].lastSync;
    const bool resynced = rows[i].age ? synced != clock - *rows[i].age : synced.has_value();
    EXPECT_EQ(resynced, rows[i].stale) << rows[i].tag;
  }
  EXPECT_EQ(objktReads(), 2u);

  // Nothing stale: nothing read.
  Completion none;
  clock = clock - std::chrono::hours(1);
  m.walletSync().syncStale(none.callback());
  EXPECT_EQ(none.calls, 1);
  EXPECT_EQ(objktReads(), 2u);
}

TEST(CollectionContracts, Validation) {
  const std::string hex40(40, 'a');
  struct Row {
    std::string text;
    std::optional<std::string> stored;
  };
  const std::vector<Row> rows{
      {"0x" + hex40, "0x" + hex40},
      {"  0x" + std::string(40, 'F') + "\n", "0x" + std::string(40, 'f')},
      {"Base:0x" + hex40, "base:0x" + hex40},
      {"0x" + std::string(39, 'a'), std::nullopt},
      {"0x" + std::string(41, 'a'), std::nullopt},
      {hex40, std::nullopt},
      {"b4se:0x" + hex40, std::nullopt},
      {"0x" + std::string(39, 'a') + "g", std::nullopt},
      {"0x" + hex40 + "\n0x" + hex40, std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(WalletSync::normalizedContract(row.text), row.stored) << row.text;
}

TEST_F(SyncingWallets, ContractsAreAddedOnceRemovedExactlyAndRejectedWithANotice) {
  auto& m = loadedModel();
  const auto w = addTezos('a');
  holds(w.address, {});
  const std::string contract = "0x" + std::string(40, 'b');
  for (int i = 0; i < 2; ++i) {
    Completion done;
    m.walletSync().addCollectionContract(contract, w.id, done.callback());
    ASSERT_TRUE(done.wait());
  }
  EXPECT_EQ(m.state().wallets[0].collectionContracts, std::vector<std::string>{contract});
  EXPECT_EQ(objktReads(), 2u);  // the duplicate still saves and syncs

  Completion rejected;
  m.walletSync().addCollectionContract("0x123", w.id, rejected.callback());
  EXPECT_EQ(m.notice(), "Invalid contract address.");
  EXPECT_EQ(objktReads(), 2u);

  Completion other, removed;
  m.walletSync().removeCollectionContract("0x" + std::string(40, 'B'), w.id, other.callback());
  ASSERT_TRUE(other.wait());
  EXPECT_EQ(m.state().wallets[0].collectionContracts, std::vector<std::string>{contract});
  m.walletSync().removeCollectionContract(contract, w.id, removed.callback());
  ASSERT_TRUE(removed.wait());
  EXPECT_EQ(m.state().wallets[0].collectionContracts, std::vector<std::string>{});
}

}  // namespace
}  // namespace tavolune
