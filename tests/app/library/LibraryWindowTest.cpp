#include "app/library/ExhibitionActions.hpp"
#include "app/library/ExhibitionsSection.hpp"
#include "app/library/LibraryDetailPage.hpp"
#include "app/library/LibraryPages.hpp"
#include "app/library/LibrarySidebar.hpp"
#include "app/library/SidebarRow.hpp"
#include "app/components/PlainText.hpp"
#include "app/library/WalletsPage.hpp"
#include "app/model/WindowManager.hpp"
#include "app/style/Motion.hpp"
#include "tests/app/library/LibraryRig.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <limits>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::work;

LibraryFilter scoped(LibraryScope scope) {
  LibraryFilter f;
  f.scope = scope;
  return f;
}

class LibraryWindowTest : public testsupport::LibraryRig {
 protected:
  // Two collector works and a hidden one, one artist work; one work in My
  // Selection, one shown recently, one exhibition.
  void fill() {
    collector = testsupport::wallet();
    collector.label = "Ada <b>&</b> Co";
    artist = testsupport::wallet(WalletRole::artist);
    artist.label = "Studio";
    exhibition = Uuid::random();
    // By value: the model replays its edits on its writer until it is gone.
    change([collector = collector, artist = artist, exhibition = exhibition](LibraryState& s) {
      hold(s, collector, {work("1", "Dawn", MediaKind::generative, "Vera"), work("2", "Noon"), work("3", "Dusk")});
      hold(s, artist, {work("9", "Mine")});
      s.hiddenArtworks.insert(work("3", "").id);
      s.onDesktop.insert(work("1", "").id);
      s.recentlyShown.push_back(work("2", "").id);
      s.exhibitions.push_back(Exhibition{exhibition, "Summer", {work("2", "").id}});
    });
  }

  Wallet collector;
  Wallet artist;
  Uuid exhibition;
};

TEST_F(LibraryWindowTest, SidebarRowsOfAnEmptyAndAFullLibrary) {
  auto window = openWindow();
  LibrarySidebar& sidebar = window->sidebar();
  ASSERT_NE(sidebar.row(SidebarItem::all()), nullptr);
  EXPECT_EQ(sidebar.row(SidebarItem::all())->count(), 0u);
  ASSERT_NE(sidebar.row(SidebarItem::onDesktop()), nullptr);
  EXPECT_FALSE(sidebar.row(SidebarItem::onDesktop())->count().has_value());
  EXPECT_NE(sidebar.row(SidebarItem::hidden()), nullptr);
  EXPECT_EQ(sidebar.row(SidebarItem::works()), nullptr);
  EXPECT_EQ(sidebar.row(SidebarItem::recent()), nullptr);
  EXPECT_NE(sidebar.row(SidebarItem::manageWallets()), nullptr);
  EXPECT_EQ(sidebar.settingsButton().toolTip(), "Settings (Ctrl+,)");
  sidebar.settingsButton().click();
  EXPECT_EQ(settingsOpened, 1);

  fill();  // the sidebar follows the model's change
  const LibraryState& s = model->state();
  EXPECT_EQ(sidebar.row(SidebarItem::all())->count(), s.count(scoped(LibraryScope::collection)));
  ASSERT_NE(sidebar.row(SidebarItem::works()), nullptr);
  EXPECT_EQ(sidebar.row(SidebarItem::works())->count(), 1u);
  EXPECT_EQ(sidebar.row(SidebarItem::onDesktop())->count(), s.desktopPoolCount());
  EXPECT_NE(sidebar.row(SidebarItem::recent()), nullptr);
  for (const Wallet& w : {collector, artist}) {
    SidebarRow* row = sidebar.row(SidebarItem::wallet(w.id));
    ASSERT_NE(row, nullptr) << w.label;
    LibraryFilter byWallet;
    byWallet.walletID = w.id;
    EXPECT_EQ(row->count(), s.count(byWallet)) << w.label;
    EXPECT_EQ(row->title().toStdString(), w.label);
  }
  // The label is shown as written, in the row and in its tool tip.
  const QString tip = sidebar.row(SidebarItem::wallet(collector.id))->toolTip();
  EXPECT_TRUE(tip.contains("Ada &lt;b&gt;&amp;&lt;/b&gt; Co")) << tip.toStdString();
  EXPECT_TRUE(tip.contains("Artworks owned by")) << tip.toStdString();
  EXPECT_TRUE(sidebar.row(SidebarItem::wallet(artist.id))->toolTip().contains("Artworks created by"));

  // Clicking a row steers the window state; the row kept for a wallet is the same widget.
  SidebarRow* before = sidebar.row(SidebarItem::wallet(artist.id));
  QTest::mouseClick(before, Qt::LeftButton);
  EXPECT_EQ(state.sidebar(), SidebarItem::wallet(artist.id));
  change([](LibraryState& s) { s.wallets.erase(s.wallets.begin()); });  // the collector goes
  EXPECT_EQ(sidebar.row(SidebarItem::wallet(artist.id)), before);
  EXPECT_EQ(sidebar.row(SidebarItem::wallet(collector.id)), nullptr);
  EXPECT_TRUE(before->isSelected());
}

TEST_F(LibraryWindowTest, SidebarRowsAreAListForTheKeyboardAndScreenReaders) {
  fill();
  const ExhibitionActions actions = ExhibitionActions::make(*model, {}, {});
  LibraryWindow::Hosted hosted;
  hosted.exhibitionsSection = [&](LibraryWindow& w) -> QWidget* { return new ExhibitionsSection(w, actions); };
  auto window = openWindow(hosted);
  LibrarySidebar& sidebar = window->sidebar();
  SidebarRow* collection = sidebar.row(SidebarItem::all());
  ASSERT_NE(collection, nullptr);
  QAccessibleInterface* item = QAccessible::queryAccessibleInterface(collection);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->role(), QAccessible::ListItem);
  EXPECT_EQ(item->text(QAccessible::Name), "Collection, 2 artworks");
  EXPECT_EQ(item->parent()->role(), QAccessible::List);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(sidebar.row(SidebarItem::hidden()))->text(QAccessible::Name),
            "Hidden Artworks");

  // Down walks the rows on show, exhibitions and wallets among them; Return opens one.
  collection->setFocus();
  const auto focused = [&] { return qobject_cast<SidebarRow*>(window->focusWidget()); };
  const auto press = [&](Qt::Key key) { QTest::keyClick(focused(), key); };
  ASSERT_EQ(focused(), collection);
  press(Qt::Key_Up);
  EXPECT_EQ(focused(), collection) << "the first row stays";
  std::vector<QString> walked;
  for (int i = 0; i < 6; ++i) {
    press(Qt::Key_Down);
    walked.push_back(focused() ? focused()->title() : QStringLiteral("?"));
  }
  EXPECT_EQ(walked, (std::vector<QString>{"My Works", "My Selection", "Recently Shown", "Hidden Artworks", "Summer",
                                          "Ada <b>&</b> Co"}));
  press(Qt::Key_Return);
  EXPECT_EQ(state.sidebar(), SidebarItem::wallet(collector.id));
  press(Qt::Key_Up);
  press(Qt::Key_Space);
  EXPECT_EQ(state.sidebar(), SidebarItem::exhibition(exhibition));
}

TEST_F(LibraryWindowTest, OpensOnTheSteeredItemKeepingSelectionAndFocus) {
  fill();
  const std::string dusk = work("3", "").id;
  // Steered before the window exists, as the popover and showLibrary(selecting:) do.
  state.setSidebar(SidebarItem::hidden());
  state.setSelection({dusk});
  state.setFocused(dusk);
  state.setBigPreview(std::string("gone"));

  auto window = openWindow();
  EXPECT_TRUE(window->filter().hiddenOnly);
  EXPECT_FALSE(window->filter().scope.has_value());
  ASSERT_NE(window->detailPage(), nullptr);
  EXPECT_EQ(window->detailPage()->title(), "Hidden Artworks");
  LibraryFilter hidden;
  hidden.hiddenOnly = true;
  EXPECT_EQ(window->detailPage()->subtitle(), LibraryPages::artworkCount(model->state().count(hidden)));
  EXPECT_EQ(state.selection(), IdSet{dusk});
  EXPECT_EQ(state.focused(), dusk);
  EXPECT_FALSE(state.bigPreview().has_value());  // named no work of the library
  EXPECT_TRUE(window->showInspector());          // a focused work opens it when the window appears
  EXPECT_FALSE(window->detailPage()->inspectorOpening().isMoving()) << "open at once, not sliding";
  EXPECT_TRUE(window->detailPage()->inspectorColumn().isVisible());

  // Reopened on a wallet: the wallet's works only.
  window.reset();
  state.setSidebar(SidebarItem::wallet(collector.id));
  window = openWindow();
  EXPECT_EQ(window->filter().walletID, collector.id);
  EXPECT_EQ(window->detailPage()->title().toStdString(), collector.label);
}

TEST_F(LibraryWindowTest, TitlesAndSubtitles) {
  fill();
  auto window = openWindow();
  const LibraryState& s = model->state();
  struct Row {
    const char* name;
    std::optional<SidebarItem> item;
    QString title;
  };
  const Row rows[] = {
      {"none", std::nullopt, "Collection"},
      {"all", SidebarItem::all(), "Collection"},
      {"works", SidebarItem::works(), "My Works"},
      {"selection", SidebarItem::onDesktop(), "My Selection"},
      {"recent", SidebarItem::recent(), "Recently Shown"},
      {"hidden", SidebarItem::hidden(), "Hidden Artworks"},
      {"wallet", SidebarItem::wallet(collector.id), QString::fromStdString(collector.label)},
      {"removed wallet", SidebarItem::wallet(Uuid::random()), "Wallet"},
      {"exhibition", SidebarItem::exhibition(exhibition), "Summer"},
      {"deleted exhibition", SidebarItem::exhibition(Uuid::random()), "Exhibition"},
  };
  for (const auto& row : rows) {
    state.setSidebar(row.item);
    ASSERT_NE(window->detailPage(), nullptr) << row.name;
    EXPECT_EQ(window->detailPage()->title(), row.title) << row.name;
    const std::size_t n = s.count(window->filter());
    EXPECT_EQ(window->detailPage()->subtitle(),
              QString::number(n) + (n == 1 ? " artwork" : " artworks"))
        << row.name;
    EXPECT_EQ(window->emptyHint().has_value(), row.item == SidebarItem::onDesktop()) << row.name;
  }
  EXPECT_EQ(LibraryPages::artworkCount(1), "1 artwork");
  EXPECT_EQ(LibraryPages::artworkCount(0), "0 artworks");
  EXPECT_EQ(LibraryPages::artworkCount(20000), "20000 artworks");

  // An edit shows at once: the window's cached listing follows the library.
  state.setSidebar(SidebarItem::all());
  change([](LibraryState& s) { s.hiddenArtworks.insert(work("2", "").id); });
  EXPECT_EQ(window->detailPage()->subtitle(), LibraryPages::artworkCount(s.count(window->filter())));
  EXPECT_EQ(window->sidebar().row(SidebarItem::all())->count(), s.count(window->filter()));

  // Any sync, on any page.
  holds(testsupport::tezosAddress('s'), {"1"});
  latencyMs = 300;
  const Wallet tez = addTezos('s');
  QSignalSpy syncing(&model->walletSync(), &WalletSync::syncingWalletsChanged);
  model->walletSync().sync(tez.id);
  EXPECT_EQ(window->detailPage()->title(), "Collection");
  EXPECT_EQ(window->detailPage()->subtitle(), "Syncing\u2026");
  while (!model->walletSync().syncingWallets().empty()) ASSERT_TRUE(syncing.wait(15000));
  EXPECT_EQ(window->detailPage()->subtitle(), LibraryPages::artworkCount(s.count(window->filter())));
}

TEST_F(LibraryWindowTest, ASidebarChangeRewritesTheFilterAndClearsTheSelection) {
  fill();
  auto window = openWindow();
  window->detailPage()->searchField().setText("");
  QTest::keyClicks(&window->detailPage()->searchField(), "noon");
  EXPECT_EQ(window->filter().search, "noon");
  state.setSelection({work("2", "").id});
  state.setFocused(work("2", "").id);
  state.setBigPreview(work("2", "").id);

  state.setSidebar(SidebarItem::wallet(collector.id));
  EXPECT_EQ(window->filter().walletID, collector.id);
  EXPECT_EQ(window->filter().search, "noon");
  EXPECT_FALSE(window->filter().scope.has_value());
  EXPECT_TRUE(state.selection().empty());
  EXPECT_FALSE(state.focused().has_value());
  EXPECT_FALSE(state.bigPreview().has_value());
  EXPECT_EQ(window->detailPage()->subtitle(), "1 artwork");

  state.setSidebar(SidebarItem::hidden());
  EXPECT_FALSE(window->filter().walletID.has_value());
  EXPECT_TRUE(window->filter().hiddenOnly);
  EXPECT_EQ(window->filter().search, "noon");
  EXPECT_EQ(window->detailPage()->searchField().text(), "noon");

  // The wallets page has no search or inspector; the grid page comes back with its search.
  state.setSidebar(SidebarItem::manageWallets());
  EXPECT_NE(window->walletsPage(), nullptr);
  EXPECT_TRUE(window->walletsPage()->isVisible());
  EXPECT_FALSE(window->detailPage()->isVisible());
  state.setSidebar(SidebarItem::all());
  EXPECT_EQ(window->walletsPage(), nullptr);
  EXPECT_EQ(window->filter().scope, LibraryScope::collection);
}

TEST_F(LibraryWindowTest, APreviewStepsInPlaceAndClosesWhenItsWorkLeaves) {
  fill();
  int previews = 0;
  LibraryWindow::Hosted hosted;
  hosted.largePreview = [&previews](LibraryWindow&, const Artwork& a) {
    ++previews;
    return new QLabel(QString::fromStdString(a.title));
  };
  auto window = openWindow(std::move(hosted));
  state.setBigPreview(work("9", "").id);
  ASSERT_NE(window->largePreview(), nullptr);
  EXPECT_EQ(window->largePreview()->geometry(), window->rect());
  // It comes fading in and growing from 0.96.
  const auto* entering = qobject_cast<ScaleFadeEffect*>(window->largePreview()->graphicsEffect());
  ASSERT_NE(entering, nullptr);
  EXPECT_NEAR(entering->scale(), 0.96, 1e-6);
  // A step to another work replaces it in place: nothing fades or scales.
  state.setBigPreview(work("1", "").id);
  ASSERT_EQ(previews, 2);
  EXPECT_EQ(window->largePreview()->graphicsEffect(), nullptr);
  EXPECT_EQ(window->findChildren<ScaleFadeEffect*>().size(), 0) << "no still copy of the last one";
  state.setBigPreview(work("9", "").id);

  change([id = artist.id](LibraryState& s) { s.removeWallet(id); });  // the work goes with its wallet
  EXPECT_FALSE(state.bigPreview().has_value());
  EXPECT_EQ(window->largePreview(), nullptr);
  EXPECT_EQ(previews, 3);
  EXPECT_FALSE(window->findChildren<ScaleFadeEffect*>().isEmpty()) << "a still copy leaves fading";
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChildren<ScaleFadeEffect*>().isEmpty(); }, 5000));
}

TEST_F(LibraryWindowTest, FocusOpensTheInspectorAndPrimaryActionShowsTheWork) {
  fill();
  std::vector<std::string> inspected;
  LibraryWindow::Hosted hosted;
  hosted.inspector = [&inspected](LibraryWindow&, const Artwork& a) {
    inspected.push_back(a.id);
    return new QLabel(QString::fromStdString(a.title));
  };
  auto window = openWindow(std::move(hosted));
  LibraryDetailPage& page = *window->detailPage();
  EXPECT_FALSE(window->showInspector());
  EXPECT_FALSE(page.inspectorColumn().isVisible());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

  struct Widest : QObject {
    int seen = 0;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::Resize) seen = std::max(seen, static_cast<QWidget*>(o)->width());
      return false;
    }
  } widest;
  page.inspectorColumn().installEventFilter(&widest);
  page.detailsButton().click();
  EXPECT_EQ(widest.seen, 0) << "from no width, not whole until the spring's first step";
  EXPECT_TRUE(page.inspectorColumn().isVisible());
  ASSERT_NE(page.inspectorPlaceholder(), nullptr);
  EXPECT_EQ(page.inspectorPlaceholder()->text(), "Select an Artwork");
  EXPECT_TRUE(page.inspectorOpening().isMoving()) << "the column slides open";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !page.inspectorOpening().isMoving(); }, 5000));
  QApplication::processEvents();
  EXPECT_GE(page.inspectorColumn().width(), LibraryDetailPage::inspectorMinWidth);
  EXPECT_LE(page.inspectorColumn().width(), LibraryDetailPage::inspectorMaxWidth);
  page.detailsButton().click();
  EXPECT_FALSE(window->showInspector());

  state.setFocused(work("1", "").id);
  EXPECT_TRUE(window->showInspector());
  EXPECT_EQ(inspected, std::vector<std::string>{work("1", "").id});
  state.setFocused(std::nullopt);  // clearing the focus leaves it open
  EXPECT_TRUE(window->showInspector());
  EXPECT_EQ(page.inspectorPlaceholder()->text(), "Select an Artwork");

  EXPECT_EQ(window->artworkActions().primaryTitle, "Show Now");
  EXPECT_EQ(window->artworkActions().primarySymbol, "menubar.dock.rectangle");
  window->artworkActions().primary(model->state().artworks.at(work("2", "").id));
  EXPECT_EQ(shown, std::vector<std::string>{work("2", "").id});
  EXPECT_FALSE(ArtworkActions{}.primary);
  EXPECT_EQ(ArtworkActions{}.primaryTitle, "Show");
}

TEST_F(LibraryWindowTest, TileSizeIsClampedOnReadAndKept) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* name;
    QVariant stored;
    double expected;
  };
  const Row rows[] = {
      {"missing", QVariant(), 170},      {"NaN", QVariant(nan), 170},
      {"infinite", QVariant(1.0 / 0.0), 170}, {"text", QVariant("big"), 170},
      {"zero", QVariant(0.0), 110},      {"negative", QVariant(-40), 110},
      {"too big", QVariant(5000), 320},  {"in range", QVariant(200.5), 200.5},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(LibraryPages::clampedTileSize(row.stored), row.expected) << row.name;
  }

  QSettings().setValue("libraryTileSize", 0);
  auto window = openWindow();
  EXPECT_EQ(window->tileSize(), 110);
  QSlider& slider = window->detailPage()->tileSlider();
  EXPECT_EQ(slider.minimum(), 110);
  EXPECT_EQ(slider.maximum(), 320);
  slider.setValue(250);
  EXPECT_EQ(QSettings().value("libraryTileSize").toDouble(), 250);
  window.reset();
  window = openWindow();
  EXPECT_EQ(window->tileSize(), 250);
}

TEST_F(LibraryWindowTest, ShowLibrarySelectingFocusesTheWorkInTheSharedState) {
  fill();
  WindowManager windows;
  LibraryWindow::registerWith(windows, {.model = *model, .show = {}, .openSettings = {}}, {});
  LibraryWindowState& shared = LibraryWindowState::shared();
  shared.setSidebar(SidebarItem::onDesktop());
  const std::string dawn = work("1", "").id;
  QWidget* window = windows.showLibrary(QString::fromStdString(dawn));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(shared.selection(), IdSet{dawn});
  EXPECT_EQ(shared.focused(), dawn);
  auto* content = window->findChild<LibraryWindow*>();
  ASSERT_NE(content, nullptr);
  EXPECT_TRUE(content->filter().onDesktopOnly);
  EXPECT_EQ(content->emptyHint(),
            "Your selection is empty, so the whole collection takes turns on the desktop. Click \u2295 on an "
            "artwork to add it.");
  windows.close("library");
  shared.setSidebar(SidebarItem::all());
}

TEST(PlainText, NetworkTextIsNeverMarkupOrAShortcut) {
  EXPECT_EQ(plaintext::title("Salt & Pepper"), "Salt && Pepper");
  EXPECT_EQ(plaintext::toolTip("<b>A</b> & B"), "<qt>&lt;b&gt;A&lt;/b&gt; &amp; B</qt>");
  EXPECT_EQ(plaintext::toolTip(""), "");
  std::unique_ptr<QLabel> label(plaintext::label("<i>x</i>"));
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST(SidebarItemTest, EqualityAndHashFollowCaseAndPayload) {
  const Uuid a = Uuid::random();
  const Uuid b = Uuid::random();
  EXPECT_EQ(SidebarItem::wallet(a), SidebarItem::wallet(a));
  EXPECT_NE(SidebarItem::wallet(a), SidebarItem::wallet(b));
  EXPECT_NE(SidebarItem::wallet(a), SidebarItem::exhibition(a));
  EXPECT_NE(SidebarItem::all(), SidebarItem::works());
  std::unordered_set<SidebarItem> items{SidebarItem::all(), SidebarItem::wallet(a), SidebarItem::wallet(a),
                                        SidebarItem::exhibition(a)};
  EXPECT_EQ(items.size(), 3u);
}

}  // namespace
}  // namespace tavolune
