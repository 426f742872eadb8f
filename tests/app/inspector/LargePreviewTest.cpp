// The full-window preview: stepping through the listed works with the
// arrows, stopping at both ends, keys it leaves to the window, My Selection
// and closing.
#include "app/components/ArtworkImage.hpp"
#include "app/inspector/LargePreview.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "tests/app/inspector/InspectorRig.hpp"

#include <QKeyEvent>

namespace tavolune {
namespace {

class LargePreviewTest : public testsupport::InspectorRig {
 protected:
  LargePreviewTest() {
    own({a, b, c});
    state.setListed({a.id, b.id, c.id});
  }
  std::unique_ptr<LargePreview> open(const Artwork& w) {
    state.setBigPreview(w.id);
    auto p = std::make_unique<LargePreview>(
        LargePreview::Services{*model, services().images, [this](const Artwork& s) { shown.push_back(s.id); }}, state,
        w);
    p->resize(800, 600);
    p->show();
    return p;
  }
  // Sends a key press; true when the preview took it.
  static bool press(QWidget& target, int key, const QString& text = {}, bool repeat = false) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text, repeat);
    QCoreApplication::sendEvent(&target, &event);
    return event.isAccepted();
  }

  Artwork a = kind("1", MediaKind::image);
  Artwork b = kind("2", MediaKind::image);
  Artwork c = kind("3", MediaKind::image);
  LibraryWindowState state;
  std::vector<std::string> shown;
};

TEST_F(LargePreviewTest, ArrowsStepThroughTheListedWorks) {
  auto p = open(b);
  EXPECT_TRUE(press(*p, Qt::Key_Right));
  EXPECT_EQ(state.bigPreview(), c.id);
  EXPECT_EQ(state.focused(), c.id);
  EXPECT_EQ(state.selection(), IdSet{c.id});
  p = open(b);
  EXPECT_TRUE(press(*p, Qt::Key_Up));
  EXPECT_EQ(state.bigPreview(), a.id);
  // A held key moves nothing more.
  p = open(b);
  EXPECT_FALSE(press(*p, Qt::Key_Down, {}, true));
  EXPECT_EQ(state.bigPreview(), b.id);
}

TEST_F(LargePreviewTest, BothEndsStopAndUnlistedWorksLetArrowsThrough) {
  auto last = open(c);
  EXPECT_TRUE(press(*last, Qt::Key_Right));
  EXPECT_EQ(state.bigPreview(), c.id);
  auto first = open(a);
  EXPECT_TRUE(press(*first, Qt::Key_Left));
  EXPECT_EQ(state.bigPreview(), a.id);

  state.setListed({b.id, c.id});  // the filter changed
  auto unlisted = open(a);
  EXPECT_FALSE(press(*unlisted, Qt::Key_Right));
  EXPECT_FALSE(press(*unlisted, Qt::Key_Left));
  EXPECT_EQ(state.bigPreview(), a.id);
  state.setListed({});
  EXPECT_FALSE(press(*unlisted, Qt::Key_Down));
  EXPECT_FALSE(press(*unlisted, Qt::Key_X, QStringLiteral("x")));
}

TEST_F(LargePreviewTest, SelectionShowAndClose) {
  auto p = open(a);
  EXPECT_FALSE(p->showsInSelection());
  EXPECT_TRUE(press(*p, Qt::Key_S, QStringLiteral("S")));
  deliverChanges(*model);
  EXPECT_TRUE(model->state().onDesktop.contains(a.id));
  EXPECT_TRUE(p->showsInSelection());
  EXPECT_TRUE(press(*p, Qt::Key_S, QStringLiteral("s")));
  deliverChanges(*model);
  EXPECT_FALSE(model->state().onDesktop.contains(a.id));
  EXPECT_FALSE(p->showsInSelection());
  EXPECT_EQ(libraryChangedCalls(), 2);

  EXPECT_TRUE(press(*p, Qt::Key_Return));
  EXPECT_EQ(shown, std::vector<std::string>{a.id});
  EXPECT_EQ(state.bigPreview(), a.id);  // stays open

  EXPECT_TRUE(press(*p, Qt::Key_Escape));
  EXPECT_FALSE(state.bigPreview());
  p = open(a);
  EXPECT_TRUE(press(*p, Qt::Key_Space));
  deliverChanges(*model);
  EXPECT_FALSE(state.bigPreview());
  // A click on the picture closes it too.
  p = open(a);
  QTest::mouseClick(&p->image(), Qt::LeftButton, {}, p->image().rect().center());
  EXPECT_FALSE(state.bigPreview());
}

}  // namespace
}  // namespace tavolune
