// The off-screen probe on pages served from a seeded cache: measuring,
// stills, the waits, and the window nobody sees.
#include "app/model/ProbeQueue.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/LayoutProbe.hpp"
#include "app/stage/OffscreenProbes.hpp"
#include "tests/app/stage/StageFixture.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::StageMedia;
using Ending = ProbeService::Ending;

const char* fixedCanvas = R"html(<html><body style="margin:0;background:rgb(32,64,96)">
<canvas width=800 height=600 style="display:block"></canvas></body></html>)html";
const char* fullCanvas = R"html(<html><body style="margin:0">
<canvas style="display:block;width:100vw;height:100vh"></canvas></body></html>)html";
// 100 CSS pixels of red at the left, blue elsewhere.
const char* twoColours = R"html(<html><body style="margin:0;background:rgb(0,0,255)">
<div style="width:100px;height:100vh;background:rgb(255,0,0)"></div></body></html>)html";
const char* flagged = R"html(<html><body style="margin:0;background:rgb(0,160,0)">
<script>setTimeout(function () { window.__tavoluneRendered = true; }, 50);</script></body></html>)html";
const char* blank = R"html(<html><body style="margin:0;background:#fff"></body></html>)html";
// Blank here, where the engine refuses WebGL.
const char* webgl = R"html(<html><body style="margin:0;background:#fff"><canvas id=c></canvas>
<script>var gl = document.getElementById('c').getContext('webgl');
if (gl) { gl.clearColor(1, 0, 0, 1); gl.clear(gl.COLOR_BUFFER_BIT); }</script></body></html>)html";
// Blank while it waits for a file the slow gateway holds back.
const char* waiting = R"html(<html><body style="margin:0;background:#fff">
<script>fetch('held.json').then(function () { document.body.style.background = 'red'; });</script></body></html>)html";
// Each load takes 3 s: long enough that the sanitizer build's slower engine
// still finishes the first load well inside the time-out below.
const char* busy = R"html(<html><body style="margin:0"><canvas width=800 height=600></canvas>
<script>var t = Date.now(); while (Date.now() - t < 3000) {}</script></body></html>)html";
// Each load waits for an image the gateway answers late.
const char* slowImage = R"html(<html><body style="margin:0"><canvas width=800 height=600></canvas>
<script>document.write('<img src="late.png?' + Math.random() + '">');</script></body></html>)html";

Artwork page(const std::string& path, MediaKind kind = MediaKind::generative) {
  Artwork a;
  a.id = "tezos:kt1:" + path;
  a.mediaKind = kind;
  a.animationURI = "ipfs://" + std::string(testsupport::stageCID) + "/" + path;
  return a;
}

class LayoutProbeWebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ArtRuntime::prepareRules();
    media.seed("fixed.html", fixedCanvas, "text/html");
    media.seed("full.html", fullCanvas, "text/html");
    media.seed("two.html", twoColours, "text/html");
    media.seed("flagged.html", flagged, "text/html");
    media.seed("blank.html", blank, "text/html");
    media.seed("webgl.html", webgl, "text/html");
    media.seed("waiting.html", waiting, "text/html");
    media.seed("slow.html", slowImage, "text/html");
    media.seed("busy.html", busy, "text/html");
    media.seed("spins-loaded.html", "<script>onload = () => setTimeout(() => { for (;;) {} }, 200);</script>",
               "text/html");
    media.seed("spins-parsed.html", "<script>for (;;) {}</script>", "text/html");
  }

  std::optional<RenderProfile> measure(LayoutProbe& probe, const Artwork& a, double settle = 0.3) {
    bool answered = false;
    std::optional<RenderProfile> profile;
    probe.measure(a, settle, [&](std::optional<RenderProfile> p) {
      answered = true;
      profile = std::move(p);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 60'000));
    return profile;
  }

  ProbeService::Still still(LayoutProbe& probe, const Artwork& a, QSize size, double scale, double maxWait) {
    bool answered = false;
    ProbeService::Still result;
    probe.renderStill(a, size, scale, maxWait, [&](ProbeService::Still s) {
      answered = true;
      result = std::move(s);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 60'000));
    return result;
  }

  StageMedia media;
};

TEST_F(LayoutProbeWebTest, MeasuresFixedAndResponsivePagesAndSkipsOtherWorks) {
  {
    LayoutProbe probe(media.fetcher);
    const auto profile = measure(probe, page("fixed.html"));
    ASSERT_TRUE(profile);
    EXPECT_EQ(probe.samples().size(), 2u);
    ASSERT_TRUE(profile->layout.isFixed());
    EXPECT_NEAR(profile->layout.ratio, 4.0 / 3.0, 1e-9);
    ASSERT_TRUE(profile->background);
    EXPECT_NEAR(profile->background->b, 96 / 255.0, 1e-9);
    EXPECT_EQ(probe.samples()[0].vw, 1600);
    EXPECT_EQ(probe.samples()[1].vw, 1000);
    EXPECT_EQ(probe.view(), nullptr);
  }
  {
    LayoutProbe probe(media.fetcher);
    const auto profile = measure(probe, page("full.html"));
    ASSERT_TRUE(profile);
    EXPECT_TRUE(profile->layout.isResponsive());
  }
  {
    LayoutProbe probe(media.fetcher);
    EXPECT_FALSE(measure(probe, page("fixed.html", MediaKind::video)));
    EXPECT_EQ(probe.pagesLoaded(), 0);
  }
}

// With the refusing proxy unavailable, neither job runs the work's page:
// the gateway that serves it hears nothing, and a still render fails, which
// leaves the work its fetched still.
TEST_F(LayoutProbeWebTest, WhileTheSealIsAtFaultNoPageLoads) {
  const auto before = ArtRuntime::sealFault();
  ArtRuntime::setSealFault(ArtRuntime::seal("", 0).fault);
  const Artwork fromGateway = page("unseeded.html");
  LayoutProbe stills(media.fetcher);
  const ProbeService::Still s = still(stills, fromGateway, QSize(320, 240), 1.0, 2);
  LayoutProbe measuring(media.fetcher);
  const auto profile = measure(measuring, fromGateway);
  // Nor does a page asked directly, which would show a data: URL at once.
  const std::unique_ptr<ArtPage> direct(ArtRuntime::configuration(media.fetcher));
  direct->loadArtwork(QUrl(QStringLiteral("data:text/html,<p>work</p>")));
  ArtRuntime::setSealFault(before);
  EXPECT_FALSE(direct->loadedInline());
  EXPECT_TRUE(s.image.isNull());
  EXPECT_EQ(s.ending, Ending::failed);
  EXPECT_FALSE(profile);
  EXPECT_EQ(stills.pagesLoaded() + measuring.pagesLoaded(), 0);
  EXPECT_TRUE(media.gateway.requests().empty());
}

TEST_F(LayoutProbeWebTest, EachLoadHasItsOwnTimeOut) {
  {
    LayoutProbe warm(media.fetcher);  // the engine's first page is slow
    ASSERT_TRUE(measure(warm, page("fixed.html"), 0));
  }
  // Every load takes 3 s; the first load's 6 s time-out would fall in the
  // middle of the second.
  LayoutProbe::Timings timings;
  timings.loadTimeout = std::chrono::milliseconds(6000);
  LayoutProbe probe(media.fetcher, timings);
  const auto profile = measure(probe, page("busy.html"), 0.2);
  ASSERT_TRUE(profile);
  EXPECT_EQ(probe.samples().size(), 2u);
  EXPECT_TRUE(profile->layout.isFixed());

  // A load that never finishes gives up after its own time-out: had the
  // probe waited for the image, both loads would have finished and measured.
  media.gateway.otherwise([](const auto&) {
    return CannedResponse::text("late", 404).after(std::chrono::seconds(20));
  });
  timings.loadTimeout = std::chrono::milliseconds(5000);
  LayoutProbe stuck(media.fetcher, timings);
  EXPECT_FALSE(measure(stuck, page("slow.html"), 0.1));
  EXPECT_EQ(stuck.pagesLoaded(), 2);
  EXPECT_FALSE(stuck.ranOutOfTime());  // waiting for the gateway, not hung
}

// Jobs on pages that hang once loaded or as parsed end by their deadlines
// with nothing, their render processes gone, and free their slots.
TEST_F(LayoutProbeWebTest, JobsOnHungPagesEndAndTheNextOneRuns) {
  using std::chrono::milliseconds;
  ProbeQueue queue(std::make_unique<OffscreenProbes>(
      media.fetcher, LayoutProbe::Timings{.loadTimeout = milliseconds(8000), .deadlineMargin = milliseconds(4000)}));
  int ranOut = 0, none = 0;
  queue.onRanOutOfTime = [&](const Artwork&) { ++ranOut; };
  for (const char* path : {"spins-loaded.html", "spins-parsed.html"}) {
    queue.measure(page(path), 0.3, [&](auto p) { none += !p; });
    queue.renderStill(page(path), {200, 120}, 1, 3, [&](auto s) { none += s.image.isNull(); });
  }
  QImage next;  // queued behind them
  queue.renderStill(page("two.html"), {200, 120}, 1, 3, [&](auto s) { next = s.image; });
  std::set<qint64> renderers;  // of every probe's page
  const auto spot = [&] {
    for (auto* w : QApplication::topLevelWidgets()) {
      if (auto* v = qobject_cast<QWebEngineView*>(w)) renderers.insert(v->page()->renderProcessPid());
    }
    return none == 4 && !next.isNull();
  };
  ASSERT_TRUE(QTest::qWaitFor(spot, 120'000)) << none;
  EXPECT_EQ(ranOut, 4);
  renderers.erase(0);
  EXPECT_GE(renderers.size(), 4u);
  const auto gone = [](qint64 pid) { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); };
  EXPECT_TRUE(QTest::qWaitFor([&] { return std::ranges::all_of(renderers, gone); }, 30'000));
}

TEST_F(LayoutProbeWebTest, StillsAreTakenAtExactlyTheAskedSizeFromAWindowNobodySees) {
  QWidget focused;
  focused.show();
  focused.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&focused, 5000));

  LayoutProbe probe(media.fetcher);
  bool answered = false;
  ProbeService::Still result;
  const QSize size(301, 203);
  probe.renderStill(page("two.html"), size, 2.0, 10, [&](ProbeService::Still s) {
    answered = true;
    result = std::move(s);
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return probe.view() != nullptr; }, 5000));
  const auto flags = probe.view()->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::X11BypassWindowManagerHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
  EXPECT_EQ(probe.view()->pos(), QPoint(LayoutProbe::offscreenOrigin, LayoutProbe::offscreenOrigin));
  const QRect screens = QGuiApplication::primaryScreen()->virtualGeometry();
  EXPECT_FALSE(screens.intersects(probe.view()->geometry()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 30'000));

  EXPECT_EQ(result.ending, Ending::settled);
  EXPECT_EQ(result.image.size(), size);
  // 100 CSS pixels at scale 2 are 200 pixels: the page drew, at its zoom.
  EXPECT_EQ(result.image.pixelColor(190, 100), QColor(255, 0, 0));
  EXPECT_EQ(result.image.pixelColor(210, 100), QColor(0, 0, 255));
  EXPECT_EQ(QApplication::activeWindow(), &focused);
  EXPECT_EQ(probe.view(), nullptr);
}

TEST_F(LayoutProbeWebTest, StillWaits) {
  // Too small: 10 points a side loads nothing; 11 does.
  {
    LayoutProbe probe(media.fetcher);
    EXPECT_TRUE(still(probe, page("flagged.html"), QSize(20, 20), 2, 5).image.isNull());
    EXPECT_EQ(probe.pagesLoaded(), 0);
  }
  for (const auto& [size, scale] : {std::pair{QSize(0, 100), 1.0}, {QSize(100000, 100), 1.0},
                                    {QSize(100, 100), std::nan("")}, {QSize(100, 100), -1.0}}) {
    LayoutProbe probe(media.fetcher);
    EXPECT_TRUE(still(probe, page("flagged.html"), size, scale, 5).image.isNull());
    EXPECT_EQ(probe.pagesLoaded(), 0) << size.width() << " at " << scale;
  }
  {
    // Taken on the page's word, not at the end of its 10 s.
    LayoutProbe probe(media.fetcher);
    const auto s = still(probe, page("flagged.html"), QSize(22, 22), 2, 10);
    EXPECT_EQ(s.ending, Ending::rendered);
    EXPECT_EQ(s.image.size(), QSize(22, 22));
    EXPECT_EQ(s.image.pixelColor(11, 11), QColor(0, 160, 0));
  }
  // WebGL is refused where the engine runs without the GPU; here it draws in software otherwise.
  const bool refusing = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").split(' ').contains("--disable-gpu");
  for (const auto& [path, refused] : {std::pair{"blank.html", false}, {"webgl.html", refusing}}) {
    // A blank page is taken only when the time is up; one refused WebGL says so.
    LayoutProbe probe(media.fetcher);
    QElapsedTimer clock;
    clock.start();
    const auto s = still(probe, page(path), QSize(200, 120), 1, 3.5);
    EXPECT_GE(clock.elapsed(), 3500) << path;
    EXPECT_EQ(s.ending, Ending::settledBlank) << path;
    EXPECT_EQ(s.image.size(), QSize(200, 120)) << path;
    EXPECT_EQ(s.webGLRefused, refused) << path;
  }
  {
    // Still waiting for the gateway: a time-out, not a blank page.
    media.gateway.otherwise([](const auto&) { return CannedResponse::text("{}").after(std::chrono::seconds(8)); });
    LayoutProbe probe(media.fetcher);
    const auto s = still(probe, page("waiting.html"), QSize(200, 120), 1, 3.5);
    EXPECT_EQ(s.ending, Ending::timedOut);
  }
  {
    // With maxWait under the first wait, the first look takes it: a time-out
    // where more looks would have found the page settled.
    LayoutProbe probe(media.fetcher);
    const auto s = still(probe, page("two.html"), QSize(200, 120), 1, 0.5);
    EXPECT_EQ(s.ending, Ending::timedOut);
    EXPECT_EQ(s.image.size(), QSize(200, 120));
  }
}

}  // namespace
}  // namespace tavolune
