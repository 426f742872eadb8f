#include "tests/app/model/ModelHarness.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QSignalSpy>
#include <QTest>

namespace tavolune {
namespace {

using testsupport::Completion;
using testsupport::ModelHarness;
using testsupport::waitForSignal;

class AppModelSaving : public ModelHarness {};

TEST_F(AppModelSaving, NothingIsWrittenBeforeTheLibraryIsLoadedAndASecondLoadJoinsTheFirst) {
  LibraryState stored;
  testsupport::hold(stored, testsupport::wallet(), {testsupport::work("1", "Kept")});
  LibraryStore(storeURL()).save(stored);

  model = std::make_unique<AppModel>(options());
  DesktopChanges changes(*model);
  // An edit and a save request while the file is still being read.
  seedLibrary(*model, [](LibraryState& s) { s.wallets.clear(); });
  model->scheduleSave();
  QSignalSpy loaded(model.get(), &AppModel::loadedChanged);
  model->load();
  model->load();
  ASSERT_TRUE(waitForSignal(loaded));
  model->load();
  model->flush();

  EXPECT_TRUE(model->isLoaded());
  EXPECT_EQ(loaded.count(), 1);
  EXPECT_EQ(changes(), 1);
  EXPECT_EQ(model->state().encode(), stored.encode());
  EXPECT_EQ(onDisk().encode(), stored.encode());
  EXPECT_EQ(model->writer().writes(), 0u);
}

TEST_F(AppModelSaving, ABurstOfEditsIsOneWriteOfTheLastState) {
  auto& m = loadedModel();
  const auto w = addTezos('a');
  m.scheduleSave();
  m.setHidden({"tezos:kt1gen:1"}, true);
  m.setAnimated(testsupport::work("2", "Live", MediaKind::generative), true);

  QSignalSpy written(&m, &AppModel::saved);
  ASSERT_TRUE(waitForSignal(written));
  m.flush();
  EXPECT_EQ(m.writer().writes(), 1u);
  const auto disk = onDisk();
  testsupport::expectSameLibrary(disk, m.state());
  ASSERT_EQ(disk.wallets.size(), 1u);
  EXPECT_EQ(disk.wallets[0].id, w.id);
  EXPECT_TRUE(disk.hiddenArtworks.contains("tezos:kt1gen:1"));
}

TEST_F(AppModelSaving, QuittingWritesThePendingSave) {
  auto& m = loadedModel();
  addTezos('a');
  m.scheduleSave();
  m.flush();  // what the shell does when the application quits
  EXPECT_EQ(onDisk().wallets.size(), 1u);

  // Going away does the same.
  m.setHidden({"x"}, true);
  model.reset();
  EXPECT_TRUE(onDisk().hiddenArtworks.contains("x"));
}

TEST_F(AppModelSaving, TheFileMatchesTheModelAfterSyncsAndEdits) {
  auto& m = loadedModel();
  const auto a = addTezos('a');
  const auto b = addTezos('b');
  holds(a.address, {"1", "2", "3"});
  holds(b.address, {"3", "4"});
  Completion done;
  m.walletSync().syncAll(done.callback());
  ASSERT_TRUE(done.wait());
  m.setHidden({"tezos:kt1gen:2"}, true);
  seedLibrary(m, [id = b.id](LibraryState& s) { s.removeWallet(id); });
  m.scheduleSave();
  m.flush();
  EXPECT_EQ(m.state().artworks.size(), 3u);
  testsupport::expectSameLibrary(onDisk(), m.state());
}

TEST_F(AppModelSaving, ThePoolCountFollowsABurstOfEditsOnce) {
  auto& m = loadedModel();
  QSignalSpy counted(&m, &AppModel::desktopPoolCountChanged);
  const Wallet w = testsupport::wallet();
  const auto a = testsupport::work("1", "A"), b = testsupport::work("2", "B"), c = testsupport::work("3", "C");
  seedLibrary(m, [w, a, b, c](LibraryState& s) { testsupport::hold(s, w, {a, b, c}); });
  m.setHidden({a.id}, true);
  m.setHidden({b.id}, true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m.desktopPoolCount() == 1u; }, 5000));
  EXPECT_EQ(m.desktopPoolCount(), m.state().desktopPoolCount());
  // The empty library's count after loading, then one for the burst.
  EXPECT_LE(counted.count(), 2);
}

TEST_F(AppModelSaving, HidingShowingAndAnimating) {
  auto& m = loadedModel();
  LibraryState seed;
  auto spam = testsupport::work("1", "Spam");
  spam.isSpam = true;
  const auto sibling = testsupport::work("2", "Same collection");
  testsupport::hold(seed, testsupport::wallet(), {spam, sibling});
  seedLibrary(m, [seed](LibraryState& s) { s = seed; });
  DesktopChanges changes(m);
  QSignalSpy failuresExpired(&m.media().images(), &ImagePipeline::failuresExpired);

  m.setHidden({spam.id, "unknown"}, true);
  seedLibrary(m, [key = spam.collectionKey()](LibraryState& s) { s.hiddenCollections.insert(key); });
  ASSERT_EQ(m.listing().count({}), 0u);
  const std::size_t rebuilds = m.listing().rebuilds();
  m.setHidden({spam.id, "unknown"}, false);
  // Showing one work showed its collection: the listing kept up in place lists both.
  EXPECT_EQ(m.listing().count({}), 2u);
  EXPECT_EQ(m.listing().rebuilds(), rebuilds);
  EXPECT_TRUE(m.state().hiddenArtworks.empty());
  EXPECT_TRUE(m.state().hiddenCollections.empty());
  EXPECT_EQ(m.state().spamOverrides, (std::unordered_map<std::string, bool>{{spam.id, false}}));
  EXPECT_EQ(changes(), 2);
  // Failed stills load again on each library change, not on a plain edit.
  EXPECT_EQ(failuresExpired.count(), 2);

  struct Row {
    AnimationPolicy before;
    bool on;
    AnimationPolicy after;
  };
  for (const auto& row : {Row{AnimationPolicy::never, true, AnimationPolicy::selected},
                          Row{AnimationPolicy::all, true, AnimationPolicy::all},
                          Row{AnimationPolicy::never, false, AnimationPolicy::never}}) {
    seedLibrary(m, [before = row.before](LibraryState& s) { s.settings.animation = before; });
    m.setAnimated(spam, row.on);
    EXPECT_EQ(m.state().settings.animation, row.after);
    EXPECT_EQ(m.state().animatedArtworks.contains(spam.id), row.on);
  }
}

}  // namespace
}  // namespace tavolune
