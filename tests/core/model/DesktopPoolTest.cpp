#include "core/model/LibraryState.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::ids;
using testsupport::work;
using V = std::vector<std::string>;

TEST(DesktopPool, FallsBackFromExhibitionToSelectionToCollectionToWorks) {
  LibraryState s;
  auto collector = testsupport::wallet();
  auto a = work("1", "A", MediaKind::image, "Ann");
  auto b = work("2", "B", MediaKind::image, "Bob");
  auto c = work("3", "C", MediaKind::generative, "Cid");
  hold(s, collector, {a, b, c});
  s.onDesktop = {a.id, c.id, "ethereum:0xc0ffee:gone"};
  auto show = s.createExhibition("Show", {b.id, a.id});
  s.activeExhibition = show;

  EXPECT_EQ(ids(s.desktopPool()), (V{b.id, a.id}));
  EXPECT_EQ(s.desktopPoolCount(), 2u);
  s.hiddenArtworks = {a.id, b.id};  // exhibition not shown any more
  EXPECT_EQ(ids(s.desktopPool()), (V{c.id}));
  s.hiddenArtworks.clear();
  s.activeExhibition.reset();
  EXPECT_EQ(ids(s.desktopPool()), (V{c.id, a.id}));  // selection, display order
  EXPECT_EQ(s.desktopPoolCount(), 2u);

  s.onDesktop = {"ethereum:0xc0ffee:gone"};
  EXPECT_EQ(ids(s.desktopPool()), (V{c.id, a.id, b.id}));
  EXPECT_EQ(s.desktopPoolCount(), 3u);
  EXPECT_TRUE(s.hasDesktopPool());

  LibraryState artistOnly;
  hold(artistOnly, testsupport::wallet(WalletRole::artist), {a});
  EXPECT_EQ(ids(artistOnly.desktopPool()), (V{a.id}));
  EXPECT_EQ(artistOnly.desktopPoolCount(), 1u);
  EXPECT_TRUE(artistOnly.hasDesktopPool());
  artistOnly.hiddenArtworks.insert(a.id);
  EXPECT_FALSE(artistOnly.hasDesktopPool());
  EXPECT_EQ(artistOnly.desktopPoolCount(), 0u);
  EXPECT_TRUE(LibraryState().desktopPool().empty());
}

TEST(DesktopPool, KeepsWorksThatFitTheScreenWhenAsked) {
  LibraryState s;
  auto wide = work("1", "Wide");
  wide.aspectRatio = 1.5;
  auto square = work("2", "Square");
  square.aspectRatio = 1.0;
  auto live = work("3", "Live", MediaKind::generative);
  live.animationURI = "onchfs://abc/index.html";
  hold(s, testsupport::wallet(), {wide, square, live});
  s.renderProfiles[live.seriesKey()] = {ArtLayout::responsive(), std::nullopt, now()};

  EXPECT_EQ(s.desktopPool(1.6).size(), 3u);  // setting off
  s.settings.onlyFitsScreen = true;
  EXPECT_EQ(ids(s.desktopPool(1.6)), (V{live.id, wide.id}));
  EXPECT_EQ(s.desktopPool(std::nullopt).size(), 3u);
  s.rotations[wide.id] = 1;  // 1/1.5 no longer fits
  EXPECT_EQ(ids(s.desktopPool(1.6)), (V{live.id}));
  s.renderProfiles.clear();
  EXPECT_EQ(s.desktopPool(1.6).size(), 3u);  // nothing fits: the whole pool
}

TEST(DesktopPool, LivePolicyAndQuarterTurns) {
  LibraryState s;
  auto video = work("1", "Video", MediaKind::video);
  auto still = work("2", "Still");
  auto gif = work("3", "Gif");
  gif.mime = "image/gif";
  s.settings.animation = AnimationPolicy::all;
  EXPECT_TRUE(s.runsLive(video));
  EXPECT_FALSE(s.shouldAnimate(still));
  EXPECT_TRUE(s.runsLive(gif));
  s.rotations[video.id] = 1;
  EXPECT_TRUE(s.shouldAnimate(video));
  EXPECT_FALSE(s.runsLive(video));
  s.rotations[video.id] = 4;  // a whole turn is no turn
  EXPECT_TRUE(s.runsLive(video));
  s.settings.animation = AnimationPolicy::selected;
  EXPECT_FALSE(s.runsLive(gif));
  s.animatedArtworks.insert(gif.id);
  EXPECT_TRUE(s.runsLive(gif));
  s.settings.animation = AnimationPolicy::never;
  EXPECT_FALSE(s.runsLive(gif));

  s.rotations["a"] = 5;
  s.rotations["b"] = -1;
  s.rotations["c"] = -6;
  s.rotations["d"] = INT64_MIN + 1;
  EXPECT_EQ(s.rotation("a"), 1);
  EXPECT_EQ(s.rotation("b"), 3);
  EXPECT_EQ(s.rotation("c"), 2);
  EXPECT_EQ(s.rotation("d"), 1);
  EXPECT_EQ(s.rotation("none"), 0);
}

TEST(DesktopPool, Placement) {
  LibraryState s;
  const ScreenConfig screen(Framing::fit);
  auto live = work("1", "Live", MediaKind::generative);
  live.animationURI = "onchfs://live/index.html";
  auto fixed = work("2", "Fixed", MediaKind::generative);
  fixed.animationURI = "onchfs://fixed/index.html";
  auto plain = work("3", "Plain");
  s.renderProfiles[live.seriesKey()] = {ArtLayout::responsive(), std::nullopt, now()};
  s.renderProfiles[fixed.seriesKey()] = {ArtLayout::fixed(1.5), std::nullopt, now()};

  EXPECT_EQ(s.placement(live, screen, 1.6, std::nullopt), Placement::fullBleed());
  s.preferredFraming[live.id] = Framing::passePartout;
  EXPECT_EQ(s.placement(live, screen, 1.6, 0.8), Placement::framed(0.8, Framing::passePartout));
  live.aspectRatio = 1.2;
  EXPECT_EQ(s.placement(live, screen, 1.6, 0.8), Placement::framed(1.2, Framing::passePartout));

  EXPECT_EQ(s.placement(fixed, screen, 1.6, std::nullopt), Placement::framed(1.5, Framing::fill));
  EXPECT_EQ(s.placement(fixed, screen, 1.78, std::nullopt), Placement::framed(1.5, Framing::passePartout));
  s.rotations[fixed.id] = -1;
  EXPECT_EQ(s.placement(fixed, screen, 1 / 1.5, std::nullopt), Placement::framed(1 / 1.5, Framing::fill));

  EXPECT_EQ(s.placement(plain, screen, 1.6, std::nullopt), Placement::framed(1.0, Framing::fit));
  plain.aspectRatio = 0;
  s.rotations[plain.id] = 1;
  EXPECT_EQ(s.placement(plain, screen, 1.6, std::nullopt), Placement::framed(100, Framing::fit));

  s.settings.frame = FrameStyle::naturalOak;
  s.preferredFraming.clear();
  EXPECT_EQ(s.placement(live, screen, 1.6, std::nullopt), Placement::inFrame(FrameStyle::naturalOak, std::nullopt));
  EXPECT_EQ(s.placement(fixed, screen, 1.6, std::nullopt), Placement::inFrame(FrameStyle::naturalOak, 1 / 1.5));
  EXPECT_EQ(s.basePlacement(live, screen, 1.6, std::nullopt), Placement::fullBleed());
}

TEST(DesktopPool, UnmeasuredSeriesOnePerSeriesSelectionFirst) {
  LibraryState s;
  auto edition = [](std::string token, std::string title, std::string artist) {
    auto a = work(std::move(token), std::move(title), MediaKind::generative, std::move(artist));
    a.editionNumber = "1";
    return a;
  };
  auto dunes1 = edition("1", "Dunes #1", "Ann");
  auto dunes2 = edition("2", "Dunes #2", "Ann");
  auto tide = edition("3", "Tide #1", "Zed");
  auto measured = edition("4", "Known #1", "Bob");
  auto hidden = edition("5", "Hidden #1", "Abe");
  hold(s, testsupport::wallet(), {dunes1, dunes2, tide, measured, hidden, work("6", "Still")});
  hold(s, testsupport::wallet(WalletRole::artist), {dunes1});
  s.renderProfiles[measured.seriesKey()] = {ArtLayout::fixed(1), std::nullopt, now()};
  s.hiddenArtworks.insert(hidden.id);
  s.onDesktop = {tide.id};

  auto series = s.unmeasuredSeries();
  ASSERT_EQ(series.size(), 2u);
  EXPECT_EQ(series[0]->id, tide.id);
  EXPECT_EQ(series[1]->seriesKey(), dunes1.seriesKey());
  EXPECT_TRUE(LibraryState().unmeasuredSeries().empty());
}

TEST(DesktopPool, NoteShownKeepsTheNewestHundred) {
  LibraryState s;
  s.recentlyShown = {"a", "b", "c", "d"};
  s.noteShown("c");
  EXPECT_EQ(s.recentlyShown, (V{"c", "a", "b", "d"}));
  s.recentlyShown.clear();
  for (int i = 0; i < 101; ++i) s.noteShown(std::to_string(i));
  ASSERT_EQ(s.recentlyShown.size(), LibraryState::recentLimit);
  EXPECT_EQ(s.recentlyShown.front(), "100");
  EXPECT_EQ(s.recentlyShown.back(), "1");
}

}  // namespace
}  // namespace tavolune
