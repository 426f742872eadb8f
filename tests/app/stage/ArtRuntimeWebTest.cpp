// The page runtime, the scheme and the rule list in the real web engine.
#include "app/platform/linux/Xcb.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/TavoluneSchemeHandler.hpp"
#include "tests/app/stage/StageFixture.hpp"
#include "tests/app/stage/WebWait.hpp"

#include <QTest>
#include <QOpenGLContext>
#include <QSignalSpy>
#include <QThreadPool>
#include <QUdpSocket>
#include <QWebEngineView>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Linked into the web tier only: Chromium inside Qt WebEngine frees some of
// its own objects with a mismatched sized delete, which AddressSanitizer
// would report against every web test.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::evaluate;
using testsupport::LoopbackServer;
using testsupport::StageMedia;
using testsupport::waitInPage;

// An allowed host and a blocked one, both resolved to loopback, and the
// loopback server's own certificate taken for ipfs.io, which workers need:
// added past the program's seal (which keeps neither) before the engine
// starts.
class HostRules : public ::testing::Environment {
 public:
  void SetUp() override {
    ArtRuntime::addTestSwitches("--ignore-certificate-errors --host-resolver-rules=\"MAP ipfs.io 127.0.0.1, "
                                "MAP *.ipfs.io 127.0.0.1, MAP tracker.example 127.0.0.1\"");
    set = true;
  }
  static inline bool set = false;
};
[[maybe_unused]] const auto* hostRules = ::testing::AddGlobalTestEnvironment(new HostRules);

class ArtRuntimeWebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(HostRules::set);
    ArtRuntime::prepareRules();
    view = std::make_unique<QWebEngineView>();
    page = ArtRuntime::configuration(media.fetcher, view.get());
    // Left unmade at start-up; the engine needs it made before its first page.
    ASSERT_TRUE(QOpenGLContext::globalShareContext() && QOpenGLContext::globalShareContext()->isValid());
    view->setPage(page);
    view->resize(400, 300);
    view->show();
  }
  bool loadAndWait(const QString& url) {
    QSignalSpy finished(page, &QWebEnginePage::loadFinished);
    page->loadArtwork(QUrl(url));
    return finished.wait(15'000) && finished.first().first().toBool();
  }

  StageMedia media;
  std::unique_ptr<QWebEngineView> view;
  ArtPage* page = nullptr;
};

TEST_F(ArtRuntimeWebTest, SchemeServesPageScriptAndData) {
  media.seed("index.html",
             R"(<html><head><script src="empty.js"></script><script src="sketch.js"></script></head><body></body></html>)",
             "text/html");
  media.seed("empty.js", "", "application/javascript");
  media.seed("sketch.js", R"(
    window.results = {runtime: typeof window.__tavolune.pause};
    var x = new XMLHttpRequest(); x.open('GET', 'data.json');
    x.onload = function () { results.xhr = x.status + ' ' + x.responseText; };
    x.onerror = function () { results.xhr = 'error'; }; x.send();
    fetch('data.json').then(function (r) { return r.json(); })
      .then(function (j) { results.fetch = j.n; }, function (e) { results.fetch = 'error ' + e; });
    fetch(new Request(new URL('data.json', location.href).href)).then(function (r) { return r.text(); })
      .then(function (t) { results.absolute = t; });
    fetch('missing.json').then(function () { results.missing = 'resolved'; },
                               function (e) { results.missing = e.name; });
  )", "application/javascript");
  media.seed("data.json", R"({"n":42})", "application/json");
  ASSERT_TRUE(loadAndWait(QString::fromStdString(StageMedia::local("index.html"))));
  ASSERT_TRUE(waitInPage(*page, "window.results && Object.keys(window.results).length === 5"));
  EXPECT_EQ(evaluate(*page, "results.runtime").toString(), "function");
  EXPECT_EQ(evaluate(*page, "results.xhr").toString(), R"(200 {"n":42})");
  EXPECT_EQ(evaluate(*page, "results.fetch").toInt(), 42);
  EXPECT_EQ(evaluate(*page, "results.absolute").toString(), R"({"n":42})");
  EXPECT_EQ(evaluate(*page, "results.missing").toString(), "TypeError");
  // Every answer read to the end, the empty one too, is let go.
  EXPECT_TRUE(QTest::qWaitFor([&] { return page->schemeHandler().inFlight() == 0; }, 5000))
      << page->schemeHandler().inFlight();
  // Scroll bars are styled away in the main frame.
  EXPECT_TRUE(evaluate(*page, "document.head.lastElementChild.textContent.indexOf('overflow:hidden') >= 0").toBool());

  // A path that climbs out of the work is refused, never served, even by a
  // gateway that would answer anything.
  media.gateway.otherwise([](const auto&) { return CannedResponse::text("secret"); });
  media.cache->store("secret", "ipfs/QmOtherWorkOtherWorkOtherWorkOtherWorkOther/secret", "text/plain");
  evaluate(*page, "var t = new XMLHttpRequest(); t.open('GET', 'a%2F..%2F..%2FQmOtherWorkOtherWorkOtherWorkOtherWorkOther"
                  "%2Fsecret'); t.onload = function () { results.climb = t.responseText; };"
                  "t.onerror = function () { results.climb = 'refused'; }; t.send();");
  ASSERT_TRUE(waitInPage(*page, "results.climb !== undefined"));
  EXPECT_EQ(evaluate(*page, "results.climb").toString(), "refused");
  EXPECT_EQ(media.gateway.requestCount(), 1u);  // only missing.json
}

// What the X server shows of the view at p, the user's sight of it.
QColor shownPixel(const QWidget& window, QPoint p) {
  xcb_connection_t* c = xcb::qtConnection();
  const auto cookie = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, xcb_window_t(window.winId()), int16_t(p.x()),
                                    int16_t(p.y()), 1, 1, ~0u);
  std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(xcb_get_image_reply(c, cookie, nullptr), &std::free);
  const auto* d = image ? xcb_get_image_data(image.get()) : nullptr;
  return d ? QColor(d[2], d[1], d[0]) : QColor();
}

// Where this session's only OpenGL is a software rasteriser, as under
// Xvfb, WebGL works draw there; 2D and DOM works keep drawing.
TEST_F(ArtRuntimeWebTest, WorksOfEveryKindDrawOnASoftwareRasteriser) {
  ASSERT_NE(xcb::qtConnection(), nullptr) << "needs QT_QPA_PLATFORM=xcb";
  EXPECT_TRUE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--ignore-gpu-blocklist --disable-gpu-compositing "));
  const std::string gl = R"(<body style="margin:0"><canvas id=c width=400 height=300></canvas><script>
    var gl = document.getElementById('c').getContext('webgl'), p = gl.createProgram();
    function use(vs, fs) { [[gl.VERTEX_SHADER, vs], [gl.FRAGMENT_SHADER, fs]].forEach(function (s) {
      var o = gl.createShader(s[0]); gl.shaderSource(o, s[1]); gl.compileShader(o); gl.attachShader(p, o); });
      gl.linkProgram(p); gl.useProgram(p); }
    function buffer(name, data, size) { gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ARRAY_BUFFER, new Float32Array(data), gl.STATIC_DRAW); var at = gl.getAttribLocation(p, name);
      gl.enableVertexAttribArray(at); gl.vertexAttribPointer(at, size, gl.FLOAT, false, 0, 0); }
    function frames(draw) { (function frame() { draw(); requestAnimationFrame(frame); })(); })";
  const struct {
    const char* name;
    std::string html;
    QPoint at[2];
    QColor shown[2];  // invalid: a warm face of the cube
  } rows[] = {
      {"a full-window shader", gl + R"(use('attribute vec2 a; void main() { gl_Position = vec4(a, 0.0, 1.0); }',
        'precision mediump float; void main() { gl_FragColor = gl_FragCoord.x < 200.0 ? vec4(0.9, 0.15, 0.15, 1.0)'
        + ' : vec4(0.15, 0.8, 0.25, 1.0); }'); buffer('a', [-1, -1, 3, -1, -1, 3], 2);
        frames(function () { gl.drawArrays(gl.TRIANGLES, 0, 3); });</script>)",
       {{100, 150}, {300, 150}}, {QColor(230, 38, 38), QColor(38, 204, 64)}},
      {"a scene: a turning cube under a camera", gl + R"(use('attribute vec3 a; attribute vec3 k; uniform mat4 m;'
        + ' varying vec3 v; void main() { v = k; gl_Position = m * vec4(a, 1.0); }', 'precision mediump float;'
        + ' varying vec3 v; void main() { gl_FragColor = vec4(v, 1.0); }');
        var at = [], colour = [], q = [[-1, -1], [1, -1], [1, 1], [-1, -1], [1, 1], [-1, 1]], t = 0;
        for (var axis = 0; axis < 3; axis++) for (var side = -1; side <= 1; side += 2) for (var i = 0; i < 6; i++) {
          var v = [0, 0, 0]; v[axis] = side; v[(axis + 1) % 3] = q[i][0]; v[(axis + 2) % 3] = q[i][1];
          at.push(v[0], v[1], v[2]); colour.push(0.95, 0.5 + 0.1 * axis, side > 0 ? 0.1 : 0.2); }
        buffer('a', at, 3); buffer('k', colour, 3); gl.enable(gl.DEPTH_TEST); gl.clearColor(0.1, 0.1, 0.3, 1);
        function mul(a, b) { var r = []; for (var i = 0; i < 16; i++) { r[i] = 0;
          for (var k = 0; k < 4; k++) r[i] += a[k * 4 + i % 4] * b[(i >> 2) * 4 + k]; } return r; }
        var camera = [1.3, 0, 0, 0, 0, 1.73, 0, 0, 0, 0, -1, -1, 0, 0, -0.2, 0];
        frames(function () { t += 0.02; var s = Math.sin(t), co = Math.cos(t);
          var model = mul([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -5, 1], mul([co, 0, -s, 0, 0, 1, 0, 0, s, 0, co, 0,
            0, 0, 0, 1], [1, 0, 0, 0, 0, 0.88, 0.48, 0, 0, -0.48, 0.88, 0, 0, 0, 0, 1]));
          gl.uniformMatrix4fv(gl.getUniformLocation(p, 'm'), false, new Float32Array(mul(camera, model)));
          gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT); gl.drawArrays(gl.TRIANGLES, 0, 36); });</script>)",
       {{200, 150}, {10, 10}}, {QColor(), QColor(26, 26, 77)}},
      {"a 2D canvas", R"(<body style="margin:0"><canvas id=c width=400 height=300></canvas><script>
        var g = document.getElementById('c').getContext('2d'); (function frame() { g.fillStyle = '#204080';
        g.fillRect(0, 0, 400, 300); g.fillStyle = '#e0c020'; g.beginPath(); g.arc(200, 150, 60, 0, 7); g.fill();
        requestAnimationFrame(frame); })();</script>)", {{200, 150}, {20, 20}}, {QColor(224, 192, 32), QColor(32, 64, 128)}},
      {"a page of elements", R"(<body style="margin:0;background:#f0e8d8"><div style="margin:100px 150px;height:100px;
        background:#b03050"></div>)", {{200, 150}, {20, 20}}, {QColor(176, 48, 80), QColor(240, 232, 216)}},
  };
  const auto shows = [](const QColor& seen, const QColor& wanted) {
    if (!wanted.isValid()) return seen.red() > 200 && seen.blue() < 80;
    return std::abs(seen.red() - wanted.red()) + std::abs(seen.green() - wanted.green()) +
               std::abs(seen.blue() - wanted.blue()) <= 12;
  };
  for (const auto& row : rows) {
    const QByteArray html = QByteArray::fromStdString("<html>" + row.html + "</html>");
    ASSERT_TRUE(loadAndWait("data:text/html;base64," + QString::fromLatin1(html.toBase64()))) << row.name;
    EXPECT_TRUE(QTest::qWaitFor([&] {
      return shows(shownPixel(*view, row.at[0]), row.shown[0]) && shows(shownPixel(*view, row.at[1]), row.shown[1]);
    }, 20'000)) << row.name << ": " << shownPixel(*view, row.at[0]).name().toStdString() << " "
                << shownPixel(*view, row.at[1]).name().toStdString();
  }
}

TEST_F(ArtRuntimeWebTest, DataDocumentsGetASecureOrigin) {
  const QByteArray html = "<html><body><p id=p>hello</p></body></html>";
  ASSERT_TRUE(loadAndWait("data:text/html;base64," + QString::fromLatin1(html.toBase64())));
  EXPECT_TRUE(page->loadedInline());
  EXPECT_EQ(evaluate(*page, "location.origin").toString(), "https://artwork.tavolune.invalid");
  EXPECT_TRUE(evaluate(*page, "window.isSecureContext").toBool());
  EXPECT_EQ(evaluate(*page, "document.getElementById('p').textContent").toString(), "hello");

  // Past setContent's limit the same document comes through the scheme.
  const QByteArray big = "<html><body><p id=p>big</p><!--" + QByteArray(3 << 20, 'x') + "--></body></html>";
  ASSERT_TRUE(loadAndWait("data:text/html;base64," + QString::fromLatin1(big.toBase64())));
  EXPECT_FALSE(page->loadedInline());
  EXPECT_EQ(evaluate(*page, "document.getElementById('p').textContent").toString(), "big");
  EXPECT_EQ(evaluate(*page, "window.isSecureContext").toBool(), true);

  // Undecodable: handed over as a plain request, which fails.
  EXPECT_FALSE(loadAndWait("data:text/html;base64,%%%"));
}

TEST_F(ArtRuntimeWebTest, OnlyAllowedHostsAreReached) {
  LoopbackServer allowed;
  LoopbackServer blocked;
  const QString a = QString::number(allowed.port());
  const QString b = QString::number(blocked.port());
  const QString page = QStringLiteral(R"(<html><body><script>
    window.done = {};
    function note(k, v) { if (!(k in done)) done[k] = v; }
    function reach(prefix, origin, wsOrigin) {
      var img = new Image(); img.onload = function () { note(prefix + 'img', 'ok'); };
      img.onerror = function () { note(prefix + 'img', 'error'); }; img.src = origin + '/a.png';
      var x = new XMLHttpRequest(); x.open('GET', origin + '/x.json');
      x.onloadend = function () { note(prefix + 'xhr', 'done'); }; x.send();
      try { var ws = new WebSocket(wsOrigin + '/ws');
        ws.onclose = function () { note(prefix + 'ws', 'closed'); };
      } catch (e) { note(prefix + 'ws', 'refused'); }
    }
    reach('a', 'http://sub.ipfs.io:%1', 'ws://ipfs.io:%1');
    reach('b', 'http://tracker.example:%2', 'ws://tracker.example:%2');
    try { new RTCPeerConnection(); done.rtc = 'made'; } catch (e) { done.rtc = 'refused'; }
  </script></body></html>)").arg(a, b);
  allowed.on("GET", "/page.html", CannedResponse{.body = page.toStdString(), .contentType = "text/html"});
  allowed.on("GET", "/a.png", CannedResponse{.body = "", .contentType = "image/png"});
  blocked.otherwise([](const auto&) { return CannedResponse::text("reached"); });

  ASSERT_TRUE(loadAndWait("http://ipfs.io:" + a + "/page.html"));
  ASSERT_TRUE(waitInPage(*this->page, "Object.keys(window.done).length === 7"));
  EXPECT_EQ(evaluate(*this->page, "done.rtc").toString(), "refused");
  ASSERT_TRUE(allowed.waitForRequests(4));
  std::set<std::string> paths;
  for (const auto& r : allowed.requests()) {
    if (r.path != "/favicon.ico") paths.insert(r.path);
  }
  EXPECT_EQ(paths, (std::set<std::string>{"/page.html", "/a.png", "/x.json", "/ws"}));
  EXPECT_EQ(blocked.requestCount(), 0u);
  EXPECT_EQ(blocked.connectionsAccepted(), 0u);
}

// The engine's own wall, not the page runtime's guards: workers, a
// preconnect and a fresh frame's engine-made peer connection all aim at a
// loopback listener, and once each attempt has ended it has seen nothing.
TEST_F(ArtRuntimeWebTest, TheWallHoldsForWorkersPreconnectsAndPeerConnections) {
  LoopbackServer allowed(LoopbackServer::Tls::loopback());
  LoopbackServer listener;  // counts every TCP connection
  QUdpSocket stun;
  ASSERT_TRUE(stun.bind(QHostAddress(QHostAddress::LocalHost), 0));
  const QString target = QStringLiteral("127.0.0.1:%1").arg(listener.port());
  const QString socket = QStringLiteral(R"(
    function attempt(url, report) {
      try { var ws = new WebSocket(url); ws.onclose = function () { report('closed'); }; }
      catch (e) { report('refused'); }
    })");
  allowed.on("GET", "/shared.js",
             CannedResponse{.body = (socket + R"(
    onconnect = function (e) { var port = e.ports[0];
      attempt('ws://%1/shared', function (r) { port.postMessage(r); }); };)").arg(target).toStdString(),
                            .contentType = "text/javascript"});
  allowed.on("GET", "/service.js", CannedResponse{.body = (socket + R"(
    self.addEventListener('message', function (e) {
      attempt('ws://%1/service', function (r) { e.source.postMessage(r); }); });)").arg(target).toStdString(),
                                                  .contentType = "text/javascript"});
  // The frame's constructor is the engine's own: the page runtime has not
  // reached the frame yet, so its guard cannot be what stops it.
  const QString page = QStringLiteral(R"(<html><head></head><body><script>
    window.done = {};
    var link = document.createElement('link'); link.rel = 'preconnect'; link.href = 'http://%1/';
    document.head.appendChild(link);
    var shared = new SharedWorker('shared.js');
    shared.port.onmessage = function (e) { done.shared = e.data; }; shared.port.start();
    navigator.serviceWorker.register('service.js').then(function () { return navigator.serviceWorker.ready; })
      .then(function (reg) {
        navigator.serviceWorker.onmessage = function (e) { done.service = e.data; };
        reg.active.postMessage('go');
      }).catch(function (e) { done.service = 'not registered ' + e; });
    var frame = document.createElement('iframe'); document.body.appendChild(frame);
    try {
      var pc = new frame.contentWindow.RTCPeerConnection({iceServers: [
        {urls: 'turn:%1?transport=tcp', username: 'u', credential: 'p'}, {urls: 'stun:127.0.0.1:%2'}]});
      done.made = true;
      pc.createDataChannel('d');
      pc.onicegatheringstatechange = function () { if (pc.iceGatheringState === 'complete') done.gathered = true; };
      pc.createOffer().then(function (o) { return pc.setLocalDescription(o); })
        .catch(function (e) { done.gathered = 'failed ' + e; });
    } catch (e) { done.made = 'refused ' + e; done.gathered = false; }
  </script></body></html>)").arg(target).arg(stun.localPort());
  allowed.on("GET", "/page.html", CannedResponse{.body = page.toStdString(), .contentType = "text/html"});

  ASSERT_TRUE(loadAndWait("https://ipfs.io:" + QString::number(allowed.port()) + "/page.html"));
  ASSERT_TRUE(waitInPage(*this->page,
                         "done.shared !== undefined && done.service !== undefined && done.gathered !== undefined",
                         60'000));
  EXPECT_EQ(evaluate(*this->page, "done.made").toString(), "true");
  EXPECT_EQ(evaluate(*this->page, "String(done.gathered)").toString(), "true");
  EXPECT_EQ(evaluate(*this->page, "done.shared").toString(), "closed");
  EXPECT_EQ(evaluate(*this->page, "done.service").toString(), "closed");
  EXPECT_EQ(listener.connectionsAccepted(), 0u);
  QCoreApplication::processEvents();
  EXPECT_FALSE(stun.hasPendingDatagrams());
}

// One page's requests never hold every worker: another page still loads
// while the first waits on 64 files its gateway holds.
TEST_F(ArtRuntimeWebTest, AHostilePageLeavesWorkersForAnother) {
  // Shared with the gateway's threads, which may still answer the hostile
  // page's queued requests after this body has returned.
  struct Gate {
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
  };
  const auto gate = std::make_shared<Gate>();
  const std::shared_ptr<void> atEnd(nullptr, [gate](void*) {
    {
      std::lock_guard hold(gate->lock);
      gate->release = true;
    }
    gate->released.notify_all();
  });
  media.seed("index.html", "<html><body>hostile</body></html>", "text/html");
  media.gateway.otherwise([gate](const auto& r) {
    if (r.path.find("/hold") != std::string::npos) {
      std::unique_lock hold(gate->lock);
      gate->released.wait(hold, [&] { return gate->release; });
      return CannedResponse::text("late");
    }
    return CannedResponse{.body = "<html><body>second</body></html>", .contentType = "text/html"};
  });
  ASSERT_TRUE(loadAndWait(QString::fromStdString(StageMedia::local("index.html"))));
  evaluate(*page, "for (var i = 0; i < 64; i++) fetch('hold' + i + '.js').catch(function () {});");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return media.gateway.requestCount() == TavoluneSchemeHandler::maxRunning; }, 10'000));

  QWebEngineView otherView;
  ArtPage* other = ArtRuntime::configuration(media.fetcher, &otherView);
  otherView.setPage(other);
  otherView.resize(200, 200);
  otherView.show();
  QSignalSpy finished(other, &QWebEnginePage::loadFinished);
  other->loadArtwork(QUrl(QStringLiteral("tavolune://local/ipfs/QmSecondWork/index.html")));
  ASSERT_TRUE(finished.wait(15'000));
  EXPECT_TRUE(finished.first().first().toBool());
  EXPECT_EQ(evaluate(*other, "document.body.textContent").toString(), "second");
  // The hostile page's rest still waits its turn, unfetched.
  EXPECT_EQ(page->schemeHandler().running(), TavoluneSchemeHandler::maxRunning);
  EXPECT_EQ(media.gateway.requests("GET", "/ipfs/" + std::string(testsupport::stageCID) + "/hold9.js").size(), 0u);
}

TEST_F(ArtRuntimeWebTest, APagePastItsByteBudgetsGetsNoMoreFiles) {
  constexpr int fileBytes = 20 * 1024;
  media.seed("index.html", "<html><body>budget</body></html>", "text/html");
  media.gateway.otherwise([](const auto& r) {
    return CannedResponse{.body = std::string(r.path.ends_with("big.bin") ? 3 * fileBytes : fileBytes, 'x'),
                          .contentType = "application/octet-stream"};
  });
  page->setDownloadBudget(std::make_shared<ByteBudget>(5 * fileBytes));
  QSignalSpy spent(&page->schemeHandler(), &TavoluneSchemeHandler::budgetSpent);
  const auto fetchInTurn = [&](const QString& names) {
    // One after another, so that the count is exact.
    evaluate(*page, QStringLiteral(R"(window.got = 0; window.failed = 0; window.names = %1;
      (function next(i) {
        if (i === names.length) return;
        var x = new XMLHttpRequest(); x.open('GET', names[i]);
        x.onload = function () { x.status === 200 ? got++ : failed++; next(i + 1); };
        x.onerror = function () { failed++; next(i + 1); }; x.send();
      })(0);)").arg(names));
    return waitInPage(*page, "window.got + window.failed === window.names.length");
  };
  ASSERT_TRUE(loadAndWait(QString::fromStdString(StageMedia::local("index.html"))));
  // 4 files of 5 fit; the next one, three times as large, is cut off, not
  // stored, and spends the rest: nothing further is asked for.
  ASSERT_TRUE(fetchInTurn(R"(['f0.bin', 'f1.bin', 'f2.bin', 'f3.bin', 'big.bin', 'f4.bin', 'f5.bin'])"));
  EXPECT_EQ(evaluate(*page, "got").toInt(), 4);
  EXPECT_EQ(media.gateway.requestCount(), 5u);
  EXPECT_FALSE(media.cache->contains("ipfs/" + std::string(testsupport::stageCID) + "/big.bin"));
  EXPECT_EQ(spent.count(), 1);

  // A new load of the same page downloads nothing more, and what it is
  // served from the cache counts too.
  page->setLoadBudget(2 * fileBytes + 100);
  ASSERT_TRUE(loadAndWait(QString::fromStdString(StageMedia::local("index.html"))));
  const std::size_t asked = media.gateway.requestCount();
  ASSERT_TRUE(fetchInTurn(R"(['f6.bin', 'f1.bin', 'f2.bin', 'f3.bin'])"));
  EXPECT_EQ(evaluate(*page, "got").toInt(), 2);
  EXPECT_EQ(media.gateway.requestCount(), asked);
}

// Serves a file of fileBytes to every request and counts the body bytes
// the kernel took from it: what the page's fetches moved. Each connection
// sends through a small buffer, so that little waits on this side.
class CountingServer {
 public:
  explicit CountingServer(std::int64_t fileBytes) : fileBytes_(fileBytes) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 64);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    HTTPClient::allowLocalServer("127.0.0.1", port_);
    acceptor_ = std::thread([this] {
      while (true) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        std::lock_guard lock(mutex_);
        ++open_;
        connections_.push_back(fd);
        threads_.emplace_back([this, fd] { serve(fd); });
      }
    });
  }
  ~CountingServer() {
    HTTPClient::forgetLocalServer("127.0.0.1", port_);
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    ::close(listener_);
    {
      std::lock_guard lock(mutex_);
      for (int fd : connections_) ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& t : threads_) t.join();
  }
  std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // Each connection's send buffer as the kernel sizes it.
  std::int64_t sendBuffer() const { return sendBuffer_; }
  // Body bytes sent once no connection is open any more.
  std::optional<std::int64_t> sentOnceIdle() {
    std::unique_lock lock(mutex_);
    if (!idle_.wait_for(lock, std::chrono::seconds(30), [&] { return open_ == 0; })) return std::nullopt;
    return sent_.load();
  }

 private:
  void serve(int fd) {
    const int small = 64 << 10;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    int actual = 0;
    socklen_t size = sizeof actual;
    ::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &actual, &size);
    sendBuffer_ = actual;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const auto n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      request.append(buffer, std::size_t(n));
    }
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(fileBytes_) + "\r\nConnection: close\r\n\r\n";
    bool open = ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) == ssize_t(head.size());
    const std::string piece(64 << 10, 'x');
    for (std::int64_t left = fileBytes_; open && left > 0;) {
      const auto n = ::send(fd, piece.data(), std::size_t(std::min<std::int64_t>(left, std::int64_t(piece.size()))),
                            MSG_NOSIGNAL);
      if (n <= 0) break;
      sent_ += n;
      left -= n;
    }
    std::lock_guard lock(mutex_);
    ::close(fd);
    connections_.erase(std::find(connections_.begin(), connections_.end(), fd));
    if (--open_ == 0) idle_.notify_all();
  }

  const std::int64_t fileBytes_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<std::int64_t> sent_{0};
  std::atomic<std::int64_t> sendBuffer_{0};
  std::thread acceptor_;
  std::mutex mutex_;
  std::condition_variable idle_;
  int open_ = 0;
  std::vector<int> connections_;
  std::vector<std::thread> threads_;
};

// The most one TCP receive buffer of this machine grows to.
std::int64_t receiveBufferMax() {
  std::ifstream in("/proc/sys/net/ipv4/tcp_rmem");
  std::int64_t least = 0, initial = 0, most = 0;
  in >> least >> initial >> most;
  return most;
}

// A page that asks again and again for a file past its budget moves no
// more than the budget: what a cut-off download moved stays counted.
TEST_F(ArtRuntimeWebTest, APageAskingForAHugeFileMovesAtMostItsBudget) {
  constexpr std::int64_t fileBytes = std::int64_t{100} << 20;
  constexpr std::int64_t budget = std::int64_t{64} << 20;
  constexpr int asks = 20;
  CountingServer server(fileBytes);
  ContentFetcher fetcher = media.fetcher;
  fetcher.gateways = {server.baseURL()};
  auto* hungry = ArtRuntime::configuration(fetcher, view.get());
  view->setPage(hungry);
  page = hungry;
  media.seed("index.html", "<html><body>hungry</body></html>", "text/html");
  hungry->setDownloadBudget(std::make_shared<ByteBudget>(budget));
  ASSERT_TRUE(loadAndWait(QString::fromStdString(StageMedia::local("index.html"))));
  evaluate(*hungry, QStringLiteral(R"(window.got = 0; window.failed = 0;
    for (var i = 0; i < %1; i++) {
      var x = new XMLHttpRequest(); x.open('GET', 'huge' + i + '.bin');
      x.onload = function () { this.status === 200 ? got++ : failed++; };
      x.onerror = function () { failed++; }; x.send();
    })").arg(asks));
  ASSERT_TRUE(waitInPage(*hungry, QStringLiteral("window.got + window.failed === %1").arg(asks), 60'000));
  EXPECT_EQ(evaluate(*hungry, "got").toInt(), 0);
  const auto sent = server.sentOnceIdle();
  ASSERT_TRUE(sent);
  // Past the budget, each download running at that moment may still have
  // moved what fills the page's receive buffer and the server's send
  // buffer (each may overshoot by one loopback segment of at most 64 KiB),
  // and the piece libcurl read and was refused.
  const std::int64_t perDownload = receiveBufferMax() + server.sendBuffer() + 2 * 65536 + CURL_MAX_WRITE_SIZE;
  EXPECT_LE(*sent, budget + std::int64_t(TavoluneSchemeHandler::maxRunning) * perDownload);
  // All but the refused piece was taken, so the downloads did run.
  EXPECT_GE(*sent, budget - CURL_MAX_WRITE_SIZE);
}

TEST_F(ArtRuntimeWebTest, AbandonedAndExcessRequests) {
  media.seed("index.html", "<html><body>wait</body></html>", "text/html");
  media.gateway.otherwise([](const auto&) { return CannedResponse::text("late").after(std::chrono::seconds(60)); });
  ASSERT_TRUE(loadAndWait(QString::fromStdString(StageMedia::local("index.html"))));
  const int excess = 20;
  const int total = int(TavoluneSchemeHandler::maxInFlight) + excess;
  evaluate(*page, QStringLiteral("window.failed = 0; for (var i = 0; i < %1; i++) {"
                                 "var x = new XMLHttpRequest(); x.open('GET', 'slow' + i + '.js');"
                                 "x.onerror = function () { failed++; }; x.send(); }").arg(total));
  // The excess fails at once; the rest waits on the gateway.
  ASSERT_TRUE(waitInPage(*page, QStringLiteral("window.failed === %1").arg(excess)));
  EXPECT_EQ(page->schemeHandler().inFlight(), TavoluneSchemeHandler::maxInFlight);
  ASSERT_TRUE(QTest::qWaitFor([&] { return media.gateway.requestCount() > 0; }, 5000));

  // Gone before the gateway answers: the fetches stop while it still holds
  // every answer back.
  view.reset();
  EXPECT_TRUE(QTest::qWaitFor([] { return TavoluneSchemeHandler::pool().activeThreadCount() == 0; }, 30'000));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace tavolune
