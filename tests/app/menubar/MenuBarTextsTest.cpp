#include "app/menubar/MenuBarTexts.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::work;
using Kind = MenuBarTexts::Pill::Kind;

TEST(RotationSummary, PoolAndInterval) {
  const Wallet w = testsupport::wallet();
  LibraryState base;
  hold(base, w, {work("1", "A"), work("2", "B"), work("3", "C")});

  struct Case {
    double interval;
    const char* expected;
  };
  const Case intervals[] = {
      {3600, "Whole collection, changes every 1 hour"},
      {300, "Whole collection, changes every 5 minutes"},
      {604800, "Whole collection, changes every 1 week"},
      {7200, "Whole collection, changes every 120 minutes"},
      {90, "Whole collection, changes every 1 minutes"},
      {150, "Whole collection, changes every 2 minutes"},
      {3600.5, "Whole collection, changes every 60 minutes"},
      // From an edited file: no undefined conversion, a plain fallback.
      {std::numeric_limits<double>::quiet_NaN(), "Whole collection, changes every ? minutes"},
      {std::numeric_limits<double>::infinity(), "Whole collection, changes every ? minutes"},
      {-90, "Whole collection, changes every -1 minutes"},
  };
  for (const auto& c : intervals) {
    LibraryState s = base;
    s.settings.rotationInterval = c.interval;
    EXPECT_EQ(MenuBarTexts::rotationSummary(s), QString::fromUtf8(c.expected)) << c.interval;
  }
  LibraryState huge = base;
  huge.settings.rotationInterval = 1e300;
  const QString text = MenuBarTexts::rotationSummary(huge);
  EXPECT_TRUE(text.endsWith(QStringLiteral(" minutes")));
  EXPECT_GT(text.size(), 299);

  // The selection counts its stored ids, hidden or unowned ones included.
  LibraryState selection = base;
  selection.onDesktop = {work("1", "A").id, work("2", "B").id, "ethereum:0xgone:9"};
  selection.hiddenArtworks = {work("2", "B").id};
  EXPECT_EQ(MenuBarTexts::rotationSummary(selection), QStringLiteral("My Selection (3), changes every 1 hour"));

  // The shown exhibition counts the pool.
  LibraryState shown = selection;
  shown.activeExhibition = shown.createExhibition("Dusk", {work("1", "A").id, work("3", "C").id});
  EXPECT_EQ(MenuBarTexts::rotationSummary(shown), QStringLiteral("\u201CDusk\u201D (2), changes every 1 hour"));
  // An exhibition of which nothing is visible is not shown.
  shown.hiddenArtworks.insert({work("1", "A").id, work("3", "C").id});
  EXPECT_EQ(MenuBarTexts::rotationSummary(shown), QStringLiteral("My Selection (3), changes every 1 hour"));
}

TEST(SyncWarning, OneOrSeveralFailingWallets) {
  std::vector<Wallet> wallets{testsupport::wallet(), testsupport::wallet(), testsupport::wallet()};
  wallets[0].label = "Studio";
  wallets[1].uncheckedChains = std::vector<Chain>{Chain::base};  // unchecked chains alone do not count
  EXPECT_EQ(MenuBarTexts::syncWarning(wallets), std::nullopt);
  wallets[0].lastError = "base: HTTP 500 · polygon: timed out";
  EXPECT_EQ(MenuBarTexts::syncWarning(wallets),
            QStringLiteral("Studio didn't sync completely: base: HTTP 500 · polygon: timed out"));
  wallets[1].lastError = "x";
  wallets[2].lastError = "y";
  EXPECT_EQ(MenuBarTexts::syncWarning(wallets), QStringLiteral("3 wallets didn't sync completely."));
}

TEST(HeaderPills, StillLiveTurnedAndPaused) {
  const Wallet w = testsupport::wallet();
  const Artwork still = work("1", "Still");
  const Artwork live = work("2", "Live", MediaKind::generative);
  LibraryState s;
  hold(s, w, {still, live});

  const auto kinds = [](const std::vector<MenuBarTexts::Pill>& pills) {
    std::vector<Kind> out;
    for (const auto& p : pills) out.push_back(p.kind);
    return out;
  };
  // A still: Keep and Hide only, and no note.
  EXPECT_EQ(kinds(MenuBarTexts::pills(s, still)), (std::vector<Kind>{Kind::keep, Kind::hide}));
  EXPECT_EQ(MenuBarTexts::liveNote(s, still, true, QStringLiteral("battery")), std::nullopt);
  // A live work, not marked, policy selected: Animate offered, not active.
  auto pills = MenuBarTexts::pills(s, live);
  EXPECT_EQ(kinds(pills), (std::vector<Kind>{Kind::keep, Kind::hide, Kind::animate}));
  EXPECT_FALSE(pills[2].active);
  EXPECT_EQ(pills[2].symbol, "play.circle");
  // Marked and kept: four pills, Kept with the filled star, Animate active.
  s.animatedArtworks.insert(live.id);
  s.onDesktop.insert(live.id);
  pills = MenuBarTexts::pills(s, live);
  EXPECT_EQ(kinds(pills), (std::vector<Kind>{Kind::keep, Kind::hide, Kind::animate, Kind::restart}));
  EXPECT_EQ(pills[0].title, QStringLiteral("Kept"));
  EXPECT_EQ(pills[0].symbol, "star.fill");
  EXPECT_EQ(pills[0].help, QStringLiteral("Remove from My Selection"));
  EXPECT_TRUE(pills[2].active);
  EXPECT_EQ(pills[2].help, QStringLiteral("Show this artwork as a still image again"));
  // Live note: user pause first, then the power reason, then nothing.
  EXPECT_EQ(MenuBarTexts::liveNote(s, live, true, QStringLiteral("battery")),
            QStringLiteral("Paused. Press play to see it move."));
  EXPECT_EQ(MenuBarTexts::liveNote(s, live, false, QStringLiteral("battery")),
            QStringLiteral("Paused (battery): it moves again when that ends."));
  EXPECT_EQ(MenuBarTexts::liveNote(s, live, false, std::nullopt), std::nullopt);
  // Turned a quarter: Animate stays active, no Restart, the turned note wins.
  s.rotations[live.id] = 1;
  EXPECT_EQ(kinds(MenuBarTexts::pills(s, live)), (std::vector<Kind>{Kind::keep, Kind::hide, Kind::animate}));
  EXPECT_EQ(MenuBarTexts::liveNote(s, live, true, std::nullopt),
            QStringLiteral("Turned artworks stay still: set Rotation back to 0° to see it move."));
  // Policy all: no Animate pill, Restart while it runs live.
  s.rotations.clear();
  s.settings.animation = AnimationPolicy::all;
  EXPECT_EQ(kinds(MenuBarTexts::pills(s, live)), (std::vector<Kind>{Kind::keep, Kind::hide, Kind::restart}));
  // Policy never: nothing moves, nothing to explain.
  s.settings.animation = AnimationPolicy::never;
  EXPECT_EQ(kinds(MenuBarTexts::pills(s, live)), (std::vector<Kind>{Kind::keep, Kind::hide}));
  EXPECT_EQ(MenuBarTexts::liveNote(s, live, true, QStringLiteral("battery")), std::nullopt);
}

}  // namespace
}  // namespace tavolune
