#include "app/menubar/PoolCount.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::work;

TEST(PoolCount, CountsAgainOnlyWhenThePoolCanHaveChanged) {
  Wallet w = testsupport::wallet();
  LibraryState s;
  hold(s, w, {work("1", "A"), work("2", "B"), work("3", "C"), work("4", "D")});
  // A work the next "sync" brings, hidden before it arrives.
  const Artwork incoming = work("9", "Hidden newcomer");
  s.hiddenArtworks.insert(incoming.id);
  PoolCount cache;
  ASSERT_EQ(cache.of(s), 4u);

  struct Edit {
    const char* what;
    std::function<void(LibraryState&)> apply;
    bool poolCanChange;
  };
  const Edit edits[] = {
      {"interval", [](LibraryState& x) { x.settings.rotationInterval = 60; }, false},
      {"work on a display",
       [](LibraryState& x) { x.screens["A"].currentArtworkID = work("2", "B").id; }, false},
      {"recently shown", [](LibraryState& x) { x.noteShown(work("3", "C").id); }, false},
      {"hide", [](LibraryState& x) { x.hiddenArtworks.insert(work("1", "A").id); }, true},
      {"hide one, show another",
       [](LibraryState& x) {
         x.hiddenArtworks.erase(work("1", "A").id);
         x.hiddenArtworks.insert(work("2", "B").id);
       },
       true},
      {"spam override", [](LibraryState& x) { x.spamOverrides[work("3", "C").id] = true; }, true},
      {"spam override flipped", [](LibraryState& x) { x.spamOverrides[work("3", "C").id] = false; }, true},
      {"sync swapping a work for one of the same number",
       [&](LibraryState& x) {
         x.artworks.erase(work("4", "D").id);
         x.artworks[incoming.id] = incoming;
         auto& held = x.ownerships[w.id];
         held.erase(work("4", "D").id);
         held[incoming.id] = 1;
         x.wallets.front().lastSync = *iso8601::parse("2024-05-02T00:00:00Z");
       },
       true},
      {"selection", [](LibraryState& x) { x.onDesktop.insert(work("1", "A").id); }, true},
      {"exhibition shown",
       [](LibraryState& x) { x.activeExhibition = x.createExhibition("Dusk", {work("1", "A").id, work("3", "C").id}); },
       true},
      {"exhibition grows", [](LibraryState& x) { x.exhibitions.front().artworkIDs.push_back(work("2", "B").id); },
       true},
      {"wallet removed", [&](LibraryState& x) { x.removeWallet(w.id); }, true},
  };
  for (const auto& e : edits) {
    SCOPED_TRACE(e.what);
    const int before = cache.recounts();
    e.apply(s);
    EXPECT_EQ(cache.of(s), s.desktopPoolCount());
    EXPECT_EQ(cache.recounts() > before, e.poolCanChange);
  }
}

}  // namespace
}  // namespace tavolune
