// The stage with live content: status sequences, pausing and freezing, and
// races against a delayed gateway.
#include "app/platform/linux/Xcb.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/ArtStageView.hpp"
#include "app/stage/GifView.hpp"
#include "app/stage/PlayerView.hpp"
#include "tests/app/stage/StageFixture.hpp"
#include "tests/app/stage/WebWait.hpp"
#include "tests/support/TinyGif.hpp"

#include <QAudioOutput>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTimer>
#include <QThreadPool>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::LoopbackServer;
using testsupport::StageMedia;
using Status = ArtStageView::Status;
using Kind = Status::Kind;

const std::string& gifBytes = testsupport::tinyGif();

const char* animatedPage = R"(<html><body style="margin:0;background:#123456">
<canvas id=c width=200 height=150></canvas><script>
var g = document.getElementById('c').getContext('2d'), n = 0;
function draw() { n++; g.fillStyle = 'rgb(' + (n * 5 % 255) + ',80,40)'; g.fillRect(0, 0, 200, 150);
  requestAnimationFrame(draw); }
draw();
</script></body></html>)";

Artwork page(const std::string& uri) {
  Artwork a;
  a.id = "tezos:kt1:" + uri;
  a.mediaKind = MediaKind::generative;
  a.animationURI = uri;
  return a;
}

Artwork gif(const std::string& uri) {
  Artwork a;
  a.id = "tezos:kt1:" + uri;
  a.mediaKind = MediaKind::image;
  a.mime = "image/gif";
  a.imageURI = uri;
  return a;
}

// What the X server shows of a top-level widget at (x, y): the user's view,
// which a grab of the widget would not be.
QColor shownPixel(const QWidget& window, int x, int y) {
  xcb_connection_t* c = xcb::qtConnection();
  std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
      xcb_get_image_reply(c,
                          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, xcb_window_t(window.winId()), int16_t(x),
                                        int16_t(y), 1, 1, ~0u),
                          nullptr),
      &std::free);
  if (!image) return {};
  const auto* d = xcb_get_image_data(image.get());
  return QColor(d[2], d[1], d[0]);
}

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 && std::abs(a.blue() - b.blue()) <= 3;
}

class ArtStageWebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ArtRuntime::prepareRules();
    stage = std::make_unique<ArtStageView>(media.fetcher);
    stage->resize(400, 300);
    stage->show();
    stage->onStatusChange = [this](const Status& s) { seen.push_back(s); };
  }
  bool waitFor(Kind kind, int ms = 15'000) {
    return QTest::qWaitFor([&] { return stage->status().kind == kind; }, ms);
  }
  int gifViews() const { return int(stage->findChildren<GifView*>().size()); }

  StageMedia media;
  std::unique_ptr<ArtStageView> stage;
  std::vector<Status> seen;
};

TEST_F(ArtStageWebTest, PagePlaysPausesAsAStillAndResumes) {
  media.seed("index.html", animatedPage, "text/html");
  QElapsedTimer clock;
  clock.start();
  stage->load(page("ipfs://" + std::string(testsupport::stageCID) + "/index.html"));
  ASSERT_TRUE(waitFor(Kind::playing));
  EXPECT_GE(clock.elapsed(), ArtStageView::loadedStepMs);
  EXPECT_EQ(seen, (std::vector{Status::loading(), Status::playing()}));
  EXPECT_FALSE(stage->stillVisible());

  stage->pause();
  EXPECT_EQ(seen.back(), Status::paused());
  // The paused page is the still, the page itself hidden and frozen.
  ASSERT_FALSE(stage->stillImage().isNull());
  EXPECT_EQ(stage->stillImage().pixelColor(100, 75).green(), 80);
  EXPECT_TRUE(stage->stillVisible());
  EXPECT_FALSE(stage->webView()->isVisible());
  EXPECT_EQ(stage->page()->lifecycleState(), QWebEnginePage::LifecycleState::Frozen);

  stage->resume();
  EXPECT_EQ(seen.back(), Status::playing());
  EXPECT_EQ(stage->page()->lifecycleState(), QWebEnginePage::LifecycleState::Active);
  EXPECT_TRUE(stage->webView()->isVisible());
  EXPECT_FALSE(stage->stillVisible());
  stage->resume();  // playing: nothing
  stage->release();  // not paused: nothing
  EXPECT_EQ(seen.size(), 4u);

  // Released while paused: only the still is left; resume loads afresh.
  stage->pause();
  stage->release();
  EXPECT_EQ(stage->webView(), nullptr);
  EXPECT_EQ(stage->status().kind, Kind::paused);
  EXPECT_TRUE(stage->isReleased());
  stage->resume();
  EXPECT_EQ(seen.back(), Status::loading());
  ASSERT_TRUE(waitFor(Kind::playing));

  const auto count = seen.size();
  stage->stop();
  EXPECT_EQ(stage->status().kind, Kind::idle);
  EXPECT_EQ(seen.size(), count);  // no callback
  EXPECT_EQ(stage->webView(), nullptr);
}

// Without a GPU (the virtual display), where the engine refuses WebGL: each
// page draws over the stage's matte (or the frame's mat) whatever its body's
// background; a work refused WebGL that draws anything of its own of a real
// size, however late, plays; one that shows nothing but its backgrounds, text,
// boxes round its canvas, shadows and small panels fails and keeps its still.
TEST_F(ArtStageWebTest, EachPageShowsItsOwnColoursOnScreen) {
  const QColor still(200, 0, 200), matte(48, 80, 160), red(192, 48, 32), green(32, 192, 64), cyan(40, 200, 220),
      orange(230, 140, 20), white(255, 255, 255), body(17, 17, 17), mat(209, 209, 209), canvasBackground(32, 48, 64),
      black(0, 0, 0), paper(200, 190, 170), ink(206, 196, 176);
  struct Row {
    const char* name;
    const char* body;
    Kind kind;
    QColor left, right;
    Placement placement = Placement::fullBleed();
    bool late = false;  // draws its first frame long after load: runs beside the others
  };
  const auto inFrame = Placement::inFrame(FrameStyle::galleryWhite, 1.5);
  const Row rows[] = {
      {"opaque body", R"(<body style="margin:0;background:#c03020"></body>)", Kind::playing, red, red},
      {"transparent body", R"(<body style="margin:0;background:transparent">
         <div style="width:50%;height:100vh;background:#20c040"></div></body>)",
       Kind::playing, green, matte},
      {"transparent body in a frame", R"(<body style="margin:0;background:transparent">
         <div style="width:50%;height:100vh;background:#20c040"></div></body>)",
       Kind::playing, green, mat, inFrame},
      {"canvas each frame", R"(<body style="margin:0;background:#111"><canvas id=c style="display:block"></canvas>
         <script>var c = document.getElementById('c'), g = c.getContext('2d'), n = 0;
         c.width = innerWidth; c.height = innerHeight;
         (function draw() { g.fillStyle = 'rgb(40,200,' + (219 + n++ % 2) + ')'; g.fillRect(0, 0, c.width, c.height);
           requestAnimationFrame(draw); })();</script></body>)",
       Kind::playing, cyan, cyan},
      {"webgl probe then 2d", R"(<body style="margin:0;background:#111"><canvas id=c style="display:block"></canvas>
         <script>var c = document.getElementById('c');
         c.width = innerWidth; c.height = innerHeight;
         var g = c.getContext('webgl') || c.getContext('2d');
         if (g.clearColor) { g.clearColor(230 / 255, 140 / 255, 20 / 255, 1); g.clear(g.COLOR_BUFFER_BIT); }
         else { g.fillStyle = 'rgb(230,140,20)'; g.fillRect(0, 0, c.width, c.height); }</script></body>)",
       Kind::playing, orange, orange},
      {"2d, then a webgl probe", R"(<body style="margin:0;background:#111"><script>
         var c = document.createElement('canvas'); c.style.display = 'block';
         c.width = innerWidth; c.height = innerHeight; document.body.appendChild(c);
         var g = c.getContext('2d'); g.fillStyle = 'rgb(230,140,20)'; g.fillRect(0, 0, c.width, c.height);
         setTimeout(function () { window.probed = document.createElement('canvas').getContext('webgl'); }, 300);
         </script></body>)",
       Kind::playing, orange, orange},
      {"svg once its data came", R"(<body style="margin:0;background:#111"><script>
         document.createElement('canvas').getContext('webgl');
         fetch('late.json').then(function (r) { return r.json(); }).then(function (d) {
           document.body.innerHTML = '<svg width="100%" height="100%" style="position:fixed"><rect width="50%"'
             + ' height="100%" fill="' + d.fill + '"/></svg>'; });</script></body>)",
       Kind::playing, green, body},
      {"css after a refusal", R"(<body style="margin:0;background:#111"><script>
         document.createElement('canvas').getContext('webgl');
         var d = document.createElement('div'); d.style.cssText = 'width:50%;height:100vh;background:#c03020';
         document.body.appendChild(d);</script></body>)",
       Kind::playing, red, body},
      {"2d well after load", R"(<body style="margin:0;background:#111"><script>
         document.createElement('canvas').getContext('webgl');
         addEventListener('load', function () { setTimeout(function () {
           var c = document.createElement('canvas'); c.style.display = 'block';
           c.width = innerWidth; c.height = innerHeight; document.body.appendChild(c);
           var g = c.getContext('2d'); g.fillStyle = '#28c8dc'; g.fillRect(0, 0, c.width, c.height); }, 1500); });
         </script></body>)",
       Kind::playing, cyan, cyan},
      {"a helper frame probes webgl", R"(<body style="margin:0;background:#111">
         <iframe src="probe-frame.html" style="position:fixed;width:1px;height:1px;border:0"></iframe>
         <div style="width:50%;height:100vh;background:#20c040"></div></body>)",
       Kind::playing, green, body},
      {"webgl", R"(<body style="margin:0;background:#111"><canvas id=c width=400 height=300></canvas>
         <script>var gl = document.getElementById('c').getContext('webgl');
         if (gl) { gl.clearColor(0, 1, 0, 1); gl.clear(gl.COLOR_BUFFER_BIT); }</script></body>)",
       Kind::failed, still, still},
      {"webgl canvas with its own background", R"(<body style="margin:0;background:#111">
         <canvas id=c style="display:block;width:100vw;height:100vh;background:#203040"></canvas>
         <script>var gl = document.getElementById('c').getContext('webgl');
         if (gl) { gl.clearColor(0, 1, 0, 1); gl.clear(gl.COLOR_BUFFER_BIT); }</script></body>)",
       Kind::failed, still, still},
      {"2d canvas with its own background after a webgl refusal", R"(<body style="margin:0;background:#111">
         <canvas id=c style="display:block;width:100vw;height:100vh;background:#203040"></canvas>
         <script>var c = document.getElementById('c'); c.width = innerWidth; c.height = innerHeight;
         var g = c.getContext('webgl') || c.getContext('2d');
         g.fillStyle = '#20c040'; g.fillRect(0, 0, c.width / 2, c.height);</script></body>)",
       Kind::playing, green, canvasBackground},
      {"webgl on a body with margins over another root colour",
       R"(<style>html{background:#000}</style><body style="margin:40px;height:220px;background:#fff">
         <canvas id=c width=100 height=100></canvas>
         <script>document.getElementById('c').getContext('webgl');</script></body>)",
       Kind::failed, still, still},
      {"a smaller webgl canvas with its own background over another body", R"(<body style="margin:0;background:#111">
         <canvas id=c style="display:block;width:50vw;height:50vh;margin:25vh 25vw;background:#203040"></canvas>
         <script>document.getElementById('c').getContext('webgl');</script></body>)",
       Kind::failed, still, still},
      {"a small shape on a page of two backdrops after a webgl refusal",
       R"(<style>html{background:#000}</style><body style="margin:40px;height:220px;background:#fff">
         <div style="position:fixed;left:80px;top:120px;width:120px;height:100px;background:#c03020"></div>
         <script>document.createElement('canvas').getContext('webgl');</script></body>)",
       Kind::playing, red, white},
      {"an image after a webgl refusal", R"(<body style="margin:0;background:#111">
         <img style="display:block;width:100vw;height:100vh" src="data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg'
         viewBox='0 0 2 1' preserveAspectRatio='none'%3E%3Crect width='1' height='1' fill='%2320c040'/%3E%3C/svg%3E">
         <script>document.createElement('canvas').getContext('webgl');</script></body>)",
       Kind::playing, green, body},
      {"webgl that writes a line where it is refused", R"(<body style="margin:0;background:#000"><script>
         if (!document.createElement('canvas').getContext('webgl')) document.body.innerHTML = '<div style="font:13px '
           + 'monospace;background:#fff;padding:1.5em;width:300px;margin:5em auto 0;box-shadow:0 2px 9px #888">'
           + 'Your graphics card does not seem to support <a href="#">WebGL</a></div>';</script></body>)",
       Kind::failed, still, still},
      {"webgl that shows a rounded, shadowed card of notes", R"(<body style="margin:0;background:#eee"><script>
         document.createElement('canvas').getContext('webgl'); document.body.innerHTML = '<div style="margin:40px;'
           + 'padding:20px;background:#fff;border-radius:12px;box-shadow:0 4px 20px #0008;filter:drop-shadow(0 0 6px red);">'
           + '<h1 style="text-shadow:0 0 8px #00f">Sorry</h1><ul><li>No WebGL</li></ul><button>Retry</button></div>';
         </script></body>)",
       Kind::failed, still, still},
      {"webgl beside a frame-rate panel", R"(<body style="margin:0;background:#111"><canvas id=c width=400 height=300>
         </canvas><div style="position:fixed;top:0;left:0;opacity:.9"><canvas id=p width=80 height=48></canvas></div>
         <script>document.getElementById('c').getContext('webgl'); var g = document.getElementById('p').getContext('2d');
         g.fillStyle = '#002'; g.fillRect(0, 0, 80, 48); g.fillStyle = '#0ff'; g.fillText('60 FPS', 3, 10);</script>)",
       Kind::failed, still, still},
      {"a refused canvas with a shadow, in a bordered box of its own colour", R"(<body style="margin:0;background:#111">
         <div style="width:70vw;height:70vh;margin:15vh auto;background:#2a4060;border:3px solid #eee;outline:2px
         dashed #c03020"><canvas id=c style="display:block;width:60%;height:60%;margin:auto;box-shadow:0 9px 40px
         #fff"></canvas></div><script>document.getElementById('c').getContext('webgl');</script></body>)",
       Kind::failed, still, still},
      {"webgl in a frame filling the page", R"(<body style="margin:0;background:#111">
         <iframe src="webgl-frame.html" style="display:block;width:100vw;height:100vh;border:0"></iframe></body>)",
       Kind::failed, still, still},
      {"webgl in a clear frame with its own background", R"(<body style="margin:0;background:#111">
         <iframe src="webgl-clear-frame.html" style="display:block;width:100vw;height:100vh;border:0;background:#203040">
         </iframe></body>)",
       Kind::failed, still, still},
      {"webgl in a worker", R"(<body style="margin:0;background:#111"><canvas id=c width=400 height=300></canvas>
         <script>var off = document.getElementById('c').transferControlToOffscreen();
         new Worker('webgl-worker.js').postMessage(off, [off]);</script></body>)",
       Kind::failed, still, still},
      {"2d in a worker", R"(<body style="margin:0;background:#111"><canvas id=c width=400 height=300></canvas>
         <script>var off = document.getElementById('c').transferControlToOffscreen();
         new Worker('twod-worker.js').postMessage(off, [off]);</script></body>)",
       Kind::playing, red, red},
      {"sparse stars after a webgl refusal", R"(<body style="margin:0;background:#000"><canvas id=c style="display:block">
         </canvas><script>document.createElement('canvas').getContext('webgl');
         var c = document.getElementById('c'), g = c.getContext('2d'); c.width = innerWidth; c.height = innerHeight;
         g.fillStyle = '#fff'; for (var i = 0; i < 9; i++) g.fillRect(20 + i * 41, 30 + i * 7, 2, 2);</script></body>)",
       Kind::playing, black, black},
      {"a tonal study a few levels off its ground", R"(<body style="margin:0;background:#c8beaa">
         <canvas id=c style="display:block"></canvas><script>document.createElement('canvas').getContext('webgl');
         var c = document.getElementById('c'), g = c.getContext('2d'); c.width = innerWidth; c.height = innerHeight;
         g.fillStyle = 'rgb(206,196,176)'; g.fillRect(0, 0, c.width / 2, c.height);</script></body>)",
       Kind::playing, ink, paper},
      {"a first frame 8 s after load", R"(<body style="margin:0;background:#111"><canvas id=c style="display:block">
         </canvas><script>document.createElement('canvas').getContext('webgl');
         var c = document.getElementById('c'), g = c.getContext('2d'); c.width = innerWidth; c.height = innerHeight;
         addEventListener('load', function () { setTimeout(function () {
           g.fillStyle = '#28c8dc'; g.fillRect(0, 0, c.width, c.height); }, 8000); });</script></body>)",
       Kind::playing, cyan, cyan, Placement::fullBleed(), true},
      {"webgl over a gradient body on an image root", R"(<style>html{background:url(ground.svg)}</style>
         <body style="margin:40px;height:220px;background:linear-gradient(#203040,#c03020);">
         <canvas id=c width=100 height=100></canvas><script>document.getElementById('c').getContext('webgl');</script>
         </body>)",
       Kind::failed, still, still},
      {"webgl in a window-filling element of its own colour", R"(<body style="margin:0;background:#111">
         <div style="position:fixed;inset:0;background:#2a2a40"><canvas id=c width=400 height=300></canvas></div>
         <script>document.getElementById('c').getContext('webgl');</script></body>)",
       Kind::failed, still, still},
      {"webgl on a semi-transparent body", R"(<body style="margin:0;background:#c8c8c880">
         <canvas id=c width=400 height=300></canvas><script>document.getElementById('c').getContext('webgl');</script>
         </body>)",
       Kind::failed, still, still},
      {"webgl hung in a frame", R"(<body style="margin:0;background:transparent"><canvas id=c></canvas>
         <script>document.getElementById('c').getContext('webgl');</script></body>)",
       Kind::failed, still, still, inFrame},
  };
  media.seed("ground.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="20">
    <rect width="10" height="10" fill="#c03020"/></svg>)", "image/svg+xml");
  media.seed("probe-frame.html", "<html><body><script>document.createElement('canvas').getContext('webgl');"
             "</script></body></html>", "text/html");
  media.seed("webgl-frame.html", R"(<html><body style="margin:0;background:#2a2a40"><canvas id=c width=400 height=300>
    </canvas><script>var gl = document.getElementById('c').getContext('webgl');
    if (gl) { gl.clearColor(0, 1, 0, 1); gl.clear(gl.COLOR_BUFFER_BIT); }</script></body></html>)", "text/html");
  media.seed("webgl-clear-frame.html", R"(<html><body style="margin:0"><canvas id=c width=400 height=300></canvas>
    <script>document.getElementById('c').getContext('webgl');</script></body></html>)", "text/html");
  media.seed("webgl-worker.js", R"(onmessage = function (e) { var gl = e.data.getContext('webgl');
    if (gl) { gl.clearColor(0, 1, 0, 1); gl.clear(gl.COLOR_BUFFER_BIT); } };)", "text/javascript");
  media.seed("twod-worker.js", R"(onmessage = function (e) { var g = e.data.getContext('2d');
    g.fillStyle = '#c03020'; g.fillRect(0, 0, 400, 300); };)", "text/javascript");
  media.gateway.on("GET", "/ipfs/" + std::string(testsupport::stageCID) + "/late.json",
                   CannedResponse{.body = R"({"fill":"#20c040"})", .contentType = "application/json"}.after(
                       std::chrono::milliseconds(1500)));
  QImage picture(40, 30, QImage::Format_RGB32);
  picture.fill(still);
  ASSERT_NE(xcb::qtConnection(), nullptr) << "needs QT_QPA_PLATFORM=xcb";
  ASSERT_TRUE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--disable-gpu")) << "run alone, as CTest does";
  stage->setLayerBackground(matte);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(stage.get()));
  // A late row runs beside the others, on a stage of its own.
  ArtStageView beside(media.fetcher);
  beside.setGeometry(420, 0, 400, 300);
  beside.setLayerBackground(matte);
  beside.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&beside));
  std::optional<bool> stillWhileJudged;
  for (const Row& row : rows) {
    std::string name = std::string(row.name) + ".html";
    std::replace_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == ','; }, '-');
    media.seed(name, std::string("<html>") + row.body + "</html>", "text/html");
    if (row.late) {
      beside.apply(row.placement);
      beside.setStillImage(picture);
      beside.load(page("ipfs://" + std::string(testsupport::stageCID) + "/" + name));
      // Past the time a page showing only its ground is judged: still waiting, the still in sight.
      QTimer::singleShot(ArtStageView::loadedStepMs + DrawVerdict::settleMs + 1500, &beside, [&] {
        stillWhileJudged = beside.status().kind == Kind::loading && near(shownPixel(beside, 100, 150), still);
      });
      continue;
    }
    stage->apply(row.placement);
    stage->setStillImage(picture);
    seen.clear();
    stage->load(page("ipfs://" + std::string(testsupport::stageCID) + "/" + name));
    // While it loads, the still is what shows.
    EXPECT_TRUE(QTest::qWaitFor([&] { return near(shownPixel(*stage, 100, 150), still); }, 5000))
        << row.name << ": " << shownPixel(*stage, 100, 150).name().toStdString();
    ASSERT_TRUE(waitFor(row.kind)) << row.name;

    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return near(shownPixel(*stage, 100, 150), row.left) && near(shownPixel(*stage, 300, 150), row.right); },
        5000))
        << row.name << ": " << shownPixel(*stage, 100, 150).name().toStdString() << " "
        << shownPixel(*stage, 300, 150).name().toStdString();
    if (row.kind == Kind::failed) {
      EXPECT_EQ(seen, (std::vector{Status::loading(), Status::failed(ArtStageView::cannotDrawMessage)})) << row.name;
    }
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return beside.status().kind == Kind::playing; }, 15'000));
  EXPECT_EQ(stillWhileJudged, true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return near(shownPixel(beside, 100, 150), cyan); }, 5000));
}

// Paused before it played, before or after its page loaded, a work resumes
// loading, its page off the stage and its still in sight, until it plays.
TEST_F(ArtStageWebTest, AWorkPausedWhileLoadingResumesLoading) {
  const std::string body = R"(<html><body style="background:#c03020"></body></html>)";
  media.gateway.on("GET", "/ipfs/QmLatePage/index.html",
                   CannedResponse{.body = body, .contentType = "text/html"}.after(std::chrono::milliseconds(800)));
  media.seed("index.html", body, "text/html");
  QImage picture(4, 3, QImage::Format_RGB32);
  picture.fill(Qt::magenta);
  for (const bool loadedFirst : {false, true}) {
    stage->setStillImage(picture);
    seen.clear();
    stage->load(page(loadedFirst ? "ipfs://" + std::string(testsupport::stageCID) + "/index.html"
                                 : "ipfs://QmLatePage/index.html"));
    if (loadedFirst) {
      QSignalSpy finished(stage->page(), &QWebEnginePage::loadFinished);
      ASSERT_TRUE(finished.wait(10'000));
    }
    stage->pause();
    stage->resume();
    EXPECT_EQ(stage->status(), Status::loading()) << loadedFirst;
    EXPECT_TRUE(stage->stillVisible()) << loadedFirst;
    EXPECT_FALSE(stage->webView()->geometry().intersects(stage->rect())) << loadedFirst;
    ASSERT_TRUE(waitFor(Kind::playing)) << loadedFirst;
    EXPECT_EQ(seen, (std::vector{Status::loading(), Status::paused(), Status::loading(), Status::playing()}))
        << loadedFirst;
  }
}

// A failed page, missing or spinning as it is parsed, is released behind
// its still; so is a spinning page whose work leaves the stage.
TEST_F(ArtStageWebTest, AFailedOrDepartedPageIsReleasedBehindItsStill) {
  media.gateway.otherwise([](const auto&) { return CannedResponse::text("gone", 404); });
  media.seed("spins.html", "<script>for (;;) {}</script>", "text/html");
  ASSERT_NE(xcb::qtConnection(), nullptr) << "needs QT_QPA_PLATFORM=xcb";
  ASSERT_TRUE(QTest::qWaitForWindowExposed(stage.get()));
  stage->setWatchdogMs(4000);
  QImage picture(4, 3, QImage::Format_RGB32);
  picture.fill(QColor(40, 200, 120));
  for (const auto& [path, leaves] : {std::pair{"missing.html", false}, {"spins.html", false}, {"spins.html", true}}) {
    stage->setStillImage(picture);
    stage->load(page("ipfs://" + std::string(testsupport::stageCID) + "/" + path));
    qint64 pid = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          if (auto* p = stage->page()) pid = p->renderProcessPid();
          return leaves ? pid > 0 : stage->status().kind == Kind::failed;
        },
        25'000));
    if (leaves) stage->showStill(picture);
    EXPECT_EQ(stage->status().message.isEmpty(), leaves) << path;
    EXPECT_EQ(stage->page(), nullptr) << path;
    EXPECT_TRUE(pid > 0 || path != std::string("spins.html"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); }, 20'000)) << path;
    EXPECT_TRUE(near(shownPixel(*stage, 200, 150), QColor(40, 200, 120))) << path;
    stage->pause();
    EXPECT_EQ(stage->status().kind, leaves ? Kind::idle : Kind::failed) << path;
  }
}

TEST_F(ArtStageWebTest, APageThatNeverFinishesTimesOut) {
  media.gateway.otherwise([](const auto&) { return CannedResponse::text("late").after(std::chrono::seconds(25)); });
  const int watchdogMs = 3000;
  stage->setWatchdogMs(watchdogMs);
  QElapsedTimer clock;
  clock.start();
  stage->load(page("ipfs://QmNeverAnswers/index.html"));
  ASSERT_TRUE(waitFor(Kind::failed, 25'000));
  EXPECT_GE(clock.elapsed(), watchdogMs * 95 / 100);  // a coarse timer may fire 5 % early
  EXPECT_LT(clock.elapsed(), ArtStageView::watchdogMs);  // the shortened one, not the default
  EXPECT_EQ(seen, (std::vector{Status::loading(), Status::failed("loading timed out")}));
}

TEST_F(ArtStageWebTest, TheNextWorkWinsOverALateOne) {
  // A is answered late; B comes from the cache.
  media.gateway.on("GET", "/ipfs/QmSlow/a.gif",
                   CannedResponse{.body = gifBytes, .contentType = "image/gif"}.after(std::chrono::milliseconds(800)));
  media.cache->store(gifBytes, "ipfs://QmFast/b.gif", "image/gif");
  stage->load(gif("ipfs://QmSlow/a.gif"));
  stage->load(gif("ipfs://QmFast/b.gif"));
  ASSERT_TRUE(waitFor(Kind::playing));
  // A's fetch was stopped, or ends late: either way nothing of it shows.
  QThreadPool::globalInstance()->waitForDone(5000);
  QCoreApplication::processEvents();
  EXPECT_EQ(seen, (std::vector{Status::loading(), Status::loading(), Status::playing()}));
  EXPECT_EQ(stage->artwork()->id, gif("ipfs://QmFast/b.gif").id);
  EXPECT_EQ(gifViews(), 1);

  // The same work twice around a stop installs one player.
  stage->load(gif("ipfs://QmFast/b.gif"));
  stage->stop();
  stage->load(gif("ipfs://QmFast/b.gif"));
  ASSERT_TRUE(waitFor(Kind::playing));
  QThreadPool::globalInstance()->waitForDone(5000);
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(gifViews(), 1);
}

TEST_F(ArtStageWebTest, AFetchEndingAfterPauseAndReleaseStaysStill) {
  media.gateway.on("GET", "/ipfs/QmSlow/a.gif",
                   CannedResponse{.body = gifBytes, .contentType = "image/gif"}.after(std::chrono::milliseconds(500)));
  stage->load(gif("ipfs://QmSlow/a.gif"));
  stage->pause();
  stage->release();
  QThreadPool::globalInstance()->waitForDone(5000);
  QCoreApplication::processEvents();
  EXPECT_EQ(stage->status().kind, Kind::paused);
  EXPECT_EQ(stage->gifView(), nullptr);
  EXPECT_EQ(seen, (std::vector{Status::loading(), Status::paused()}));

  // Paused (not released) while the bytes come: installed, but not playing.
  stage->resume();
  ASSERT_TRUE(waitFor(Kind::playing));
  stage->stop();
  media.gateway.on("GET", "/ipfs/QmSlow/c.gif",
                   CannedResponse{.body = gifBytes, .contentType = "image/gif"}.after(std::chrono::milliseconds(300)));
  stage->load(gif("ipfs://QmSlow/c.gif"));
  stage->pause();
  ASSERT_TRUE(QTest::qWaitFor([&] { return stage->gifView() != nullptr; }, 5000));
  EXPECT_FALSE(stage->gifView()->isVisible());
  EXPECT_FALSE(stage->gifView()->isAnimating());
  EXPECT_EQ(stage->status().kind, Kind::paused);
  // It never played: it goes on loading, and plays after its loaded step.
  stage->resume();
  EXPECT_TRUE(stage->gifView()->isVisible());
  EXPECT_EQ(stage->status().kind, Kind::loading);
  EXPECT_TRUE(waitFor(Kind::playing));
}

TEST_F(ArtStageWebTest, AnEarlyFinishDoesNotReportTheNextWorkPlaying) {
  media.seed("index.html", animatedPage, "text/html");
  media.gateway.on("GET", "/ipfs/QmSlowPage/index.html",
                   CannedResponse{.body = animatedPage, .contentType = "text/html"}.after(std::chrono::seconds(2)));
  stage->load(page("ipfs://" + std::string(testsupport::stageCID) + "/index.html"));
  QSignalSpy finished(stage->page(), &QWebEnginePage::loadFinished);
  ASSERT_TRUE(finished.wait(10'000));
  // A's loaded step is running; B starts within its 0.6 s.
  stage->load(page("ipfs://QmSlowPage/index.html"));
  QSignalSpy changes(stage.get(), &ArtStageView::statusChanged);
  EXPECT_FALSE(changes.wait(1200));
  EXPECT_EQ(stage->status().kind, Kind::loading);
  ASSERT_TRUE(waitFor(Kind::playing));
}

// Clips made by GStreamer's own encoders (two solid videotestsrc runs joined
// by concat, 32 x 24 at 10 fps), one colour for the first half and another
// for the second: the first seen again after the second is a loop.
struct Clip {
  const char *name, *file, *mime;
  QColor first, second;
  int ms;
};

// Lossy codecs shift a solid colour a little.
bool close(const QColor& a, const QColor& b) {
  return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())}) <= 24;
}

TEST_F(ArtStageWebTest, VideoLoopsMutedAndPauses) {
  const Clip clips[] = {
      {"VP8 in WebM, 1 s", "loop-vp8.webm", "video/webm", QColor(208, 48, 32), QColor(32, 64, 208), 1000},
      {"VP9 in WebM, 2 s", "loop-vp9.webm", "video/webm", QColor(32, 160, 64), QColor(192, 32, 192), 2000},
      {"H.264 in MP4, 3 s", "loop-h264.mp4", "video/mp4", QColor(192, 192, 32), QColor(32, 32, 160), 3000},
      {"H.264 in QuickTime, 2 s", "loop-h264.mov", "video/quicktime", QColor(32, 192, 192), QColor(160, 32, 32), 2000},
  };
  const QColor grey(128, 128, 128);
  QImage still(8, 8, QImage::Format_RGB32);
  still.fill(grey);
  const auto shown = [&] { return shownPixel(*stage, 200, 150); };
  for (const Clip& clip : clips) {
    for (int run = 1; run <= 2; ++run) {
      const std::string row = std::string(clip.name) + ", run " + std::to_string(run);
      QFile file(QStringLiteral(TAVOLUNE_APP_TEST_DATA "/") + QString::fromUtf8(clip.file));
      ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << row;
      const std::string uri = std::string("ipfs://QmClip/") + clip.file;
      media.cache->store(file.readAll().toStdString(), uri, clip.mime);
      Artwork video;
      video.id = uri + "#" + std::to_string(run);
      video.mediaKind = MediaKind::video;
      video.animationURI = uri;
      stage->showStill(still);
      ASSERT_TRUE(QTest::qWaitFor([&] { return shown() == grey; })) << row;
      seen.clear();
      stage->load(video);
      // The still stays in sight until the work plays.
      bool stillWhileLoading = true;
      ASSERT_TRUE(QTest::qWaitFor([&] {
        if (stage->status().kind == Kind::loading && shown() != grey) stillWhileLoading = false;
        return stage->status().kind != Kind::loading;
      })) << row;
      EXPECT_TRUE(stillWhileLoading) << row;
      ASSERT_EQ(seen, (std::vector{Status::loading(), Status::playing()})) << row;
      // Over two lengths of the clip: only its colours, and a loop.
      int others = 0;
      bool second = false, looped = false;
      QElapsedTimer watched;
      watched.start();
      while (watched.elapsed() < 2 * clip.ms + 1000) {
        const QColor c = shown();
        if (close(c, clip.second)) {
          second = true;
        } else if (close(c, clip.first)) {
          looped = looped || second;
        } else {
          ++others;
        }
        QTest::qWait(30);
      }
      EXPECT_TRUE(looped) << row;
      EXPECT_LE(others, 2) << row << ": a picture of neither colour";
      ASSERT_NE(stage->player(), nullptr) << row;
      EXPECT_EQ(stage->player()->loops(), QMediaPlayer::Infinite) << row;
      EXPECT_TRUE(stage->player()->audioOutput()->isMuted()) << row;
      stage->pause();
      EXPECT_EQ(stage->player()->playbackState(), QMediaPlayer::PausedState) << row;
      EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == grey; })) << row << ": the still while paused";
      stage->resume();
      EXPECT_EQ(stage->player()->playbackState(), QMediaPlayer::PlayingState) << row;
      EXPECT_TRUE(QTest::qWaitFor([&] { return close(shown(), clip.first) || close(shown(), clip.second); }))
          << row << ": the video again";
    }
  }
}

// Started by main where the platform has no OpenGL: the player has its file
// as its view is made, never after the view's wait for graphics.
TEST_F(ArtStageWebTest, VideoPlaysAtOnceWithoutOpenGL) {
  if (qgetenv("QT_XCB_GL_INTEGRATION") != "none") GTEST_SKIP() << "runs alone, as CTest runs it";
  ASSERT_FALSE(PlayerView::graphicsCanCome());
  QFile file(QStringLiteral(TAVOLUNE_APP_TEST_DATA "/loop-vp9.webm"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  media.cache->store(file.readAll().toStdString(), "ipfs://QmClip/loop-vp9.webm", "video/webm");
  Artwork video;
  video.mediaKind = MediaKind::video;
  video.animationURI = "ipfs://QmClip/loop-vp9.webm";
  stage->load(video);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stage->playerView() != nullptr; }));
  QSignalSpy readied(stage->playerView(), &PlayerView::pictureReadied);
  EXPECT_FALSE(stage->player()->source().isEmpty());
  ASSERT_TRUE(waitFor(Kind::playing));
  EXPECT_EQ(readied.count(), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return close(shownPixel(*stage, 200, 150), QColor(32, 160, 64)); }));
}

TEST_F(ArtStageWebTest, VideosThePlayerCannotOpenFail) {
  Artwork inline_;
  inline_.mediaKind = MediaKind::video;
  inline_.animationURI = "data:video/mp4;base64,AAAAGGZ0eXBtcDQy";
  stage->load(inline_);
  ASSERT_TRUE(waitFor(Kind::failed));
  EXPECT_EQ(stage->status().message, "no video");

  // A playlist saved as a video would have the player fetch what it lists.
  LoopbackServer segments;
  Artwork playlist = inline_;
  playlist.animationURI = "ipfs://QmPlaylist/v.mp4";
  media.cache->store("#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\n" + segments.url("/s0.ts") + "\n#EXT-X-ENDLIST\n",
                     "ipfs://QmPlaylist/v.mp4", "video/mp4");
  QImage still(8, 8, QImage::Format_RGB32);
  still.fill(Qt::darkCyan);
  stage->showStill(still);
  seen.clear();
  stage->load(playlist);
  ASSERT_TRUE(waitFor(Kind::failed));
  EXPECT_EQ(seen, (std::vector{Status::loading(), Status::failed("not a video the player can open")}));
  EXPECT_TRUE(stage->stillVisible());
  EXPECT_EQ(stage->player(), nullptr) << "no player was made";
  EXPECT_EQ(segments.connectionsAccepted(), 0u);
}

}  // namespace
}  // namespace tavolune
