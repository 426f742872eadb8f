// The model's series formats and stills on a fake probe: one probe per series, the
// analysis, ratios, bulk measuring, the still cache and its blank marker,
// and the one queue for every probe.
#include "app/render/WallpaperComposer.hpp"
#include "tests/app/model/ModelHarness.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"
#include "tests/support/fakes/FakeProbeService.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QPainter>
#include <QThreadPool>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <mutex>

namespace tavolune {
namespace {

using testsupport::FakeProbeService;
using Still = ProbeService::Still;
using Ending = ProbeService::Ending;

Artwork generative(const std::string& token, const std::string& title, std::optional<std::string> edition = "1") {
  Artwork a = testsupport::work(token, title, MediaKind::generative);
  a.editionNumber = edition;
  a.animationURI = "ipfs://QmPage" + token + "/index.html";
  return a;
}

RenderProfile fixedProfile(double ratio) { return {ArtLayout::fixed(ratio), RGBColor{0.2, 0.4, 0.6}, Date{}}; }

QImage drawing(QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter p(&image);
  p.fillRect(0, 0, size.width() / 2, size.height(), Qt::darkBlue);
  return image;
}

class MeasuringFormats : public testsupport::ModelHarness {
 protected:
  AppModel& start() {
    auto o = options();
    o.timings.ratioFlushDelay = std::chrono::milliseconds(80);
    o.probes = FakeProbeService::into(probe);
    model = std::make_unique<AppModel>(std::move(o));
    QSignalSpy loaded(model.get(), &AppModel::loadedChanged);
    model->load();
    EXPECT_TRUE(testsupport::waitForSignal(loaded));
    libraryChanges = std::make_unique<DesktopChanges>(*model);
    return *model;
  }
  void own(std::vector<Artwork> works) {
    seedLibrary(*model, [w = testsupport::wallet(), works](LibraryState& s) {
      for (const auto& a : works) testsupport::hold(s, w, {a});
      s.touch();
    });
  }
  // Takes works out of the library mid-run, as a sync that lost them would.
  void drop(std::vector<std::string> ids) {
    seedLibrary(*model, [ids = std::move(ids)](LibraryState& s) {
      for (const auto& id : ids) {
        s.artworks.erase(id);
        for (auto& [wallet, held] : s.ownerships) held.erase(id);
      }
      s.touch();
    });
  }
  // A profile request whose answer lands in the returned slot.
  std::shared_ptr<std::optional<std::optional<RenderProfile>>> ask(const Artwork& a, bool measure = true) {
    auto slot = std::make_shared<std::optional<std::optional<RenderProfile>>>();
    model->formats().profile(a, measure, [slot](std::optional<RenderProfile> p) { *slot = std::move(p); });
    return slot;
  }
  QImage still(const Artwork& a, QSizeF size, bool compute = true, double scale = 1) {
    bool answered = false;
    QImage result;
    model->formats().renderedStill(a, size, scale, compute, [&](QImage i) {
      answered = true;
      result = std::move(i);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 10'000));
    return result;
  }
  // Waits until the probe has n jobs up.
  bool probesUp(std::size_t n) {
    return QTest::qWaitFor([&] { return probe && probe->up().size() == n; }, 10'000);
  }

  int started() const { return probe ? probe->started : 0; }

  FakeProbeService* probe = nullptr;
  std::unique_ptr<DesktopChanges> libraryChanges;
};

TEST_F(MeasuringFormats, OneProbePerSeriesForEveryoneWhoAsks) {
  auto& m = start();
  const Artwork first = generative("1", "Dunes #1");
  const Artwork second = generative("2", "Dunes #2");
  const Artwork video = testsupport::work("3", "Clip", MediaKind::video);
  ASSERT_EQ(first.seriesKey(), second.seriesKey());
  own({first, second, video});

  auto none = ask(video);
  ASSERT_TRUE(none->has_value());
  EXPECT_FALSE(none->value());
  EXPECT_EQ(started(), 0);
  auto a = ask(first);
  auto b = ask(second);
  EXPECT_FALSE(ask(first, false)->value());  // not measured yet, and not asked to
  ASSERT_EQ(probe->started, 1);
  EXPECT_DOUBLE_EQ(probe->up().front().wait, SeriesFormats::measureSettleSeconds);

  probe->answer(fixedProfile(1.5));
  ASSERT_TRUE(a->has_value() && b->has_value());
  EXPECT_EQ(**a, fixedProfile(1.5));
  EXPECT_EQ(**b, fixedProfile(1.5));
  EXPECT_EQ(m.state().renderProfiles.at(first.seriesKey()), fixedProfile(1.5));
  EXPECT_EQ(**ask(second, false), fixedProfile(1.5));
  EXPECT_EQ(m.formats().matte(first), QColor::fromRgbF(0.2f, 0.4f, 0.6f));

  // A probe that finds nothing stores nothing: the next request probes again.
  const Artwork other = generative("9", "Other", std::nullopt);
  auto c = ask(other);
  probe->answer(std::nullopt);
  EXPECT_FALSE(**c);
  EXPECT_FALSE(m.state().renderProfiles.contains(other.seriesKey()));
  ask(other);
  EXPECT_EQ(probe->started, 3);
  EXPECT_EQ(m.formats().matte(other), WallpaperComposer::defaultMatte());
  QImage red(30, 30, QImage::Format_RGB32);
  red.fill(QColor(200, 0, 0));
  EXPECT_EQ(m.formats().matte(other, red), WallpaperComposer::edgeColor(red));

  // One whose page hung its probe is neither measured nor rendered again.
  probe->answer(std::nullopt);
  const Artwork hung = generative("8", "Hung", std::nullopt);
  auto h = ask(hung);
  probe->onRanOutOfTime(hung);
  probe->answer(std::nullopt);
  EXPECT_FALSE(**h);
  EXPECT_FALSE(ask(hung)->value());
  EXPECT_TRUE(still(hung, QSizeF(300, 200)).isNull());
  EXPECT_EQ(probe->started, 4);
}

TEST_F(MeasuringFormats, UnmeasuredSeriesAreCountedOnTheWritersCopyAndTheEditsStillSaved) {
  auto& m = start();
  QSignalSpy counted(&m, &AppModel::pendingSeriesCountChanged);
  own({generative("1", "A #1"), generative("2", "A #2"), generative("3", "B #1")});  // counts after the edit
  ASSERT_TRUE(counted.wait(5000));
  EXPECT_EQ(m.pendingSeriesCount(), 2u);

  auto answer = ask(generative("3", "B #1"));
  probe->answer(fixedProfile(1));  // stores the profile and counts again
  ASSERT_TRUE(counted.wait(5000));
  EXPECT_EQ(m.pendingSeriesCount(), 1u);

  // The edits the count took along reach the file with the next save.
  m.scheduleSave();
  m.flush();
  const LibraryState disk = onDisk();
  EXPECT_EQ(disk.artworks.size(), 3u);
  EXPECT_EQ(disk.renderProfiles.size(), 1u);
}

TEST_F(MeasuringFormats, RemeasureForgetsTheProfileAndJoinsARunningProbe) {
  auto& m = start();
  const Artwork work = generative("1", "Tide #1");
  own({work});
  seedLibrary(m, [key = work.seriesKey()](LibraryState& s) {
    s.renderProfiles[key] = fixedProfile(1);
    s.touch();
  });
  auto running = ask(generative("2", "Tide #2"));  // stored: answered at once
  EXPECT_EQ(**running, fixedProfile(1));

  bool remeasured = false;
  m.formats().remeasure(work, [&] { remeasured = true; });
  EXPECT_FALSE(m.state().renderProfiles.contains(work.seriesKey()));
  auto joined = ask(work);
  m.formats().remeasure(work, [] {});
  EXPECT_EQ(probe->started, 1);
  probe->answer(fixedProfile(0.5));
  EXPECT_TRUE(remeasured);
  EXPECT_EQ(**joined, fixedProfile(0.5));
  EXPECT_EQ((*libraryChanges)(), 1);  // both finished in one turn: one report
}

TEST_F(MeasuringFormats, AnalysisMeasuresSeriesInTurnAndStopsAfterTheOneUnderWay) {
  auto& m = start();
  own({generative("1", "A #1"), generative("2", "B #1"), generative("3", "C #1")});
  QSignalSpy progress(&m.formats(), &SeriesFormats::analysisProgressChanged);
  bool finished = false;
  m.formats().analyzeCollection([&] { finished = true; });
  EXPECT_EQ(m.formats().analysisProgress(), (SeriesFormats::Progress{0, 3}));
  bool second = false;
  m.formats().analyzeCollection([&] { second = true; });
  EXPECT_TRUE(second);  // one runs already

  ASSERT_TRUE(probesUp(1));
  m.formats().setAnalysisStopRequested(true);
  probe->answer(fixedProfile(1));
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 5000));
  EXPECT_EQ(probe->started, 1);
  EXPECT_FALSE(m.formats().analysisProgress());
  EXPECT_FALSE(m.formats().analysisStopRequested());
  EXPECT_EQ((*libraryChanges)(), 1);
  EXPECT_EQ(progress.count(), 3);  // (0, 3), (1, 3), none
  EXPECT_EQ(m.state().renderProfiles.size(), 1u);

  // Nothing left to measure: (0, 0), then none.
  seedLibrary(m, [](LibraryState& st) {
    for (const auto& [id, a] : st.artworks) st.renderProfiles[a.seriesKey()] = fixedProfile(1);
    st.touch();
  });
  progress.clear();
  finished = false;
  m.formats().analyzeCollection([&] { finished = true; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return finished; }, 5000));
  EXPECT_EQ(progress.count(), 2);
  EXPECT_EQ((*libraryChanges)(), 2);
}

TEST_F(MeasuringFormats, AnalysisOutlivesWorksRemovedOrEditedUnderIt) {
  auto& m = start();
  const std::vector<Artwork> works{generative("1", "A #1"), generative("2", "B #1"), generative("3", "C #1")};
  own(works);
  bool finished = false;
  m.formats().analyzeCollection([&] { finished = true; });
  ASSERT_TRUE(probesUp(1));
  const std::string probing = probe->up().front().artwork.id;
  std::vector<Artwork> others;
  for (const auto& w : works) {
    if (w.id != probing) others.push_back(w);
  }
  ASSERT_EQ(others.size(), 2u);
  const Artwork gone = others[0], kept = others[1];
  drop({probing, gone.id});
  seedLibrary(m, [id = kept.id](LibraryState& s) {
    s.artworks.at(id).artist = "Renamed";
    s.touch();
  });

  while (QTest::qWaitFor([&] { return finished || !probe->up().empty(); }, 5000) && !finished) {
    probe->answer(fixedProfile(1.5));
  }
  ASSERT_TRUE(finished);
  EXPECT_FALSE(m.formats().analysisProgress());
  EXPECT_FALSE(m.state().artworks.contains(probing));
  EXPECT_FALSE(m.state().artworks.contains(gone.id));
  ASSERT_TRUE(m.state().artworks.contains(kept.id));
  EXPECT_EQ(m.state().artworks.at(kept.id).artist, "Renamed");
  ASSERT_TRUE(m.state().renderProfiles.contains(kept.seriesKey()));
  EXPECT_EQ(m.state().renderProfiles.at(kept.seriesKey()), fixedProfile(1.5));
}

TEST_F(MeasuringFormats, EveryProbeWaitsInOneQueueOfTwo) {
  auto& m = start();
  std::vector<Artwork> works;
  for (int i = 0; i < 4; ++i) works.push_back(generative(std::to_string(i), "S" + std::to_string(i) + " #1"));
  own(works);
  for (const auto& w : works) ask(w);
  for (int i = 0; i < 2; ++i) {
    m.formats().renderedStill(works[std::size_t(i)], QSizeF(300, 200), 1, true, [](QImage) {});
  }
  ASSERT_TRUE(probesUp(2));
  EXPECT_EQ(probe->started, 2);
  int answered = 0;
  while (!probe->up().empty()) {
    if (probe->up().front().still) {
      probe->answer(Still{drawing(QSize(300, 200)), Ending::settled});
    } else {
      probe->answer(fixedProfile(1));
    }
    ++answered;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return probe->up().size() == std::min<std::size_t>(2, std::size_t(6 - answered)); }, 5000));
  }
  EXPECT_EQ(probe->started, 6);
  EXPECT_EQ(probe->mostUp, 2u);
}

TEST_F(MeasuringFormats, NotedRatiosAreWrittenTogetherFirstNoteWins) {
  auto& m = start();
  Artwork plain = testsupport::work("1", "Plain");
  Artwork known = testsupport::work("2", "Known");
  known.aspectRatio = 2.0;
  Artwork cropped = testsupport::work("3", "Crop");
  cropped.thumbnailURI = "https://i2c.seadn.io/x.png";
  own({plain, known, cropped});

  m.formats().noteRatio(plain, QImage(0, 10, QImage::Format_RGB32));
  m.formats().noteRatio(plain, QImage(30, 20, QImage::Format_RGB32));
  m.formats().noteRatio(plain, QImage(10, 20, QImage::Format_RGB32));
  m.formats().noteRatio(known, QImage(10, 20, QImage::Format_RGB32));
  m.formats().noteRatio(cropped, QImage(10, 10, QImage::Format_RGB32));
  QSignalSpy changed(&m, &AppModel::libraryChanged);
  ASSERT_TRUE(changed.wait(2000));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(m.state().artworks.at(plain.id).aspectRatio, 1.5);
  EXPECT_EQ(m.state().artworks.at(known.id).aspectRatio, 2.0);
  EXPECT_FALSE(m.state().artworks.at(cropped.id).aspectRatio);
  EXPECT_EQ((*libraryChanges)(), 0);
}

TEST_F(MeasuringFormats, BulkMeasuringFetchesEightAtATimeAndWritesEveryTwentyFive) {
  auto& m = start();
  std::vector<Artwork> works;
  for (int i = 0; i < 60; ++i) {
    Artwork a = testsupport::work(std::to_string(100 + i), "T" + std::to_string(i));
    a.thumbnailURI = "ipfs://QmThumb" + std::to_string(i);
    works.push_back(a);
  }
  works[0].aspectRatio = 3.0;  // known: not fetched
  own(works);
  const QByteArray png = testsupport::FakeImageSource::png(drawing(QSize(30, 20)));
  std::atomic<int> now{0}, most{0};
  server.otherwise([&](const auto&) {
    const int n = ++now;
    for (int seen = most; n > seen && !most.compare_exchange_weak(seen, n);) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    --now;
    return testsupport::CannedResponse{.status = 200, .body = png.toStdString(), .contentType = "image/png"};
  });
  QSignalSpy changed(&m, &AppModel::libraryChanged);
  QSignalSpy progress(&m.formats(), &SeriesFormats::formatProgressChanged);
  bool finished = false;
  m.formats().measureFormats([&] { finished = true; });
  EXPECT_EQ(m.formats().formatProgress(), (SeriesFormats::Progress{0, 59}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 30'000));
  EXPECT_FALSE(m.formats().formatProgress());
  EXPECT_EQ(progress.count(), 61);
  // A write after 25, after 50 and of the rest at the end; writes in one
  // turn are reported together.
  EXPECT_GE(changed.count(), 1);
  EXPECT_LE(changed.count(), 3);
  EXPECT_LE(most.load(), 8);
  EXPECT_EQ(m.state().artworks.at(works[0].id).aspectRatio, 3.0);
  EXPECT_EQ(m.state().artworks.at(works[59].id).aspectRatio, 1.5);
}

TEST_F(MeasuringFormats, BulkMeasuringWritesOnlyToWorksStillThere) {
  auto& m = start();
  std::vector<Artwork> works;
  for (int i = 0; i < 12; ++i) {
    Artwork a = testsupport::work(std::to_string(200 + i), "R" + std::to_string(i));
    a.thumbnailURI = "ipfs://QmThumb" + std::to_string(i);
    works.push_back(a);
  }
  own(works);
  // Every thumbnail waits until the test lets it go.
  struct Gate {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::mutex mutex;
    std::vector<std::string> asked;  // paths, as they came
  };
  auto gate = std::make_shared<Gate>();
  const std::string png = testsupport::FakeImageSource::png(drawing(QSize(30, 20))).toStdString();
  server.otherwise([gate, png](const testsupport::RecordedRequest& r) {
    {
      std::lock_guard lock(gate->mutex);
      gate->asked.push_back(r.path);
    }
    gate->opened.wait_for(std::chrono::seconds(10));
    return testsupport::CannedResponse{.status = 200, .body = png, .contentType = "image/png"};
  });
  bool finished = false;
  m.formats().measureFormats([&] { finished = true; });
  auto asked = [&] {
    std::lock_guard lock(gate->mutex);
    return gate->asked;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return asked().size() == SeriesFormats::formatWindow; }, 5000));
  std::vector<std::string> fetching, waiting;
  const auto paths = asked();
  for (std::size_t i = 0; i < works.size(); ++i) {
    const std::string tail = "QmThumb" + std::to_string(i);
    const bool out = std::any_of(paths.begin(), paths.end(), [&](const std::string& p) { return p.ends_with(tail); });
    (out ? fetching : waiting).push_back(works[i].id);
  }
  ASSERT_EQ(fetching.size(), SeriesFormats::formatWindow);
  // One work whose thumbnail is under way and one not yet asked for leave;
  // another under way is edited.
  drop({fetching[0], waiting[0]});
  seedLibrary(m, [id = fetching[1]](LibraryState& s) {
    s.artworks.at(id).title = "Renamed";
    s.touch();
  });
  gate->open.set_value();

  ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 10'000));
  EXPECT_FALSE(m.formats().formatProgress());
  EXPECT_FALSE(m.state().artworks.contains(fetching[0]));
  EXPECT_FALSE(m.state().artworks.contains(waiting[0]));
  EXPECT_EQ(m.state().artworks.size(), works.size() - 2);
  EXPECT_EQ(m.state().artworks.at(fetching[1]).title, "Renamed");
  for (const auto& [id, a] : m.state().artworks) EXPECT_EQ(a.aspectRatio, 1.5) << id;
}

TEST_F(MeasuringFormats, StillsAreCachedPerSizeAndBlankOnlyWhenThePageSaysSo) {
  auto& m = start();
  const Artwork work = generative("1", "Glow #1");
  own({work});

  // Missing and not to be computed: nothing, no probe.
  EXPECT_TRUE(still(work, QSizeF(300, 200), false).isNull());
  // Sizes that cannot be a screen are refused before anything loads.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (QSizeF size : {QSizeF(nan, 100), QSizeF(0.5, 100), QSizeF(1e9, 100), QSizeF(-300, 200)}) {
    EXPECT_TRUE(still(work, size).isNull()) << size.width();
  }
  EXPECT_TRUE(still(work, QSizeF(300, 200), true, nan).isNull());
  EXPECT_EQ(started(), 0);

  // The fraction is dropped; two requests share one render.
  QImage a, b;
  bool gotA = false, gotB = false;
  m.formats().renderedStill(work, QSizeF(300.7, 200.2), 2, true, [&](QImage i) { a = i; gotA = true; });
  m.formats().renderedStill(work, QSizeF(300.2, 200.9), 2, true, [&](QImage i) { b = i; gotB = true; });
  ASSERT_TRUE(probesUp(1));
  // Both cache lookups are back before the render answers.
  QThreadPool::globalInstance()->waitForDone();
  QCoreApplication::processEvents();
  EXPECT_EQ(probe->up().front().pixelSize, QSize(300, 200));
  EXPECT_EQ(probe->up().front().scale, 2);
  EXPECT_DOUBLE_EQ(probe->up().front().wait, SeriesFormats::stillMaxWaitSeconds);
  probe->answer(Still{drawing(QSize(300, 200)), Ending::settled});
  ASSERT_TRUE(QTest::qWaitFor([&] { return gotA && gotB; }, 5000));
  EXPECT_EQ(a.size(), QSize(300, 200));
  EXPECT_EQ(b.size(), QSize(300, 200));
  EXPECT_TRUE(m.media().cache().contains("still:" + work.id + ":300x200"));
  EXPECT_EQ(m.media().cache().mime(SeriesFormats::stillKey(work.id, 300, 200)), "image/png");
  EXPECT_EQ(still(work, QSizeF(300, 200), false).size(), QSize(300, 200));
  // Token data naming the still's key is no way to it.
  Artwork forged = work;
  forged.id = "tezos:kt1forged:1";
  forged.mediaKind = MediaKind::image;
  forged.imageURI = SeriesFormats::stillKey(work.id, 300, 200);
  EXPECT_TRUE(m.media().images().image(forged, 300, false).isNull());

  // A still of another size is no answer, and is never stored under the key.
  QImage wrongSize;
  bool gotWrongSize = false;
  m.formats().renderedStill(work, QSizeF(640, 480), 1, true, [&](QImage i) {
    wrongSize = i;
    gotWrongSize = true;
  });
  ASSERT_TRUE(probesUp(1));
  probe->answer(Still{drawing(QSize(320, 240)), Ending::settled});
  ASSERT_TRUE(QTest::qWaitFor([&] { return gotWrongSize; }, 5000));
  EXPECT_TRUE(wrongSize.isNull());
  EXPECT_FALSE(m.media().cache().contains(SeriesFormats::stillKey(work.id, 640, 480)));

  // Blank at a time-out, or settled blank where the engine refused the page
  // WebGL: nothing is stored, the next request renders again.
  QImage white(400, 300, QImage::Format_RGB32);
  white.fill(Qt::white);
  for (const Still& blank : {Still{white, Ending::timedOut}, Still{white, Ending::settledBlank, true}}) {
    bool answered = false;
    m.formats().renderedStill(work, QSizeF(400, 300), 1, true, [&](QImage i) { answered = i.isNull(); });
    ASSERT_TRUE(probesUp(1));
    probe->answer(blank);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 5000));
    EXPECT_FALSE(m.media().cache().contains(SeriesFormats::emptyStillKey(work.id))) << int(blank.ending);
  }
  const int before = probe->started;
  bool gotC = false;
  m.formats().renderedStill(work, QSizeF(400, 300), 1, true, [&](QImage i) { gotC = i.isNull(); });
  ASSERT_TRUE(probesUp(1));
  EXPECT_EQ(probe->started, before + 1);
  EXPECT_FALSE(m.media().cache().contains(SeriesFormats::emptyStillKey(work.id)));

  // Blank after the page said it rendered: marked, for every size.
  probe->answer(Still{white, Ending::rendered});
  ASSERT_TRUE(QTest::qWaitFor([&] { return gotC; }, 5000));
  EXPECT_EQ(m.media().cache().data(SeriesFormats::emptyStillKey(work.id)), "empty");
  EXPECT_EQ(m.media().cache().mime(SeriesFormats::emptyStillKey(work.id)), "text/plain");
  EXPECT_TRUE(still(work, QSizeF(1024, 768)).isNull());
  EXPECT_EQ(probe->started, before + 1);
  // The still cached before the mark is still served.
  EXPECT_EQ(still(work, QSizeF(300, 200)).size(), QSize(300, 200));
  // Kept decoded: served without the cache's file.
  m.media().cache().clear();
  EXPECT_EQ(still(work, QSizeF(300, 200), false).size(), QSize(300, 200));
  // Kept while a display can show it, turned or not; let go once none can.
  m.formats().dropKeptStillsBeyond({QSize(200, 400)});
  EXPECT_EQ(still(work, QSizeF(300, 200), false).size(), QSize(300, 200));
  m.formats().dropKeptStillsBeyond({QSize(1920, 150)});
  EXPECT_TRUE(still(work, QSizeF(300, 200), false).isNull());
}

}  // namespace
}  // namespace tavolune
