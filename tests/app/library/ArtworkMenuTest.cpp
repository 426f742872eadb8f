#include "app/library/ArtworkMenu.hpp"

#include "app/library/LibraryEdits.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/model/AppModel.hpp"
#include "tests/app/library/GridRig.hpp"

namespace tavolune {
namespace {

using testsupport::numbered;

class ArtworkMenuTest : public testsupport::GridRig {
 protected:
  std::unique_ptr<ArtworkMenu> menu(int n, ArtworkActions actions = ArtworkActions::showNow({})) {
    const Artwork& a = model->state().artworks.at(id(n));
    actions.primary = [this](const Artwork& w) { shown.push_back(w.id); };
    ArtworkMenu::Context context{*model, state, actions, [this](const QUrl& u) { opened.push_back(u); }, hooks};
    return std::make_unique<ArtworkMenu>(context, a, std::nullopt);
  }
  static QStringList titles(const QMenu& m) {
    QStringList out;
    for (QAction* a : m.actions()) out << (a->isSeparator() ? QStringLiteral("--") : a->text());
    return out;
  }
  ExhibitionHooks hooks;
};

TEST_F(ArtworkMenuTest, ItemsForAStillALiveWorkAndAHiddenWork) {
  fill(3);
  change([](LibraryState& s) {
    Artwork live = numbered(2, MediaKind::generative);
    live.collection = "Fidenza & Co";
    s.artworks[live.id] = live;
    s.hiddenArtworks.insert(numbered(3).id);
  });
  EXPECT_EQ(titles(*menu(1)), (QStringList{"Show Now", "--", "Add to My Selection", "--", "Hide Artwork",
                                           "Hide Collection \u201CUntitled\u201D"}));
  EXPECT_EQ(titles(*menu(2)), (QStringList{"Show Now", "--", "Animate on Desktop", "Add to My Selection", "--",
                                           "Hide Artwork", "Hide Collection \u201CFidenza && Co\u201D"}));
  EXPECT_EQ(titles(*menu(3)), (QStringList{"Show Now", "--", "Add to My Selection", "--", "Unhide"}));

  // Without a primary action the menu starts with its first own item.
  const Artwork& a = model->state().artworks.at(id(1));
  ArtworkMenu bare(ArtworkMenu::Context{*model, state}, a, std::nullopt);
  EXPECT_EQ(bare.actions().front()->text(), "Add to My Selection");

  menu(1)->item("Show Now")->trigger();
  EXPECT_EQ(shown, std::vector<std::string>{id(1)});
  menu(3)->item("Unhide")->trigger();
  EXPECT_TRUE(model->state().hiddenArtworks.empty());
  menu(1)->item(ArtworkMenu::hideCollectionTitle(a))->trigger();
  EXPECT_FALSE(model->state().isVisible(model->state().artworks.at(id(3))))
      << "the whole contract on the chain is hidden";
}

TEST_F(ArtworkMenuTest, TargetsAreTheSelectionWhenTheWorkBelongsToIt) {
  fill(4);
  state.setSelection(selected({1, 2, 3}));
  auto inside = menu(2);
  EXPECT_EQ(inside->targets().size(), 3u);
  QAction* add = inside->item("Add 3 to My Selection");
  ASSERT_NE(add, nullptr);
  change([](LibraryState& s) { s.onDesktop.insert(numbered(1).id); });
  EXPECT_NE(menu(2)->item("Add 3 to My Selection"), nullptr) << "one already in: still adds three";
  menu(2)->item("Add 3 to My Selection")->trigger();
  EXPECT_EQ(asIds(model->state().onDesktop), selected({1, 2, 3}));
  ASSERT_NE(menu(3)->item("Remove from My Selection"), nullptr);

  // Outside the selection: the work alone; the selection stays.
  auto outside = menu(4);
  EXPECT_EQ(outside->targets(), std::vector<std::string>{id(4)});
  outside->item("Add to My Selection")->trigger();
  EXPECT_TRUE(model->state().onDesktop.contains(id(4)));
  EXPECT_EQ(state.selection(), selected({1, 2, 3}));

  // Hiding from the menu hides the clicked work only.
  menu(2)->item("Hide Artwork")->trigger();
  EXPECT_EQ(asIds(model->state().hiddenArtworks), selected({2}));

  // Exhibition items get the targets.
  std::vector<std::string> seen;
  hooks.menuItems = [&seen](QMenu& m, const std::vector<std::string>& targets, const std::optional<Uuid>&) {
    seen = targets;
    m.addAction(QStringLiteral("Add to Exhibition"));
  };
  auto withExhibitions = menu(1);
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_NE(withExhibitions->item("Add to Exhibition"), nullptr);
}

TEST_F(ArtworkMenuTest, TheArtworkPageOpensOnlyWebAddresses) {
  fill(1);
  struct Case {
    std::optional<std::string> url;
    bool offered;
  };
  const std::vector<Case> cases = {
      {std::nullopt, false},
      {"https://example.org/token/1", true},
      {"http://example.org/token/1?a=b", true},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"tavolune://local/x", false},
      {"ftp://example.org/x", false},
      {"not a url at all", false},
      {"https://", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url.value_or("(none)"));
    change([u = c.url](LibraryState& s) { s.artworks.at(numbered(1).id).externalURL = u; });
    auto m = menu(1);
    QAction* page = m->item("View Artwork Page");
    ASSERT_EQ(page != nullptr, c.offered);
    if (!page) continue;
    opened.clear();
    page->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString().toStdString(), *c.url);
  }
}

TEST_F(ArtworkMenuTest, AnimateOnDesktopSavesAndTellsTheDesktopOnce) {
  fill(1);
  change([](LibraryState& s) {
    Artwork live = numbered(1, MediaKind::video);
    s.artworks[live.id] = live;
    s.settings.animation = AnimationPolicy::never;
  });
  auto m = menu(1);
  QAction* animate = m->item("Animate on Desktop");
  ASSERT_NE(animate, nullptr);
  EXPECT_FALSE(animate->isChecked());
  // Saves coalesce, so what one save per edit means is one edit of the
  // library (each is replayed by the writer) and one write once it settles.
  QSignalSpy edits(model.get(), &AppModel::libraryChanged);
  QSignalSpy saved(model.get(), &AppModel::saved);
  const int calls = libraryChangedCalls();
  animate->trigger();
  deliverChanges(*model);
  EXPECT_EQ(edits.count(), 1) << "one edit";
  EXPECT_EQ(libraryChangedCalls(), calls + 1);
  EXPECT_TRUE(model->state().animatedArtworks.contains(id(1)));
  EXPECT_EQ(model->state().settings.animation, AnimationPolicy::selected);
  ASSERT_TRUE(saved.wait(3000));
  EXPECT_FALSE(saved.wait(300)) << "no second write after the first";
  EXPECT_TRUE(menu(1)->item("Animate on Desktop")->isChecked());
}

}  // namespace
}  // namespace tavolune
