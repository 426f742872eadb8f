#include "app/library/FiltersMenu.hpp"
#include "app/library/FormatBanners.hpp"
#include "app/model/AppModel.hpp"
#include "tests/app/library/LibraryRig.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"

#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

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

// A generative work that is the first of its own series.
Artwork series(const std::string& name) {
  Artwork a = work(name, name + " #1", MediaKind::generative);
  a.editionNumber = "1";
  return a;
}

// What a banner shows: its visible texts in reading order; none when hidden.
QStringList shownTexts(const QWidget& banner) {
  QStringList out;
  if (banner.isHidden()) return out;
  for (QWidget* w : banner.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&banner)) continue;
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) out << label->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) out << b->text();
  }
  return out;
}

QAbstractButton* button(const QWidget& banner, const QString& text) {
  for (QAbstractButton* b : banner.findChildren<QAbstractButton*>()) {
    if (b->text() == text) return b;
  }
  return nullptr;
}

class BannersTest : public testsupport::LibraryRig {
 protected:
  BannersTest() : LibraryRig(Probes::fake) {}

  void addSeries(const std::vector<std::string>& names) {
    change([w = owner, names](LibraryState& s) {
      for (const auto& n : names) hold(s, w, {series(n)});
    });
  }
  bool pendingIs(std::size_t n) {
    return QTest::qWaitFor([&] { return model->pendingSeriesCount() == n; }, 5000);
  }
  // Answers the measurement under way, once the probe has it.
  void answerProbe() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe && !probe->up().empty(); }, 5000));
    probe->answer(RenderProfile{ArtLayout::fixed(1), std::nullopt, Date{}});
  }

  const Wallet owner = testsupport::wallet();
};

TEST_F(BannersTest, AnalyzeBannerModes) {
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
}

TEST_F(BannersTest, AnalyzeBannerFollowsTheRunAndNotNow) {
  using M = AnalyzeBanner::Mode;
  addSeries({"A", "B", "C", "D", "E"});
  ASSERT_TRUE(pendingIs(5));
  AnalyzeBanner banner(*model);
  auto click = [&](const QString& text) {
    QAbstractButton* b = button(banner, text);
    ASSERT_NE(b, nullptr) << text.toStdString();
    b->click();
  };
  auto measuring = [](int done, int total) {
    return QStringLiteral("Measuring artwork formats\u2026 %1 of %2 series").arg(done).arg(total);
  };
  const QString title = QStringLiteral("Fit artworks to your screen");
  const QString stopping = QStringLiteral("Stopping after this series\u2026");
  struct Step {
    const char* name;
    std::function<void()> act;
    M mode;
    QStringList texts;
    bool stopEnabled = false;
    int done = 0, total = 0;  // the bar, while the progress shows
  };
  const std::vector<Step> steps{
      {"five unmeasured series", [] {}, M::offer,
       {title, "5 generative series not measured yet", "Not Now", "Analyze Collection"}},
      {"Not Now", [&] { click("Not Now"); }, M::hidden, {}},
      {"a sixth series", [&] { addSeries({"F"}); ASSERT_TRUE(pendingIs(6)); }, M::offer,
       {title, "6 generative series not measured yet", "Not Now", "Analyze Collection"}},
      {"Analyze Collection", [&] { click("Analyze Collection"); }, M::progress, {measuring(0, 6), "Stop"}, true, 0, 6},
      {"one series measured, the next under way",
       [&] {
         answerProbe();
         ASSERT_TRUE(QTest::qWaitFor([&] { return probe->up().size() == 1; }, 5000));
       },
       M::progress, {measuring(1, 6), "Stop"}, true, 1, 6},
      {"Stop", [&] { click("Stop"); }, M::progress, {stopping, "Stop"}, false, 1, 6},
      {"the series under way measured", [&] { answerProbe(); }, M::progress, {stopping, "Stop"}, false, 2, 6},
      {"the run over, four left, fewer than put off",
       [&] {
         ASSERT_TRUE(QTest::qWaitFor([&] { return !model->formats().analysisProgress(); }, 5000));
         ASSERT_TRUE(pendingIs(4));
       },
       M::hidden, {}},
      {"a run started elsewhere shows though put off", [&] { model->formats().analyzeCollection(); }, M::progress,
       {measuring(0, 4), "Stop"}, true, 0, 4},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(banner.mode(), step.mode) << step.name;
    EXPECT_EQ(banner.isHidden(), step.mode == M::hidden) << step.name;
    EXPECT_EQ(shownTexts(banner), step.texts) << step.name;
    if (step.mode != M::progress) continue;
    EXPECT_EQ(button(banner, "Stop")->isEnabled(), step.stopEnabled) << step.name;
    const auto* bar = banner.findChild<QProgressBar*>();
    EXPECT_EQ(std::pair(bar->value(), bar->maximum()), std::pair(step.done, step.total)) << step.name;
  }
  EXPECT_EQ(AnalyzeBanner::dismissedAt(), 5);

  // Nothing left to measure: the run shows 0 of 0 on an empty bar, then ends.
  model->formats().setAnalysisStopRequested(true);
  answerProbe();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !model->formats().analysisProgress(); }, 5000));
  change([](LibraryState& s) {
    for (const auto& [id, a] : s.artworks) s.renderProfiles[a.seriesKey()] = RenderProfile{};
  });
  ASSERT_TRUE(pendingIs(0));
  QStringList empty;
  std::pair<int, int> emptyBar;
  QObject::connect(&model->formats(), &SeriesFormats::analysisProgressChanged, &banner, [&] {
    if (!model->formats().analysisProgress()) return;
    empty = shownTexts(banner);
    const auto* bar = banner.findChild<QProgressBar*>();
    emptyBar = {bar->value(), bar->maximum()};
  });
  model->formats().analyzeCollection();
  EXPECT_EQ(empty, (QStringList{measuring(0, 0), "Stop"}));
  EXPECT_EQ(emptyBar, std::pair(0, 1));
  EXPECT_TRUE(banner.isHidden());
}

TEST_F(BannersTest, UnknownFormatsCountsOnlyWhatTheOtherCriteriaList) {
  const Wallet w = testsupport::wallet();
  change([w](LibraryState& s) {
    Artwork known = work("k", "Known");
    known.aspectRatio = 1.0;
    std::vector<Artwork> works{work("1", "A"), work("2", "B"), work("3", "C"), work("v", "Video", MediaKind::video)};
    for (auto& a : works) {
      a.thumbnailURI = "ipfs://QmThumb" + a.tokenId;
      hold(s, w, {a});
    }
    hold(s, w, {known});
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

  // Measuring from square thumbnails: the progress, then every shape known.
  QImage thumbnail(30, 30, QImage::Format_RGB32);
  thumbnail.fill(Qt::gray);
  const QByteArray square = testsupport::FakeImageSource::png(thumbnail);
  server.otherwise([square](const auto&) {
    return testsupport::CannedResponse{.status = 200, .body = square.toStdString(), .contentType = "image/png"};
  });
  auto* bar = banner.findChild<QProgressBar*>();
  auto* measure = button(banner, "Measure");
  ASSERT_NE(measure, nullptr);
  EXPECT_FALSE(bar->isVisibleTo(&banner));
  EXPECT_TRUE(measure->isVisibleTo(&banner));
  measure->click();
  EXPECT_EQ(banner.text(), "Measuring 0/4");
  EXPECT_TRUE(bar->isVisibleTo(&banner));
  EXPECT_EQ(bar->maximum(), 4);
  EXPECT_FALSE(measure->isVisibleTo(&banner));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !model->formats().formatProgress(); }, 10'000));
  EXPECT_EQ(banner.text(), "Every artwork's format is known.");
  EXPECT_FALSE(bar->isVisibleTo(&banner));
  EXPECT_FALSE(measure->isVisibleTo(&banner));
}

}  // namespace
}  // namespace tavolune
