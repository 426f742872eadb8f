#include "app/library/LibraryGrid.hpp"

#include "app/components/ArtworkTile.hpp"
#include "app/inspector/LargePreview.hpp"
#include "app/library/EmptyLibraryView.hpp"
#include "app/library/LibraryDetailPage.hpp"
#include "app/library/LibraryEdits.hpp"
#include "app/library/LibraryTileDelegate.hpp"
#include "app/library/SelectionBar.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/Motion.hpp"
#include "app/style/Theme.hpp"
#include "tests/app/library/GridRig.hpp"
#include "tests/app/render/TestImages.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QThreadPool>
#include <QToolButton>
#include <QToolTip>

#include <cmath>
#include <limits>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::numbered;

class LibraryGridTest : public testsupport::GridRig {};

TEST(LibraryGridColumns, CountFitsTilesAndGapsIntoTheWidth) {
  EXPECT_EQ(LibraryGrid::count(1000, 170), 5);
  EXPECT_EQ(LibraryGrid::count(300, 320), 1);
  EXPECT_EQ(LibraryGrid::count(20, 110), 1);
  EXPECT_EQ(LibraryGrid::count(std::numeric_limits<double>::infinity(), 170), 1);
  EXPECT_EQ(LibraryGrid::count(1000, -22), 1);
}

TEST_F(LibraryGridTest, ColumnsFollowTheWidthAfterItSettlesAndTheTileSizeAtOnce) {
  fill(30);
  auto window = openGrid();
  const int width = view().width();
  ASSERT_GT(width, 0);
  EXPECT_EQ(grid->columnCount(), LibraryGrid::count(width, 170));
  ASSERT_NE(LibraryGrid::count(width, 170), 5);

  QSignalSpy columns(&view(), &LibraryGridView::columnCountChanged);
  QElapsedTimer clock;
  clock.start();
  window->resize(window->width() + 1000 - width, window->height());
  QApplication::processEvents();
  // Only meaningful while the settling delay has not passed (a loaded
  // machine can take longer than that to deliver the resize).
  if (clock.elapsed() < LibraryGrid::reflowDelay.count()) {
    EXPECT_TRUE(columns.isEmpty()) << "no change while the width may still move";
  }
  ASSERT_TRUE(!columns.isEmpty() || columns.wait(2000));
  EXPECT_EQ(columns.size(), 1);
  // A 1000-point grid area at tile size 170 holds 5 columns: the thin
  // scroll bar lies in the trailing margin, clear of the last column.
  ASSERT_EQ(view().width(), 1000);
  EXPECT_EQ(grid->columnCount(), 5);
  const QScrollBar& bar = *view().verticalScrollBar();
  const QRect barInView(bar.mapTo(&view(), QPoint(0, 0)), bar.size());
  const QRect lastColumn = view().cellRect(4).translated(view().viewport()->pos());
  EXPECT_TRUE(bar.isVisible());
  EXPECT_LT(lastColumn.right(), barInView.left());

  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  const QRectF before = view().drawnRect(7);
  window->setTileSize(320);
  EXPECT_EQ(grid->columnCount(), LibraryGrid::count(view().width(), 320));
  // Each tile moves from its old cell to its new one with the spring.
  EXPECT_TRUE(view().isMoving());
  EXPECT_EQ(view().drawnRect(7), before) << "starts where it was";
  const char* shots = std::getenv("TAVOLUNE_GRID_FRAMES");
  for (int frame = 0; shots && frame < 4; ++frame) {
    QTest::qWait(60);
    view().viewport()->grab().save(QString::fromLocal8Bit(shots) + QString::number(frame) + ".png");
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  EXPECT_EQ(view().drawnRect(7), QRectF(view().cellRect(7)));
}

TEST_F(LibraryGridTest, KeptCaptionsFollowTheLibrary) {
  fill(3);
  auto window = openGrid();
  auto* tiles = qobject_cast<LibraryTileDelegate*>(view().itemDelegate());
  ASSERT_NE(tiles, nullptr);
  const QRect cell = view().cellRect(0);
  const QString before = tiles->dataFor(id(1), cell, 1).title;
  EXPECT_EQ(before, QString::fromStdString(model->state().artworks.at(id(1)).title));
  change([](LibraryState& s) {
    s.artworks.at(numbered(1).id).title = "Renamed";
    s.artworks.at(numbered(1).id).artist = "Someone";
  });
  const TileData after = tiles->dataFor(id(1), cell, 1);
  EXPECT_EQ(after.title, "Renamed");
  EXPECT_EQ(after.artist, "Someone");
  change([](LibraryState& s) { s.artworks.at(numbered(1).id).artist.reset(); });
  EXPECT_EQ(tiles->dataFor(id(1), cell, 1).artist, QString());
}

TEST_F(LibraryGridTest, KeyboardScrollingEasesToTheCell) {
  fill(80);
  auto window = openGrid();
  const int last = int(grid->items().size()) - 1;
  ASSERT_GT(view().cellRect(last).bottom(), view().viewport()->height());
  view().ensureVisible(last);
  EXPECT_EQ(view().verticalScrollBar()->value(), 0) << "eases there, not at once";
  ASSERT_TRUE(QTest::qWaitFor([&] { return view().viewport()->rect().contains(view().cellRect(last)); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
}

TEST_F(LibraryGridTest, AReflowMovesTheKeptTilesAndFadesTheRest) {
  fill(12);
  auto window = openGrid();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  view().repaint();
  const QRectF third = view().drawnRect(2);
  view().moveOnNextReset(LibraryGridView::reflowSpring());
  change([](LibraryState& s) { s.hiddenArtworks.insert(numbered(2).id); });
  view().moveOnNextReset(std::nullopt);
  ASSERT_EQ(grid->items()[1], id(3));
  EXPECT_TRUE(view().isMoving());
  EXPECT_EQ(view().drawnRect(1), third) << "the third work starts where it was, second now";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  EXPECT_EQ(view().drawnRect(1), QRectF(view().cellRect(1)));

  // Without the request a new filter's listing shows at once.
  LibraryFilter f = window->filter();
  f.search = "Work 1";
  window->setFilter(f);
  ASSERT_EQ(grid->items().front(), id(1));
  EXPECT_FALSE(view().isMoving());
}

TEST_F(LibraryGridTest, AStillThatArrivesLaterFadesInAndACachedOneShowsAtOnce) {
  fill(2);
  change([](LibraryState& s) {
    for (int n : {1, 2}) s.artworks.at(numbered(n).id).imageURI = "https://media.test/" + std::to_string(n) + ".png";
  });
  auto source = std::make_shared<testsupport::FakeImageSource>();
  ImagePipeline images(source);
  pipeline = &images;
  const QColor colour(30, 140, 90);
  const QImage still = testing::solid(400, 400, colour);
  images.memory().insert(ImagePipeline::cacheKey(model->state().artworks.at(id(1)), ArtworkTile::maxPixel), still,
                         still.sizeInBytes());
  source->serve("https://media.test/2.png", still);
  source->hold("https://media.test/2.png");
  auto window = openGrid();
  auto stillShown = [&](int row) {
    const QPoint centre = view().cellRect(row).topLeft() + QPoint(view().cellWidth() / 2, view().cellWidth() / 2);
    return testing::colorNear(view().viewport()->grab().toImage(), centre.x(), centre.y(), colour, 8);
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  EXPECT_TRUE(stillShown(0)) << "cached: in the first frame, no entrance";
  EXPECT_FALSE(stillShown(1));

  QSignalSpy arrived(&grid->loader(), &ThumbnailLoader::thumbnailChanged);
  source->release("https://media.test/2.png");
  ASSERT_TRUE(arrived.wait(5000));
  EXPECT_TRUE(view().isMoving());
  EXPECT_FALSE(stillShown(1)) << "it fades in";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  EXPECT_TRUE(stillShown(1));
  grid = nullptr;
  window.reset();  // before the pipeline it draws from
}

TEST_F(LibraryGridTest, ClicksWithModifiersOnCellCentres) {
  fill(12);
  auto window = openGrid();
  clickRow(2);
  EXPECT_EQ(state.selection(), selected({3}));
  EXPECT_EQ(state.focused(), id(3));
  EXPECT_TRUE(view().hasFocus());

  clickRow(5, Qt::ControlModifier);  // adds and focuses
  EXPECT_EQ(state.selection(), selected({3, 6}));
  EXPECT_EQ(state.focused(), id(6));
  clickRow(2, Qt::ControlModifier);  // removes, focus stays
  EXPECT_EQ(state.selection(), selected({6}));
  EXPECT_EQ(state.focused(), id(6));

  clickRow(0);
  clickRow(2, Qt::ControlModifier);
  clickRow(6, Qt::ShiftModifier);  // 3...7 join what was selected; 3 stays the anchor
  EXPECT_EQ(state.selection(), selected({1, 3, 4, 5, 6, 7}));
  EXPECT_EQ(state.focused(), id(3));
  clickRow(0, Qt::ShiftModifier);  // backwards from the anchor
  EXPECT_EQ(state.selection(), selected({1, 2, 3, 4, 5, 6, 7}));

  state.setFocused({});
  clickRow(4, Qt::ShiftModifier);  // no anchor: a plain click
  EXPECT_EQ(state.selection(), selected({5}));
  EXPECT_EQ(state.focused(), id(5));

  QTest::mouseDClick(view().viewport(), Qt::LeftButton, {}, centre(1));
  EXPECT_EQ(state.selection(), selected({2}));
  EXPECT_EQ(shown, std::vector<std::string>{id(2)});

  // Between two cells nothing is hit.
  const QPoint gap(view().cellRect(0).right() + LibraryGridView::columnSpacing / 2, centre(0).y());
  EXPECT_EQ(view().rowAt(gap), -1);
}

TEST_F(LibraryGridTest, TheTileToggleChangesMySelectionOnly) {
  fill(3);
  auto window = openGrid();
  auto rest = [&] { return QTest::qWaitFor([&] { return !view().isMoving(); }, 5000); };
  ASSERT_TRUE(rest());
  clickRow(0);
  QTest::mouseMove(view().viewport(), centre(1));
  ASSERT_TRUE(rest());
  const QRect cell = view().cellRect(1);
  const QPoint toggle = cell.topLeft() + QPoint(int(ArtworkTile::togglePadding + 9), int(ArtworkTile::togglePadding + 9));
  const int calls = libraryChangedCalls();
  QSignalSpy repainted(view().model(), &QAbstractItemModel::dataChanged);
  QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, toggle);
  EXPECT_TRUE(model->state().onDesktop.contains(id(2)));
  EXPECT_EQ(model->state().onDesktop.size(), 1u);
  EXPECT_EQ(state.selection(), selected({1})) << "the grid's selection is untouched";
  EXPECT_EQ(libraryChangedCalls(), calls + 1);

  // The plus gives way to the check in the accent, and then nothing runs;
  // where motion is reduced the plus is back at once. Read off the tile at
  // rest, away from the pointer.
  QTest::mouseMove(view().viewport(), QPoint(4, 4));
  auto accentShown = [&] {
    const QPoint onDisc = view().drawnRect(1).topLeft().toPoint() + QPoint(12, 12);  // off the glyph
    return testing::colorNear(view().viewport()->grab().toImage(), onDisc.x(), onDisc.y(), Theme::accent(view().palette()), 16);
  };
  ASSERT_TRUE(!repainted.isEmpty() || repainted.wait(2000));
  EXPECT_FALSE(accentShown()) << "replaced, not swapped";
  ASSERT_TRUE(rest());
  EXPECT_TRUE(accentShown());
  MotionPreferences::shared().setReduced(true);
  repainted.clear();
  LibraryEdits::toggleMySelection(*model, {id(2)});
  ASSERT_TRUE(!repainted.isEmpty() || repainted.wait(2000));
  EXPECT_FALSE(view().isMoving());
  EXPECT_FALSE(accentShown());
  MotionPreferences::shared().setReduced(false);

  // A button: a double click on it presses it twice, and no rule of the
  // tile runs (nothing selected, nothing shown).
  QTest::mouseMove(view().viewport(), toggle);
  ASSERT_TRUE(rest());
  QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, toggle);
  EXPECT_TRUE(model->state().onDesktop.contains(id(2)));
  QTest::mouseDClick(view().viewport(), Qt::LeftButton, {}, toggle);
  QTest::mouseRelease(view().viewport(), Qt::LeftButton, {}, toggle);
  EXPECT_FALSE(model->state().onDesktop.contains(id(2))) << "the second press takes it out again";
  EXPECT_EQ(state.selection(), selected({1}));
  EXPECT_TRUE(shown.empty());
}

// Every key of the grid, each from a prepared selection and focus.
TEST_F(LibraryGridTest, TilesNameTheirWorksAndTheToggleHasItsHelp) {
  fill(2);
  change([](LibraryState& s) {
    s.artworks.at(numbered(2).id).artist = "Ada Example";
    s.onDesktop.insert(numbered(2).id);
  });
  auto window = openGrid();
  const auto& items = grid->items();
  const int one = int(std::find(items.begin(), items.end(), id(1)) - items.begin());
  const int two = int(std::find(items.begin(), items.end(), id(2)) - items.begin());
  ASSERT_EQ(items.size(), 2u);
  const QAbstractItemModel& rows = *view().model();
  EXPECT_EQ(rows.data(rows.index(one, 0), Qt::ToolTipRole).toString(), "Add to My Selection");
  EXPECT_EQ(rows.data(rows.index(two, 0), Qt::ToolTipRole).toString(), "Remove from My Selection");

  // What a screen reader reads for each tile.
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&view());
  ASSERT_TRUE(list);
  EXPECT_EQ(list->role(), QAccessible::List);
  ASSERT_EQ(list->childCount(), 2);
  EXPECT_EQ(list->child(one)->text(QAccessible::Name), "Work 1, image");
  EXPECT_EQ(list->child(two)->text(QAccessible::Name), "Work 2, Ada Example, image");
  EXPECT_EQ(list->indexOfChild(list->child(two)), two);
  EXPECT_EQ(list->child(two)->parent(), list);
  EXPECT_EQ(list->childAt(list->child(two)->rect().center().x(), list->child(two)->rect().center().y()),
            list->child(two));

  // The help shows over the toggle, not elsewhere on the tile.
  const auto helpAt = [&](QPoint at) {
    QHelpEvent help(QEvent::ToolTip, at, view().viewport()->mapToGlobal(at));
    QApplication::sendEvent(view().viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  const QPoint toggle = view().cellRect(two).topLeft() + QPoint(int(ArtworkTile::togglePadding + 9),
                                                                int(ArtworkTile::togglePadding + 9));
  EXPECT_EQ(helpAt(centre(two)), QString());
  EXPECT_EQ(helpAt(toggle), "Remove from My Selection");
  helpAt(centre(two));
  EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000)) << "gone off the toggle";
}

TEST_F(LibraryGridTest, KeysAsOneTable) {
  fill(12);
  change([](LibraryState& s) { s.hiddenArtworks.insert(numbered(12).id); });
  auto window = openGrid();
  const int columns = grid->columnCount();
  ASSERT_GE(columns, 2);
  ASSERT_LT(columns, 11);

  struct Case {
    const char* name;
    std::optional<int> focus;
    std::vector<int> selection;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool handled;
    std::optional<std::vector<int>> wantSelection;  // unchanged when absent
    std::optional<std::optional<int>> wantFocus;
  };
  using V = std::vector<int>;
  const std::vector<Case> cases = {
      {"Right without focus", {}, {}, Qt::Key_Right, {}, {}, true, V{1}, 1},
      {"Left without focus", {}, {}, Qt::Key_Left, {}, {}, true, V{1}, 1},
      {"Up without focus", {}, {}, Qt::Key_Up, {}, {}, true, V{1}, 1},
      {"Down without focus", {}, {}, Qt::Key_Down, {}, {}, true, V{columns}, columns},
      {"Left on the first", 1, {1}, Qt::Key_Left, {}, {}, true, V{1}, 1},
      {"Right on the last", 11, {11, 3}, Qt::Key_Right, {}, {}, true, V{11}, 11},
      {"Right", 4, {4}, Qt::Key_Right, {}, {}, true, V{5}, 5},
      {"Shift+Right acts as Right", 4, {4}, Qt::Key_Right, Qt::ShiftModifier, {}, true, V{5}, 5},
      {"Up from the first row", 2, {2}, Qt::Key_Up, {}, {}, true, V{1}, 1},
      {"Down", 1, {1}, Qt::Key_Down, {}, {}, true, V{1 + columns}, 1 + columns},
      {"Down with nothing below", 11 - columns + 1, {}, Qt::Key_Down, {}, {}, true, V{11}, 11},
      {"Space without focus", {}, {}, Qt::Key_Space, {}, " ", true, V{1}, 1},
      {"Return without focus", {}, {}, Qt::Key_Return, {}, {}, false, {}, {}},
      {"Delete without selection", 3, {}, Qt::Key_Delete, {}, {}, false, {}, {}},
      {"s without selection", 3, {}, Qt::Key_S, {}, "s", false, {}, {}},
      {"Shift+S", 3, {3}, Qt::Key_S, Qt::ShiftModifier, "S", false, {}, {}},
      {"Ctrl+S", 3, {3}, Qt::Key_S, Qt::ControlModifier, "\x13", false, {}, {}},
      {"Alt+S", 3, {3}, Qt::Key_S, Qt::AltModifier, "s", false, {}, {}},
      {"Ctrl+A keeps the focus", 3, {3}, Qt::Key_A, Qt::ControlModifier, "\x01", true,
       V{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 3},
      {"Escape clears", 3, {3, 4}, Qt::Key_Escape, {}, {}, true, V{}, std::optional<int>{}},
      {"another key", 3, {3}, Qt::Key_X, {}, "x", false, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IdSet sel;
    for (int n : c.selection) sel.insert(id(n));
    state.setSelection(sel);
    state.setFocused(c.focus ? std::optional<std::string>(id(*c.focus)) : std::nullopt);
    QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, c.text);
    EXPECT_EQ(grid->handleKey(&press), c.handled);
    IdSet wantSel = sel;
    if (c.wantSelection) {
      wantSel = {};
      for (int n : *c.wantSelection) wantSel.insert(id(n));
    }
    EXPECT_EQ(state.selection(), wantSel);
    if (c.wantFocus) {
      EXPECT_EQ(state.focused(), *c.wantFocus ? std::optional<std::string>(id(**c.wantFocus)) : std::nullopt);
    }
  }
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(model->state().onDesktop.empty());

  // Space with a focus opens the preview; then every key is the preview's.
  state.setFocused(id(4));
  key(Qt::Key_Space, {}, " ");
  EXPECT_EQ(state.bigPreview(), id(4));
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, {});
  EXPECT_FALSE(grid->handleKey(&right));
  state.setBigPreview({});

  // Return shows the focused work; a focus the library lost is ignored.
  key(Qt::Key_Return);
  EXPECT_EQ(shown, std::vector<std::string>{id(4)});
  state.setFocused("ethereum:0xgone:1");
  QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, {});
  EXPECT_FALSE(grid->handleKey(&ret));

  // "s" adds a partly included selection, then removes it; held keys move once.
  change([](LibraryState& s) { s.onDesktop.insert(numbered(2).id); });
  state.setSelection(selected({2, 3}));
  key(Qt::Key_S, {}, "s");
  EXPECT_EQ(asIds(model->state().onDesktop), selected({2, 3}));
  key(Qt::Key_S, {}, "s");
  EXPECT_TRUE(model->state().onDesktop.empty());
  state.setFocused(id(1));
  QKeyEvent held(QEvent::KeyPress, Qt::Key_Right, {}, QString(), true);
  QApplication::sendEvent(&view(), &held);
  EXPECT_EQ(state.focused(), id(1));
}

TEST_F(LibraryGridTest, DeleteHidesAndUnhidesTheSelection) {
  fill(6);
  auto window = openGrid();
  // A visible selection: hidden, and the next work takes the selection.
  state.setSelection(selected({2}));
  state.setFocused(id(2));
  key(Qt::Key_Delete);
  EXPECT_TRUE(model->state().hiddenArtworks.contains(id(2)));
  EXPECT_EQ(state.selection(), selected({3}));
  EXPECT_EQ(state.focused(), id(3));
  EXPECT_EQ(grid->items().size(), 5u);

  // The last listed work: nothing follows.
  state.setSelection(selected({6}));
  state.setFocused(id(6));
  key(Qt::Key_Backspace);
  EXPECT_TRUE(state.selection().empty());
  EXPECT_FALSE(state.focused().has_value());

  // In the hidden works every selected work is hidden: unhidden, cleared.
  this->state.setSidebar(SidebarItem::hidden());
  ASSERT_EQ(grid->items().size(), 2u);
  state.setSelection(selected({2, 6}));
  state.setFocused(id(2));
  key(Qt::Key_Delete);
  EXPECT_TRUE(model->state().hiddenArtworks.empty());
  EXPECT_TRUE(state.selection().empty());

  // A mixed selection is hidden.
  change([](LibraryState& s) { s.hiddenArtworks.insert(numbered(1).id); });
  this->state.setSidebar(SidebarItem::all());
  state.setSelection(selected({1, 4}));
  ASSERT_TRUE(grid->handleKey(std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier).get()));
  EXPECT_TRUE(model->state().hiddenArtworks.contains(id(1)));
  EXPECT_TRUE(model->state().hiddenArtworks.contains(id(4)));
}

TEST_F(LibraryGridTest, DeleteGoesOnWithTheWorkAfterTheFocusedOneAsListedBefore) {
  fill(8);
  auto window = openGrid();
  clickRow(1);
  clickRow(4, Qt::ShiftModifier);  // works 2...5, anchored on 2
  key(Qt::Key_Delete);
  EXPECT_EQ(asIds(model->state().hiddenArtworks), selected({2, 3, 4, 5}));
  EXPECT_EQ(state.selection(), selected({3})) << "the item after the focused one, hidden with it or not";
  EXPECT_EQ(state.focused(), id(3));

  // Anchored on the last work of the list: nothing follows.
  ASSERT_EQ(grid->items(), (std::vector<std::string>{id(1), id(6), id(7), id(8)}));
  clickRow(3);
  clickRow(2, Qt::ShiftModifier);
  key(Qt::Key_Delete);
  EXPECT_TRUE(state.selection().empty());
  EXPECT_FALSE(state.focused().has_value());
}

TEST_F(LibraryGridTest, HidingActsOnlyOnWorksTheLibraryHolds) {
  fill(3);
  auto window = openGrid();
  const std::string gone = "ethereum:0xc0ffee:99";  // removed by a sync
  state.setSelection({gone, id(1)});
  state.setFocused(id(1));
  key(Qt::Key_Delete);
  EXPECT_EQ(asIds(model->state().hiddenArtworks), selected({1}));

  // Only the lost work selected: nothing is stored, the selection ends.
  const int calls = libraryChangedCalls();
  state.setSelection({gone});
  key(Qt::Key_Delete);
  EXPECT_FALSE(model->state().hiddenArtworks.contains(gone));
  EXPECT_TRUE(state.selection().empty());
  EXPECT_EQ(libraryChangedCalls(), calls);

  // A lost work beside a hidden one counts as visible: Delete hides.
  state.setSelection({gone, id(1)});
  key(Qt::Key_Delete);
  EXPECT_EQ(asIds(model->state().hiddenArtworks), selected({1}));

  // The bar's button as well.
  state.setSelection({gone, id(2)});
  grid->selectionBar().hideButton().click();
  EXPECT_EQ(asIds(model->state().hiddenArtworks), selected({1, 2}));
}

TEST_F(LibraryGridTest, RepeatedIdsAreListedOnceAndTheArrowsGoOn) {
  fill(4);
  const Uuid e = Uuid::random();
  change([e](LibraryState& s) {
    s.exhibitions.push_back(
        Exhibition{e, "Twice", {numbered(2).id, numbered(1).id, numbered(2).id, numbered(3).id, numbered(1).id}});
  });
  auto window = openGrid();
  QAbstractItemModelTester tester(view().model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  state.setSidebar(SidebarItem::exhibition(e));
  EXPECT_EQ(view().model()->rowCount(), 3);
  EXPECT_EQ(grid->items(), (std::vector<std::string>{id(2), id(1), id(3)}));
  EXPECT_EQ(state.listed(), grid->items());
  key(Qt::Key_Right);
  key(Qt::Key_Right);
  key(Qt::Key_Right);
  EXPECT_EQ(state.focused(), id(3));
  key(Qt::Key_Left);
  EXPECT_EQ(state.focused(), id(1));
}

TEST_F(LibraryGridTest, OnlyTilesOfAnExhibitionTakeDropsAndTheReorderReflows) {
  fill(3);
  const Uuid e = Uuid::random();
  change([e](LibraryState& s) { s.exhibitions.push_back(Exhibition{e, "E", {numbered(1).id, numbered(2).id}}); });
  auto window = openGrid();
  QMimeData text;
  text.setText(QString::fromStdString(id(2)));
  const auto ours = ArtworkDrag::encode({id(2)});
  // Entered, moved to the point and dropped there, as a drag goes.
  auto dropAt = [&](const QPoint& at, const QMimeData& mime) {
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(view().viewport(), &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(view().viewport(), &move);
    QDropEvent drop(QPointF(at), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(view().viewport(), &drop);
    EXPECT_EQ(move.isAccepted(), drop.isAccepted()) << "the cursor told the truth";
    return drop.isAccepted();
  };
  EXPECT_FALSE(dropAt(centre(0), *ours)) << "the collection takes no drops";
  state.setSidebar(SidebarItem::exhibition(e));
  ASSERT_GE(view().columnCount(), 2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  const QRect first = view().cellRect(0);
  const int pitchX = view().cellRect(1).x() - first.x();
  const int columns = view().columnCount();
  const QPoint pastTheLast = first.center() + QPoint(2 % columns * pitchX, 2 / columns * (first.height() + LibraryGridView::rowSpacing));
  const struct {
    const char* name;
    QPoint at;
    const QMimeData& mime;
    bool taken;
  } rows[] = {
      {"text from elsewhere", centre(0), text, false},
      {"a gap between tiles", QPoint(first.right() + LibraryGridView::columnSpacing / 2, first.center().y()), *ours, false},
      {"past the last tile", pastTheLast, *ours, false},
      {"a tile", centre(0), *ours, true},
  };
  for (const auto& row : rows) {
    drops.clear();
    EXPECT_EQ(dropAt(row.at, row.mime), row.taken) << row.name;
    EXPECT_EQ(drops.size(), row.taken ? 1u : 0u) << row.name;
  }
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(std::get<0>(drops[0]), e);
  EXPECT_EQ(std::get<1>(drops[0]), std::vector<std::string>{id(2)});
  EXPECT_EQ(std::get<2>(drops[0]), id(1));

  // The model reports the reorder after the drop's turn: the tiles then
  // move to their new cells with the spring, from where they were.
  const QRectF secondWas = view().drawnRect(1);
  deliverChanges(*model);
  ASSERT_EQ(grid->items(), (std::vector<std::string>{id(2), id(1)}));
  EXPECT_TRUE(view().isMoving());
  EXPECT_EQ(view().drawnRect(0), secondWas) << "work 2 starts where it was";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  // A reorder made elsewhere shows at once: the drop's request is spent.
  model->editExhibitions(AppModel::ExhibitionEdit::move({id(1)}, e, id(2)));
  deliverChanges(*model);
  ASSERT_EQ(grid->items(), (std::vector<std::string>{id(1), id(2)}));
  EXPECT_FALSE(view().isMoving());
  // A report of something else that comes first leaves the request to the
  // reorder's own.
  ASSERT_TRUE(dropAt(centre(0), *ours));
  LibraryChange settings;
  settings.settings = true;
  emit model->libraryChanged(settings);
  deliverChanges(*model);
  ASSERT_EQ(grid->items(), (std::vector<std::string>{id(2), id(1)}));
  EXPECT_TRUE(view().isMoving()) << "the reorder after another report";
}

// Keys as the window gets them, shortcuts included: the preview's beat the
// window's while it shows, and Select All works window-wide but in a field.
TEST_F(LibraryGridTest, WindowKeysGoToThePreviewFirstAndSelectAllIsWindowWide) {
  fill(4);
  LibraryWindow::Hosted hosted;
  hosted.largePreview = [this](LibraryWindow& w, const Artwork& a) -> QWidget* {
    return new LargePreview({*model, {model->media().images(), *QThreadPool::globalInstance(), {}}, {}},
                            w.windowState(), a);
  };
  auto window = openGrid(std::move(hosted));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const auto press = [&](int key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(window->windowHandle(), Qt::Key(key), modifiers);
  };

  clickRow(0);
  press(Qt::Key_Space);
  ASSERT_EQ(state.bigPreview(), id(1));
  ASSERT_TRUE(window->largePreview());
  // With Ctrl held the press's text is a control character: the key decides.
  QKeyEvent ctrlS(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier, QStringLiteral("\x13"));
  QApplication::sendEvent(window->largePreview(), &ctrlS);
  EXPECT_TRUE(model->state().onDesktop.contains(id(1))) << "Ctrl+S in the preview";
  press(Qt::Key_Escape);
  EXPECT_FALSE(state.bigPreview()) << "one Escape closes the preview";
  EXPECT_EQ(state.selection(), selected({1})) << "and leaves the selection";
  EXPECT_FALSE(grid->selectionBar().clearButton().isDown());

  // Focus away from the grid (a click in the sidebar): Ctrl+A still selects all.
  view().clearFocus();
  ASSERT_NE(QApplication::focusWidget(), &view());
  press(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(state.selection(), selected({1, 2, 3, 4}));
  EXPECT_EQ(state.focused(), id(1));

  // In the search field Ctrl+A selects the field's text.
  QLineEdit& search = window->detailPage()->searchField();
  search.setFocus();
  search.setText(QStringLiteral("Work"));
  state.setSelection({});
  press(Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(state.selection().empty());
  EXPECT_EQ(search.selectedText(), QStringLiteral("Work"));
}

TEST_F(LibraryGridTest, TheBarComesWithASelectionAndTheEmptyViewWithNoWorks) {
  auto window = openGrid();
  EXPECT_TRUE(grid->showsEmptyView());
  EXPECT_EQ(grid->emptyView().current(), EmptyLibraryView::Situation::noWallet);
  fill(2);
  EXPECT_FALSE(grid->showsEmptyView());
  EXPECT_TRUE(grid->selectionBar().isHidden());
  clickRow(0);
  EXPECT_FALSE(grid->selectionBar().isHidden());
  EXPECT_FALSE(grid->findChildren<ScaleFadeEffect*>().isEmpty()) << "the bar slides up fading in";
  EXPECT_LT(view().bottomMarginNow(), LibraryGridView::bottomMarginWithBar) << "the padding grows with it";
  const char* shots = std::getenv("TAVOLUNE_BAR_FRAMES");
  for (int frame = 0; shots && frame < 4; ++frame) {
    grid->grab().save(QString::fromLocal8Bit(shots) + QString::number(frame) + ".png");
    QTest::qWait(70);
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  EXPECT_EQ(view().bottomMarginNow(), LibraryGridView::bottomMarginWithBar);
  EXPECT_GT(view().contentHeight(), 0);
  // Escape is the bar's clear button, which clicks a moment later.
  QSignalSpy cleared(&state, &LibraryWindowState::selectionChanged);
  key(Qt::Key_Escape);
  ASSERT_TRUE(cleared.wait(2000));
  EXPECT_TRUE(state.selection().empty());
  EXPECT_TRUE(grid->selectionBar().isHidden()) << "a copy of it slides away";
  EXPECT_TRUE(view().isMoving());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  EXPECT_EQ(view().bottomMarginNow(), LibraryGridView::bottomMargin);

  LibraryFilter f = window->filter();
  f.search = "nothing like it";
  window->setFilter(f);
  EXPECT_TRUE(grid->showsEmptyView());
  EXPECT_EQ(grid->emptyView().current(), EmptyLibraryView::Situation::noResults);
  EXPECT_EQ(grid->emptyView().title(), QStringLiteral("No Results for \u201Cnothing like it\u201D"));
}

}  // namespace
}  // namespace tavolune

namespace tavolune {
namespace {

TEST_F(LibraryGridTest, MatchesAReferencePicture) {
  fill(7);
  change([](LibraryState& s) {
    s.onDesktop.insert(numbered(3).id);
    s.artworks.at(numbered(5).id).artist = "Ada Example";
  });
  // Stills already decoded: the first frame shows them.
  for (int n = 1; n <= 6; ++n) {
    const Artwork& a = model->state().artworks.at(id(n));
    const QImage still = testing::solid(n % 2 ? 520 : 360, n % 3 ? 360 : 520, QColor::fromHsv(n * 50, 150, 210));
    model->media().images().memory().insert(ImagePipeline::cacheKey(a, ArtworkTile::maxPixel), still,
                                            still.sizeInBytes());
  }
  auto window = openGrid();
  window->resize(1000, 640);
  QSignalSpy columns(&view(), &LibraryGridView::columnCountChanged);
  ASSERT_TRUE(columns.wait(2000));
  state.setSelection(selected({2}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view().isMoving(); }, 5000));
  const QImage frame = view().viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  testing::expectReference(frame, "library-grid", 8, 60);
}

}  // namespace
}  // namespace tavolune
