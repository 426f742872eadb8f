#include "app/library/FiltersMenu.hpp"
#include "app/library/FormatBanners.hpp"
#include "app/model/AppModel.hpp"
#include "tests/app/library/LibraryRig.hpp"

#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::work;

class FiltersTest : public testsupport::LibraryRig {};

TEST_F(FiltersTest, ActiveLabelHelpAndResetAsATable) {
  const Uuid wallet = Uuid::random(), exhibition = Uuid::random();
  struct Case {
    const char* name;
    std::function<void(LibraryFilter&)> set;
    bool active;
    QString help;
  };
  const QString generic = QStringLiteral("Filter by format, series, media, platform or chain");
  const std::vector<Case> cases{
      {"search only", [](LibraryFilter& f) { f.search = "dawn"; }, false, generic},
      {"platform and chain",
       [](LibraryFilter& f) {
         f.platform = Platform::objkt;
         f.chain = Chain::tezos;
       },
       true, QStringLiteral("Filters: objkt / Hic et Nunc \u00b7 Tezos")},
      {"the exhibition page", [&](LibraryFilter& f) { f.exhibitionID = exhibition; }, false, generic},
      {"everything, in order",
       [](LibraryFilter& f) {
         f.chain = Chain::base;
         f.mediaKind = MediaKind::generative;
         f.collection = "Ringers";
         f.format = FormatFilter::fitsScreen;
       },
       true, QStringLiteral("Filters: Fits My Screen \u00b7 Ringers \u00b7 Generative \u00b7 Base")},
  };
  for (const auto& c : cases) {
    LibraryFilter f;
    f.walletID = wallet;
    f.search = "kept";
    f.hiddenOnly = true;
    f.recentOnly = true;
    c.set(f);
    EXPECT_EQ(FiltersMenu::isActive(f), c.active) << c.name;
    EXPECT_EQ(FiltersMenu::help(f), c.help) << c.name;
    const LibraryFilter reset = FiltersMenu::baseFilter(f);
    EXPECT_FALSE(FiltersMenu::isActive(reset)) << c.name;
    EXPECT_EQ(reset.walletID, wallet);
    EXPECT_EQ(reset.exhibitionID, f.exhibitionID) << "the page's exhibition survives the reset";
    EXPECT_EQ(reset.search, f.search);
    EXPECT_TRUE(reset.hiddenOnly && reset.recentOnly);
  }
}

TEST_F(FiltersTest, MenuPickersCollectionsAndReset) {
  const Wallet w = testsupport::wallet();
  change([w](LibraryState& s) {
    Artwork one = work("1", "A");
    one.collection = "Only";
    hold(s, w, {one});
  });
  auto window = openWindow();
  FiltersMenu button(*window);
  auto topTitles = [&] {
    emit button.menu()->aboutToShow();
    QStringList out;
    for (QAction* a : button.menu()->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
  };
  EXPECT_EQ(topTitles(), (QStringList{"Format", "Media", "Platform", "Chain"})) << "one collection: no picker";

  // 250 collections named "Series 1" ... "Series 250": the first 200 by natural order.
  change([w](LibraryState& s) {
    for (int i = 1; i <= 250; ++i) {
      Artwork a = work("s" + std::to_string(i), "S");
      a.collection = "Series " + std::to_string(i);
      hold(s, w, {a});
    }
  });
  EXPECT_EQ(topTitles(), (QStringList{"Format", "Collection / Series", "Media", "Platform", "Chain"}));
  QMenu* collections = button.menu()->actions()[1]->menu();
  ASSERT_EQ(collections->actions().size(), 201);
  EXPECT_EQ(collections->actions()[0]->text(), "All Collections");
  EXPECT_EQ(collections->actions()[1]->text(), "Only");
  EXPECT_EQ(collections->actions()[3]->text(), "Series 2");
  EXPECT_EQ(collections->actions()[200]->text(), "Series 199");
  collections->actions()[11]->trigger();
  EXPECT_EQ(window->filter().collection, "Series 10");
  EXPECT_TRUE(button.property("active").toBool());

  LibraryFilter beyond = window->filter();
  beyond.collection = "Series 250";
  window->setFilter(beyond);
  EXPECT_EQ(button.toolTip().contains(QStringLiteral("Series 250")), true) << "a collection past the list still reads";
  const QStringList withReset = topTitles();
  EXPECT_EQ(withReset.mid(withReset.size() - 2), (QStringList{"-", "Reset Filters"}));
  button.menu()->actions().back()->trigger();
  EXPECT_FALSE(window->filter().collection);
  EXPECT_FALSE(button.property("active").toBool());
}

class BannersTest : public testsupport::LibraryRig {};

TEST_F(BannersTest, AnalyzeBannerModesAndNotNow) {
  using M = AnalyzeBanner::Mode;
  struct Case {
    bool analysing;
    std::size_t pending;
    long long dismissed;
    M mode;
  };
  for (const Case& c : std::vector<Case>{{false, 0, -1, M::hidden},
                                         {false, 5, -1, M::offer},
                                         {false, 5, 5, M::hidden},
                                         {false, 6, 5, M::offer},
                                         {false, 3, 5, M::hidden},
                                         {true, 3, 5, M::progress},
                                         {true, 0, -1, M::progress}}) {
    EXPECT_EQ(AnalyzeBanner::mode(c.analysing, c.pending, c.dismissed), c.mode)
        << c.analysing << " " << c.pending << " " << c.dismissed;
  }
  EXPECT_EQ(AnalyzeBanner::dismissedAt(), -1);
  AnalyzeBanner banner(*model);
  // No generative series here: nothing pending, nothing shown.
  EXPECT_EQ(banner.mode(), M::hidden);
  EXPECT_TRUE(banner.isHidden());
}

TEST_F(BannersTest, UnknownFormatsCountsOnlyWhatTheOtherCriteriaList) {
  const Wallet w = testsupport::wallet();
  change([w](LibraryState& s) {
    Artwork known = work("k", "Known");
    known.aspectRatio = 1.0;
    hold(s, w, {work("1", "A"), work("2", "B"), work("3", "C"), known, work("v", "Video", MediaKind::video)});
  });
  LibraryFilter f;
  f.format = FormatFilter::square;
  f.mediaKind = MediaKind::image;
  EXPECT_EQ(UnknownFormats::unknownCount(model->state(), f), 3u);

  UnknownFormats banner(*model);
  banner.setFilter(LibraryFilter{});
  EXPECT_TRUE(banner.isHidden()) << "no format criterion, no banner";
  banner.setFilter(f);
  EXPECT_FALSE(banner.isHidden());
  EXPECT_EQ(banner.text(), "3 artworks without a known format are left out.");
  f.mediaKind = MediaKind::video;
  banner.setFilter(f);
  EXPECT_EQ(banner.text(), "1 artworks without a known format are left out.");
}

}  // namespace
}  // namespace tavolune
