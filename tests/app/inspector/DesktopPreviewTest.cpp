// The miniature as a widget: spinner, live view, turned stills, and a still
// that never outlives its work.
#include "app/inspector/DesktopPreview.hpp"
#include "app/inspector/LiveArtView.hpp"
#include "tests/app/inspector/InspectorRig.hpp"
#include "tests/app/render/TestImages.hpp"
#include "tests/support/ModelEdits.hpp"

namespace tavolune {
namespace {

class DesktopPreviewTest : public testsupport::InspectorRig {
 protected:
  std::unique_ptr<DesktopPreview> preview(const Artwork& w, bool live = false) {
    auto p = std::make_unique<DesktopPreview>(services(), w, live);
    p->resize(336, 260);
    p->show();
    return p;
  }
};

TEST_F(DesktopPreviewTest, LayersByStateAndTurns) {
  Artwork v = kind("1", MediaKind::video);
  own({v});
  source->hold(*v.imageURI);
  auto p = preview(v);
  EXPECT_TRUE(p->showsSpinner());  // nothing loaded, not live
  EXPECT_EQ(p->liveView(), nullptr);
  p->setLive(true);
  ASSERT_NE(p->liveView(), nullptr);  // live before any still
  EXPECT_FALSE(p->showsSpinner());
  EXPECT_EQ(p->liveView()->geometry(), p->previewGeometry().art.toAlignedRect());

  // Turned: the still, never the live view.
  seedLibrary(*model, [id = v.id](LibraryState& s) { s.rotations[id] = 1; });
  EXPECT_EQ(p->liveView(), nullptr);
  source->release(*v.imageURI);
}

TEST_F(DesktopPreviewTest, AStillNeverOutlivesItsWork) {
  const Artwork a = kind("1", MediaKind::image);
  const Artwork b = kind("2", MediaKind::image);
  const Artwork c = kind("3", MediaKind::image);
  own({a, b, c});
  put(a, 1600, testing::solid(40, 40, Qt::red));
  put(c, 520, testing::solid(20, 20, Qt::green));
  source->setIgnoresStop(true);
  source->serve(*b.imageURI, testing::solid(30, 30, Qt::blue));
  source->hold(*b.imageURI);
  auto p = preview(a);
  EXPECT_EQ(p->still().size(), QSize(40, 40));  // from memory at once

  p->setArtwork(b);  // nothing cached: no still, not a's
  EXPECT_TRUE(p->still().isNull());
  EXPECT_TRUE(p->showsSpinner());
  ASSERT_TRUE(source->waitForFetches(*b.imageURI));
  p->setArtwork(c);  // the small copy at once
  EXPECT_EQ(p->still().size(), QSize(20, 20));
  source->release(*b.imageURI);
  settle();
  EXPECT_EQ(p->still().size(), QSize(20, 20)) << "b's still landed on c";
}

TEST_F(DesktopPreviewTest, Picture) {
  Artwork a = kind("1", MediaKind::image);
  a.aspectRatio = 2.0;
  own({a});
  desktop->setFraming(Framing::passePartout, testsupport::mainKey);
  put(a, 1600, testing::fourCorners(200, 100));
  auto p = preview(a);
  EXPECT_EQ(p->caption(), "Desktop preview · Mat");
  const QImage shot = p->miniature().grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QRectF art = p->previewGeometry().art;
  testing::expectCorners(shot, Rect{art.x(), shot.height() - art.bottom(), art.width(), art.height()},
                         testing::red, testing::green, testing::blue, testing::yellow);
}

}  // namespace
}  // namespace tavolune
