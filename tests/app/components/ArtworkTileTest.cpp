#include "app/components/ArtworkTile.hpp"

#include "app/style/ChainBadge.hpp"
#include "app/style/Theme.hpp"
#include "tests/app/render/TestImages.hpp"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using namespace tavolune::testing;

constexpr int side = 200;
constexpr int margin = 16;  // room for the lift and the shadow
const QColor wall{244, 244, 244};
const QColor accent{47, 111, 214};

QPalette lightPalette() {
  QPalette p;
  p.setColor(QPalette::Window, wall);
  p.setColor(QPalette::WindowText, Qt::black);
  p.setColor(QPalette::Highlight, accent);
  return p;
}

TileData sample(bool live = true) {
  Artwork a = Artwork::make({.chain = Chain::tezos,
                             .contract = "KT1test",
                             .tokenId = "1",
                             .title = "Quiet Harbour at Dawn",
                             .artist = "Ada Example",
                             .mediaKind = live ? MediaKind::generative : MediaKind::image});
  TileData d = TileData::of(a, live, false);
  d.still = fourCorners(300, 200);
  return d;
}

QImage render(const TileData& data, TileState state) {
  const ArtworkTile tile(lightPalette());
  QImage image(side + 2 * margin, tile.heightFor(side) + 2 * margin, QImage::Format_ARGB32_Premultiplied);
  image.fill(wall);
  QPainter p(&image);
  tile.paint(p, QRect(margin, margin, side, tile.heightFor(side)), data, state);
  return image;
}

QRect cell() { return QRect(margin, margin, side, ArtworkTile(lightPalette()).heightFor(side)); }

// Text may be hinted a little differently from one font build to the next.
void expectReference(const QImage& image, const std::string& name) { testing::expectReference(image, name, 6, 100); }

TEST(ArtworkTile, MatchesReferencePictures) {
  expectReference(render(sample(), {}), "tile-plain");
  expectReference(render(sample(), {.hover = 1}), "tile-hover");
  TileData chosen = sample();
  chosen.inMySelection = true;
  expectReference(render(chosen, {.selected = true}), "tile-selected");
}

TEST(ArtworkTile, BadgesShowOnlyUnderThePointerOrWhenSelected) {
  const int badgeY = margin + int(ArtworkTile::badgePadding) + 5;
  const int chainX = margin + side - int(ArtworkTile::badgePadding) - 6;
  const QColor chain = Theme::chainColor(Chain::tezos);
  EXPECT_TRUE(colorNear(render(sample(), {}), chainX, badgeY, wall, 2)) << "invisible at rest";
  EXPECT_TRUE(colorNear(render(sample(), {.selected = true}), chainX, badgeY, chain, 40));
  const QImage hovered = render(sample(), {.hover = 1});
  // Under the pointer the tile is lifted and grown a little: look around.
  bool found = false;
  for (int dy = -4; dy <= 2 && !found; ++dy) found = colorNear(hovered, chainX, badgeY + dy, chain, 40);
  EXPECT_TRUE(found);

  // The kind badge (on the accent: the work runs live) sits left of the
  // chain badge, only for a live work.
  const double chainLeft = margin + side - ArtworkTile::badgePadding -
                           CapsuleBadge::size(ChainBadge::look(Chain::tezos)).width();
  auto accentLeftOfChain = [&](const QImage& image) {
    int n = 0;
    for (int y = badgeY - 2; y <= badgeY + 2; ++y)
      for (int x = int(chainLeft) - 30; x < int(chainLeft) - 4; ++x) n += colorNear(image, x, y, accent, 30);
    return n;
  };
  EXPECT_GT(accentLeftOfChain(render(sample(true), {.selected = true})), 20);
  EXPECT_EQ(accentLeftOfChain(render(sample(false), {.selected = true})), 0);
}

TEST(ArtworkTile, SelectionRingAndMySelectionToggle) {
  const ArtworkTile tile(lightPalette());
  TileData d = sample();
  const int midY = margin + side / 2;
  EXPECT_TRUE(colorNear(render(d, {.selected = true}), margin + 1, midY, accent, 30)) << "ring";
  EXPECT_TRUE(colorNear(render(d, {}), margin + 1, midY, wall, 2)) << "no ring at rest";

  // Outside My Selection the toggle needs the pointer; inside it always shows.
  EXPECT_TRUE(tile.toggleRect(cell(), d, {}).isEmpty());
  EXPECT_FALSE(tile.toggleRect(cell(), d, {.hover = 1}).isEmpty());
  d.inMySelection = true;
  const QRectF toggle = tile.toggleRect(cell(), d, {});
  ASSERT_FALSE(toggle.isEmpty());
  const double size = ArtworkTile::toggleSize + 2 * ArtworkTile::togglePadding;
  EXPECT_EQ(toggle, QRectF(margin, margin, size, size));
  // The filled disc in the accent, its centre white (the check mark crosses near it).
  const QImage on = render(d, {});
  const QPointF c = toggle.center();
  EXPECT_TRUE(colorNear(on, int(c.x()) - 6, int(c.y()) - 5, accent, 30));
  EXPECT_EQ(ArtworkTile::toggleHelp(true), "Remove from My Selection");
  EXPECT_EQ(ArtworkTile::toggleHelp(false), "Add to My Selection");
}

TEST(ArtworkTile, LoadingAndFailedCellsAreNeverBlank) {
  TileData d = sample(false);
  d.still = {};
  d.aspect = 2.0;
  const QImage loading = render(d, {});
  const int cx = margin + side / 2;
  // The placeholder is twice as wide as high: grey at the centre, wall above it.
  EXPECT_LT(luminance(loading, cx, margin + side / 2), qGray(wall.rgb()) - 5);
  EXPECT_TRUE(colorNear(loading, cx, margin + 30, wall, 2));
  d.failed = true;
  const QImage failed = render(d, {});
  int ink = 0;
  for (int y = margin + 40; y < margin + side - 40; ++y)
    for (int x = margin + 20; x < margin + side - 20; ++x) ink += luminance(failed, x, y) < 150;
  EXPECT_GT(ink, 30) << "the kind symbol and the title";
}

TEST(ArtworkTile, AccessibleTextAndCaptionLines) {
  Artwork a = Artwork::make({.chain = Chain::base, .contract = "0xabc", .tokenId = "7", .title = "Dunes"});
  a.mediaKind = MediaKind::video;
  EXPECT_EQ(ArtworkTile::accessibleText(a), "Dunes, video");
  a.artist = "Ada Example";
  EXPECT_EQ(ArtworkTile::accessibleText(a), "Dunes, Ada Example, video");
  // A work without an artist keeps the second caption line.
  const ArtworkTile tile(lightPalette());
  EXPECT_GT(tile.heightFor(side), side + 8 + 13 + 11);
}

}  // namespace
}  // namespace tavolune
