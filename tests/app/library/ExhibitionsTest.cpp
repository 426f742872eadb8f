#include "app/components/PlainText.hpp"
#include "app/library/ArtworkDrag.hpp"
#include "app/library/ExhibitionHeader.hpp"
#include "app/library/ExhibitionItems.hpp"
#include "app/library/ExhibitionRow.hpp"
#include "app/library/ExhibitionsSection.hpp"
#include "app/library/SidebarRow.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/DestructiveItems.hpp"
#include "tests/app/library/LibraryRig.hpp"
#include "tests/app/render/TestImages.hpp"

#include <QDropEvent>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::work;
using V = std::vector<std::string>;

QStringList titles(const QMenu& menu) {
  QStringList out;
  for (QAction* a : menu.actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

class ExhibitionsTest : public testsupport::LibraryRig {
 protected:
  // Three works held by one wallet; exhibition "Summer" holds 2 and a stale id.
  ExhibitionsTest() {
    change([w = owner, summer = summer](LibraryState& s) {
      hold(s, w, {work("1", "Dawn"), work("2", "Noon"), work("3", "Dusk")});
      s.exhibitions.push_back(Exhibition{summer, "Summer", {work("2", "").id, "gone:1"}});
    });
    desktopChanges->reset();
  }
  std::string id(const char* token) const { return work(token, "").id; }
  ExhibitionActions actions() {
    return ExhibitionActions::make(*model, [this](const Uuid& e) { played.push_back(e); },
                                   [this](const Uuid& e) { visited.push_back(e); });
  }
  const Exhibition& summerNow() const { return *model->state().exhibition(summer); }

  Wallet owner = testsupport::wallet();
  Uuid summer = Uuid::random();
  std::vector<Uuid> played, visited;
};

TEST_F(ExhibitionsTest, NewExhibitionsTakeTheFirstFreeTitleAndTheSameIdOnDisk) {
  const std::vector<std::pair<V, std::string>> cases{
      {{}, "Untitled Exhibition"},
      {{"Untitled Exhibition", "Untitled Exhibition 2"}, "Untitled Exhibition 3"},
      {{"Untitled Exhibition 2"}, "Untitled Exhibition"},
      {{"untitled exhibition"}, "Untitled Exhibition"},
  };
  for (const auto& [taken, expected] : cases) {
    change([taken](LibraryState& s) {
      s.exhibitions.clear();
      for (const auto& t : taken) s.exhibitions.push_back(Exhibition{Uuid::random(), t, {}});
    });
    const Uuid made = model->newExhibition({id("3"), id("1"), id("3")});
    ASSERT_NE(model->state().exhibition(made), nullptr);
    EXPECT_EQ(model->state().exhibition(made)->title, expected);
    EXPECT_EQ(model->state().exhibition(made)->artworkIDs, (V{id("3"), id("1")}));
  }
  EXPECT_EQ(libraryChangedCalls(), 0) << "a new exhibition is never the one on show";
  model->flush();
  const LibraryState disk = onDisk();
  ASSERT_EQ(disk.exhibitions.size(), model->state().exhibitions.size());
  EXPECT_EQ(disk.exhibitions.back().id, model->state().exhibitions.back().id) << "the replayed edit makes the same one";
}

TEST_F(ExhibitionsTest, SectionRowsCountsBadgesMenusAndNewFromTheSelection) {
  auto window = openWindow();
  ExhibitionsSection section(*window, actions());
  ASSERT_EQ(section.rows().size(), 1u);
  ExhibitionRow& row = *section.rows()[0];
  EXPECT_EQ(row.row().title(), "Summer");
  EXPECT_EQ(row.row().count(), 1u) << "a stored id that names no work is not counted";
  EXPECT_TRUE(row.row().badge().isEmpty());

  std::unique_ptr<QMenu> menu(row.buildMenu(nullptr));
  EXPECT_EQ(titles(*menu), (QStringList{"Show on Desktop", "Visit Exhibition", "-", "Delete Exhibition"}));
  menu->actions()[0]->trigger();
  menu->actions()[1]->trigger();
  EXPECT_EQ(played, std::vector<Uuid>{summer});
  EXPECT_EQ(visited, std::vector<Uuid>{summer});

  // On show: the badge and "Stop Showing", which clears it and tells the desktop.
  change([summer = summer](LibraryState& s) { s.activeExhibition = summer; });
  EXPECT_EQ(row.row().badge(), "play.fill");
  menu.reset(row.buildMenu(nullptr));
  EXPECT_EQ(menu->actions()[0]->text(), "Stop Showing on Desktop");
  // Stopping is the model's operation: the desktop hears of it once, and
  // stills that failed may load again.
  desktopChanges->reset();
  QSignalSpy expired(&model->media().images(), &ImagePipeline::failuresExpired);
  menu->actions()[0]->trigger();
  EXPECT_FALSE(model->state().activeExhibition);
  EXPECT_EQ(libraryChangedCalls(), 1);
  EXPECT_EQ(expired.count(), 1);

  // Active but with nothing visible: not shown.
  change([summer = summer, two = id("2")](LibraryState& s) {
    s.activeExhibition = summer;
    s.hiddenArtworks.insert(two);
  });
  EXPECT_TRUE(row.row().badge().isEmpty());

  state.setSelection({id("1")});
  section.newExhibition();
  ASSERT_EQ(model->state().exhibitions.size(), 2u);
  const Exhibition& made = model->state().exhibitions.back();
  EXPECT_EQ(made.artworkIDs, V{id("1")});
  EXPECT_EQ(state.sidebar(), SidebarItem::exhibition(made.id));
  QCoreApplication::processEvents();
  ASSERT_EQ(section.rows().size(), 2u);
  EXPECT_TRUE(section.rows()[1]->row().isSelected());
}

TEST_F(ExhibitionsTest, TheBadgeAloneSaysOnTheDesktopAndDeleteReadsRed) {
  change([summer = summer](LibraryState& s) { s.activeExhibition = summer; });
  auto window = openWindow();
  ExhibitionsSection section(*window, actions());
  section.resize(240, 200);
  section.show();
  SidebarRow& row = section.rows()[0]->row();
  ASSERT_FALSE(row.badgeRect().isEmpty());
  auto helpAt = [&](QPoint at) {
    QHelpEvent event(QEvent::ToolTip, at, row.mapToGlobal(at));
    QCoreApplication::sendEvent(&row, &event);
    return event.isAccepted();
  };
  ASSERT_TRUE(helpAt(row.badgeRect().center()));
  EXPECT_EQ(QToolTip::text(), plaintext::toolTip(QStringLiteral("On the desktop")));
  EXPECT_FALSE(helpAt(QPoint(40, SidebarRow::height / 2))) << "not on the title";
  QToolTip::hideText();

  std::unique_ptr<QMenu> menu(section.rows()[0]->buildMenu(nullptr));
  menu->resize(menu->sizeHint());
  const QImage shot = menu->grab().toImage();
  const QColor red = DestructiveItems::red(menu->palette());
  auto reddish = [&](QAction* action) {
    int n = 0;
    const QRect r = menu->actionGeometry(action);
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) n += testing::colorNear(shot, x, y, red, 60) ? 1 : 0;
    }
    return n;
  };
  EXPECT_GT(reddish(menu->actions().back()), 10) << "Delete Exhibition";
  EXPECT_EQ(reddish(menu->actions().front()), 0) << menu->actions().front()->text().toStdString();
}

TEST_F(ExhibitionsTest, DeletingLeavesThePageFirstAndTheShownOneReachesTheDesktop) {
  change([summer = summer](LibraryState& s) { s.activeExhibition = summer; });
  desktopChanges->reset();
  auto window = openWindow();
  ExhibitionsSection section(*window, actions());
  state.setSidebar(SidebarItem::exhibition(summer));
  std::optional<SidebarItem> sidebarWhenDeleted;
  QObject::connect(model.get(), &AppModel::libraryChanged, [&] {
    if (!model->state().exhibition(summer) && !sidebarWhenDeleted) sidebarWhenDeleted = state.sidebar();
  });
  std::unique_ptr<QMenu> menu(section.rows()[0]->buildMenu(nullptr));
  menu->actions().back()->trigger();
  deliverChanges(*model);
  EXPECT_EQ(sidebarWhenDeleted, SidebarItem::all());
  EXPECT_TRUE(model->state().exhibitions.empty());
  EXPECT_FALSE(model->state().activeExhibition);
  EXPECT_EQ(libraryChangedCalls(), 1);
  QCoreApplication::processEvents();
  EXPECT_TRUE(section.rows().empty());
}

TEST_F(ExhibitionsTest, RowsTakeOnlyOurDragAndOnlyWorksOfTheLibrary) {
  auto window = openWindow();
  ExhibitionsSection section(*window, actions());
  ExhibitionRow& row = *section.rows()[0];
  // As a drag does it: the drop reaches only a row that took the drag's entry.
  auto drop = [&](const QMimeData& data) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&row, &enter);
    if (!enter.isAccepted()) return false;
    EXPECT_TRUE(row.row().isTargeted());
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&row, &event);
    EXPECT_FALSE(row.row().isTargeted());
    return event.isAccepted();
  };
  QMimeData foreign;
  foreign.setText(QString::fromStdString(id("1")));
  foreign.setUrls({QUrl(QStringLiteral("https://example.org/x"))});
  EXPECT_FALSE(drop(foreign));
  EXPECT_EQ(summerNow().artworkIDs, (V{id("2"), "gone:1"}));

  auto ours = ArtworkDrag::encode({id("3"), "not-a-work", id("3"), id("2"), id("1")});
  EXPECT_TRUE(drop(*ours));
  EXPECT_EQ(summerNow().artworkIDs, (V{id("2"), "gone:1", id("3"), id("1")}));
  EXPECT_EQ(libraryChangedCalls(), 0) << "the exhibition is not on show";

  change([summer = summer](LibraryState& s) { s.activeExhibition = summer; });
  EXPECT_TRUE(drop(*ArtworkDrag::encode({id("2")})));
  EXPECT_EQ(libraryChangedCalls(), 0) << "already there: the pool did not change";
  change([summer = summer](LibraryState& s) { s.exhibition(summer)->artworkIDs = {}; });
  EXPECT_TRUE(drop(*ArtworkDrag::encode({id("1")})));
  EXPECT_EQ(libraryChangedCalls(), 1);
}

TEST_F(ExhibitionsTest, HeaderCaptionTitleAndButtons) {
  struct Case {
    std::size_t count;
    double interval;
    QString caption;
  };
  for (const Case& c : std::vector<Case>{
           {0, 3600, "Empty. Drag artworks onto it in the sidebar, or use Add to Exhibition."},
           {1, 3600, "1 artwork \u00b7 in this order, one every 1 hour \u00b7 drag to reorder"},
           {2, 300, "2 artworks \u00b7 in this order, one every 5 minutes \u00b7 drag to reorder"},
           {2, 1234, "2 artworks \u00b7 in this order, one every a while \u00b7 drag to reorder"},
       }) {
    EXPECT_EQ(ExhibitionHeader::caption(c.count, c.interval), c.caption);
  }

  auto window = openWindow();
  ExhibitionHeader header(*window, actions(), summer);
  header.show();
  QLineEdit& field = header.titleField();
  EXPECT_EQ(field.text(), "Summer");
  field.setText(QStringLiteral("  "));
  header.commit();
  EXPECT_EQ(field.text(), "Summer");
  field.setText(QStringLiteral(" \tWinter Light  "));
  header.commit();
  EXPECT_EQ(summerNow().title, "Winter Light");
  EXPECT_EQ(field.text(), " \tWinter Light  ") << "the field keeps what was typed";

  auto button = [&](const QString& text) {
    for (auto* b : header.findChildren<QPushButton*>()) {
      if (b->text() == text) return b;
    }
    return static_cast<QPushButton*>(nullptr);
  };
  EXPECT_TRUE(button("Visit")->isEnabled());
  EXPECT_FALSE(button("Show on Desktop")->isHidden());
  button("Show on Desktop")->click();
  EXPECT_EQ(played, std::vector<Uuid>{summer});
  change([summer = summer](LibraryState& s) { s.activeExhibition = summer; });
  EXPECT_TRUE(button("Show on Desktop")->isHidden());
  EXPECT_FALSE(button("Stop")->isHidden());

  change([summer = summer](LibraryState& s) { s.exhibition(summer)->artworkIDs = {}; });
  EXPECT_FALSE(button("Visit")->isEnabled());
  change([summer = summer](LibraryState& s) { s.deleteExhibition(summer); });
  EXPECT_TRUE(header.isHidden());
  field.setText(QStringLiteral("Late"));
  header.commit();  // for an exhibition that is gone: nothing happens
  EXPECT_TRUE(model->state().exhibitions.empty());
}

TEST_F(ExhibitionsTest, MenuItemsSelectionButtonAndReorderingDrops) {
  const Uuid other = Uuid::random();
  change([other](LibraryState& s) { s.exhibitions.push_back(Exhibition{other, "R&D", {}}); });
  state.setListed({id("3"), id("1"), id("2")});

  // On Summer's page: the other exhibitions, then New; the counted remove.
  QMenu menu;
  ExhibitionItems::addTo(menu, *model, state, {id("1"), id("2"), "unlisted"}, summer);
  EXPECT_EQ(titles(menu), (QStringList{"Add to Exhibition", "Remove 3 from Exhibition"}));
  QMenu& add = *menu.actions()[0]->menu();
  EXPECT_EQ(titles(add), (QStringList{"R&&D", "-", "New Exhibition"}));
  add.actions()[0]->trigger();
  EXPECT_EQ(model->state().exhibition(other)->artworkIDs, (V{id("1"), id("2")})) << "in the grid's order, listed only";

  QMenu alone;
  change([other](LibraryState& s) { s.deleteExhibition(other); });
  ExhibitionItems::addTo(alone, *model, state, {id("2")}, summer);
  EXPECT_EQ(titles(*alone.actions()[0]->menu()), QStringList{"New Exhibition"});
  EXPECT_EQ(alone.actions()[1]->text(), "Remove from Exhibition");

  // Reorder by dropping on a tile: before it; foreign text changes nothing.
  change([summer = summer, a = id("1"), b = id("2"), c = id("3")](LibraryState& s) {
    s.exhibition(summer)->artworkIDs = {a, b, c};
  });
  QMimeData text;
  text.setText(QString::fromStdString(id("3")));
  EXPECT_FALSE(ExhibitionItems::dropOnTile(*model, text, summer, id("1")));
  EXPECT_TRUE(ExhibitionItems::dropOnTile(*model, *ArtworkDrag::encode({id("3"), id("3")}), summer, id("1")));
  EXPECT_EQ(summerNow().artworkIDs, (V{id("3"), id("1"), id("2")}));
  EXPECT_TRUE(ExhibitionItems::dropOnTile(*model, *ArtworkDrag::encode({id("1")}), summer, id("2")));
  EXPECT_EQ(summerNow().artworkIDs, (V{id("3"), id("1"), id("2")})) << "onto the tile just after it: unchanged";

  state.setSelection({id("1"), id("3")});
  state.setFocused(id("1"));
  ExhibitionSelectionButton remove(*model, state, summer);
  EXPECT_EQ(remove.text(), "Remove from Exhibition");
  remove.click();
  EXPECT_EQ(summerNow().artworkIDs, V{id("2")});
  EXPECT_TRUE(state.selection().empty());
  EXPECT_FALSE(state.focused());

  state.setSelection({id("1"), id("3")});
  ExhibitionSelectionButton adder(*model, state, std::nullopt);
  emit adder.menu()->aboutToShow();
  EXPECT_EQ(titles(*adder.menu()), (QStringList{"Summer", "-", "New Exhibition"}));
  adder.menu()->actions()[0]->trigger();
  EXPECT_EQ(summerNow().artworkIDs, (V{id("2"), id("3"), id("1")}));
  EXPECT_EQ(state.selection().size(), 2u) << "adding keeps the selection";
}

}  // namespace
}  // namespace tavolune
