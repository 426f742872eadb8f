// The stage without live content: placements, layout, stills and the
// operations that must do nothing in the wrong state.
#include "app/render/FrameRenderer.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/ArtStageView.hpp"
#include "app/stage/DrawVerdict.hpp"
#include "app/stage/NetworkRules.hpp"
#include "tests/app/stage/StageFixture.hpp"

#include <QNetworkProxy>
#include <QPainter>
#include <QSignalSpy>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

namespace tavolune {
namespace {

using testsupport::StageMedia;
using Kind = ArtStageView::Status::Kind;

QRectF expectedQt(const Rect& r, double height) { return r.toQt(height); }

TEST(ArtStageViewLayout, PlacementsAgainstTheRenderers) {
  StageMedia media;
  ArtStageView view(media.fetcher);
  view.resize(800, 500);

  view.apply(Placement::framed(2.0, Framing::passePartout));
  EXPECT_EQ(view.artRect(), expectedQt(WallpaperComposer::artRect(2.0, {0, 0, 800, 500}, Framing::passePartout), 500));
  EXPECT_FALSE(view.surroundVisible());

  // Hung in a frame: the art rectangle of the frame's layout, turned y-down.
  view.apply(Placement::inFrame(FrameStyle::naturalOak, 0.5));
  const auto layout = FrameRenderer::layout(FrameStyle::naturalOak, 0.5, {0, 0, 800, 500});
  EXPECT_EQ(view.artRect(), expectedQt(layout.art, 500));
  EXPECT_TRUE(view.surroundVisible());
  EXPECT_EQ(view.surroundKey(), "naturalOak|0.5|800x500|2");  // in no window: scale 2
  EXPECT_EQ(view.surroundImage().size(), QSize(1600, 1000));
  EXPECT_DOUBLE_EQ(view.aspect(), 0.5);

  view.apply(Placement::inFrame(FrameStyle::galleryWhite, std::nullopt));
  EXPECT_EQ(view.surroundKey(), "galleryWhite|0|800x500|2");
  EXPECT_DOUBLE_EQ(view.aspect(), 0.5);  // no ratio: the aspect stays

  view.apply(Placement::fullBleed());
  EXPECT_EQ(view.artRect(), QRectF(0, 0, 800, 500));
  EXPECT_FALSE(view.surroundVisible());
  EXPECT_TRUE(view.fullBleed());
}

TEST(ArtStageViewLayout, AsymmetricLayoutIsFlipped) {
  // A rectangle low in y-up coordinates sits low on screen too.
  StageMedia media;
  ArtStageView view(media.fetcher);
  view.resize(600, 1000);
  view.apply(Placement::inFrame(FrameStyle::museumLight, 1.0));
  const auto art = FrameRenderer::layout(FrameStyle::museumLight, 1.0, {0, 0, 600, 1000}).art;
  EXPECT_DOUBLE_EQ(view.artRect().bottom(), 1000 - art.minY());
  EXPECT_DOUBLE_EQ(view.artRect().top(), 1000 - art.maxY());
}

TEST(ArtStageViewLayout, ZeroWidthDrawsNoSurroundUntilItGrows) {
  StageMedia media;
  ArtStageView view(media.fetcher);
  view.resize(0, 300);
  view.apply(Placement::inFrame(FrameStyle::blackFloat, 1.5));
  EXPECT_TRUE(view.surroundKey().isEmpty());
  EXPECT_TRUE(view.surroundImage().isNull());
  view.resize(300, 300);
  view.relayout();  // a hidden widget gets its resize event only when shown
  EXPECT_EQ(view.surroundKey(), "blackFloat|1.5|300x300|2");
  const QImage drawn = view.surroundImage();
  view.relayout();  // same key: the bitmap is kept, not redrawn
  EXPECT_EQ(view.surroundImage().cacheKey(), drawn.cacheKey());
}

TEST(ArtStageViewStill, StillsAspectsAndIdleOperations) {
  StageMedia media;
  ArtStageView view(media.fetcher);
  view.resize(400, 400);
  QSignalSpy changes(&view, &ArtStageView::statusChanged);

  QImage wide(300, 100, QImage::Format_ARGB32_Premultiplied);
  wide.fill(Qt::red);
  view.showStill(wide);
  EXPECT_TRUE(view.stillVisible());
  EXPECT_DOUBLE_EQ(view.aspect(), 3.0);
  EXPECT_EQ(view.status().kind, Kind::idle);

  view.showStill(std::nullopt);
  EXPECT_FALSE(view.stillVisible());
  EXPECT_EQ(view.status().kind, Kind::idle);

  // After a placement neither stills nor works change the aspect.
  view.apply(Placement::framed(0.75, Framing::fit));
  view.showStill(wide);
  EXPECT_DOUBLE_EQ(view.aspect(), 0.75);

  // Nothing to pause, resume or release while idle.
  view.pause();
  view.resume();
  view.release();
  EXPECT_EQ(view.status().kind, Kind::idle);
  EXPECT_EQ(changes.count(), 0);
}

TEST(ArtStageViewStill, WorksThatFailAtOnce) {
  StageMedia media;
  ArtStageView view(media.fetcher);
  Artwork video;
  video.mediaKind = MediaKind::video;
  Artwork gif;
  gif.mediaKind = MediaKind::image;
  gif.mime = "image/gif";
  Artwork page;
  page.mediaKind = MediaKind::generative;
  page.animationURI = "not a uri at all";
  const std::vector<std::pair<Artwork, QString>> cases{
      {video, "no video"}, {gif, "no image"}, {page, "no page to display"}};
  for (const auto& [work, message] : cases) {
    std::vector<ArtStageView::Status> seen;
    view.onStatusChange = [&](const ArtStageView::Status& s) { seen.push_back(s); };
    view.load(work);
    EXPECT_EQ(seen, (std::vector{ArtStageView::Status::loading(), ArtStageView::Status::failed(message)}));
    // Pause, resume and release do nothing after a failure.
    view.pause();
    view.resume();
    view.release();
    EXPECT_EQ(seen.size(), 2u);
  }
}

// Read as Qt splits the variable and Chromium trims and parses each argument.
// A look of the page, 96 by 54 as the stage takes it: a white body inset in a
// black root, with whatever a row paints over it.
TEST(ArtStageViewStill, ALookShowsNothingOnlyInItsBackdrops) {
  const QColor black(0, 0, 0), white(255, 255, 255), red(192, 48, 32);
  struct Row {
    const char* name;
    std::function<void(QPainter&)> paint;
    std::vector<QColor> backdrops;
    bool nothing;
  };
  const auto none = [](QPainter&) {};
  const Row rows[] = {
      {"root and body", none, {black, white}, true},
      {"root and body, near their colours", [](QPainter& p) { p.fillRect(0, 0, 96, 10, QColor(8, 8, 8)); },
       {black, white}, true},
      {"one blended row", [](QPainter& p) { p.fillRect(0, 10, 96, 1, QColor(128, 128, 128)); }, {black, white}, true},
      {"a small shape of its own", [&](QPainter& p) { p.fillRect(40, 20, 12, 12, red); }, {black, white}, false},
      {"only one of them a backdrop", none, {white}, false},
      {"the probe's own: two colours", none, {}, false},
      {"the probe's own: one colour", [&](QPainter& p) { p.fillRect(0, 0, 96, 54, white); }, {}, true},
  };
  for (const Row& row : rows) {
    QImage look(96, 54, QImage::Format_RGB32);
    look.fill(black);
    {
      QPainter p(&look);
      p.fillRect(10, 10, 76, 34, white);
      row.paint(p);
    }
    const bool nothing = row.backdrops.empty() ? WallpaperComposer::looksEmpty(WallpaperComposer::thumbprint(look))
                                               : DrawVerdict::showsNothing(look, row.backdrops);
    EXPECT_EQ(nothing, row.nothing) << row.name;
  }
}

// The verdict on a page refused WebGL from its frames' reports and three
// agreeing shots of a 400 by 300 page over a matte, some time after it loaded.
TEST(ArtStageViewStill, AVerdictWeighsWhatThePageDrawsWithAndWhatShows) {
  using Call = DrawVerdict::Call;
  const QColor matte(48, 80, 160), dark(17, 17, 17);
  struct Row {
    const char* name;
    const char* report;  // none: the page never answered
    QColor ground, shape;  // the shot: a shape over a ground
    qint64 elapsed;
    Call call;
  };
  const char* darkPage = "rgb(17, 17, 17)|top opaque";
  const Row rows[] = {
      {"a drawing it reports, however faint", "rgb(17, 17, 17)|top opaque draws", dark, dark, 0, Call::play},
      {"a shape it does not report", darkPage, dark, Qt::white, 0, Call::play},
      {"the matte's grey on a dark body", darkPage, dark, QColor(50, 82, 160), 0, Call::play},
      {"ground only, before it settles", darkPage, dark, dark, 2000, Call::wait},
      {"ground only, settled", darkPage, dark, dark, 3000, Call::fail},
      {"a gradient ground", "transparent|top patterned", dark, QColor(192, 48, 32), 3000, Call::fail},
      {"a semi-transparent body over the matte", "rgba(200, 200, 200, 0.5)|top", QColor(124, 140, 180),
       QColor(124, 140, 180), 3000, Call::fail},
      {"a 2D canvas not drawn on yet", "rgb(17, 17, 17)|top opaque holds2d", dark, dark, 3000, Call::wait},
      {"one past the end", "rgb(17, 17, 17)|top opaque holds2d", dark, dark, DrawVerdict::maxMs, Call::fail},
      {"still loading", "rgb(17, 17, 17)|top opaque loading", dark, dark, 3000, Call::wait},
      {"a shape under a mark", "rgb(17, 17, 17)|top opaque|400,300|8,8,6,6", dark, Qt::white, 3000, Call::fail},
      {"a mark elsewhere", "rgb(17, 17, 17)|top opaque|400,300|100,9,6,6", dark, Qt::white, 0, Call::play},
      {"a mark from a window twice the shot's size", "rgb(17, 17, 17)|top opaque|800,600|16,16,12,12", dark,
       Qt::white, 3000, Call::fail},
      {"a mark out of any window's range", "rgb(17, 17, 17)|top opaque|400,300|-2000000,0,4000000,300", dark,
       Qt::white, 0, Call::play},
      {"boxes of its own", "rgb(17, 17, 17)|top opaque boxes", dark, dark, 0, Call::play},
      {"boxes by a refused canvas in sight", "rgb(17, 17, 17)|top opaque boxes shown", dark, dark, 3000, Call::fail},
      {"never seen nor heard from", nullptr, {}, {}, DrawVerdict::maxMs, Call::play},
  };
  for (const Row& row : rows) {
    DrawVerdict verdict;
    verdict.start(matte);
    QImage shot;
    if (row.ground.isValid()) {
      shot = QImage(400, 300, QImage::Format_RGB32);
      shot.fill(row.ground);
      QPainter(&shot).fillRect(10, 10, 3, 3, row.shape);
    }
    Call call = Call::wait;
    for (int i = 0; i < 3 && call == Call::wait; ++i) {
      if (row.report) verdict.take(*DrawVerdict::Report::parse(QString::fromUtf8(row.report)));
      call = verdict.look(shot, row.elapsed, false);
    }
    EXPECT_EQ(call, row.call) << row.name;
  }
}

TEST(ArtRuntimeSeal, OnlyKnownSafeGivenSwitchesStay) {
  struct Row {
    const char* name;
    QByteArray given;
    QByteArray kept;
    QList<QByteArray> stripped;
  };
  const std::vector<Row> rows{
      {"nothing given", "", "", {}},
      {"rules mapping names to public addresses stay, quoted where Qt splits",
       R"(--host-resolver-rules="MAP a.io 8.8.8.8, map *.B.io [2001:4860:4860::8888]:443")",
       R"("--host-resolver-rules=MAP a.io 8.8.8.8, MAP *.b.io [2001:4860:4860::8888]:443")", {}},
      {"rules that reach this machine, the LAN or the proxy",
       R"(--host-resolver-rules="MAP * proxy:3128,MAP fxhash.xyz 192.168.1.1, MAP 127.0.0.1 8.8.8.8, MAP b.io 8.8.8.8,)"
       R"( MAP a.io 127.0.0.1:80, MAP *1 8.8.8.8, MAP localhost 8.8.8.8, MAP [::1] 8.8.8.8")",
       R"("--host-resolver-rules=MAP b.io 8.8.8.8")",
       {"--host-resolver-rules=MAP * proxy:3128", "--host-resolver-rules=MAP fxhash.xyz 192.168.1.1",
        "--host-resolver-rules=MAP 127.0.0.1 8.8.8.8", "--host-resolver-rules=MAP a.io 127.0.0.1:80",
        "--host-resolver-rules=MAP *1 8.8.8.8", "--host-resolver-rules=MAP localhost 8.8.8.8",
        "--host-resolver-rules=MAP [::1] 8.8.8.8"}},
      {"rules to names, exclusions, odd address spellings, none",
       R"(-host-resolver-rules="MAP a.io b.io, EXCLUDE c.io, MAP d.io ~NOTFOUND, MAP e.io 0x7f.1" )"
       R"(--host-resolver-rules=)",
       "",
       {"-host-resolver-rules=MAP a.io b.io", "-host-resolver-rules=EXCLUDE c.io",
        "-host-resolver-rules=MAP d.io ~NOTFOUND", "-host-resolver-rules=MAP e.io 0x7f.1", "--host-resolver-rules="}},
      {"GPU, GL and logging stay", "--ignore-gpu-blocklist --use-gl=egl -v=1 --enable-logging=stderr",
       "--ignore-gpu-blocklist --use-gl=egl -v=1 --enable-logging=stderr", {}},
      {"proxy switches",
       "--no-proxy-server --enable-logging --proxy-pac-url=http://lan/p.pac -proxy-auto-detect --proxy-server=h:1",
       "--enable-logging",
       {"--no-proxy-server", "--proxy-pac-url=http://lan/p.pac", "-proxy-auto-detect", "--proxy-server=h:1"}},
      {"quoted, and the WebRTC policy", R"("--no-proxy-server"  --force-webrtc-ip-handling-policy=default)", "",
       {"--no-proxy-server", "--force-webrtc-ip-handling-policy=default"}},
      {"unknown switches and plain arguments", "--single-process --remote-debugging-port=9 about:blank",
       "", {"--single-process", "--remote-debugging-port=9", "about:blank"}},
      {"a CRLF line's carriage return", "--enable-logging --no-proxy-server\r", "--enable-logging",
       {"--no-proxy-server"}},
      {"a leading vertical tab", "\v--no-proxy-server", "", {"--no-proxy-server"}},
      {"named once", "--no-proxy-server\t --no-proxy-server", "", {"--no-proxy-server"}},
      {"an unclosed quote runs to the end", R"(--user-agent="a --no-proxy-server)", "",
       {"--user-agent=a --no-proxy-server"}},
      {"end of switches", "-- --use-gl=egl", "", {"--", "--use-gl=egl"}},
      {"end of switches with a carriage return", "--\r --use-gl=egl", "", {"--", "--use-gl=egl"}},
      {"end of switches quoted", R"("--" --use-gl=egl)", "", {"--", "--use-gl=egl"}},
      {"end of switches half quoted", R"(-"-" --use-gl=egl)", "", {"--", "--use-gl=egl"}},
  };
  const quint16 port = 4321;
  const QByteArray ours = "--force-webrtc-ip-handling-policy=disable_non_proxied_udp --proxy-server=http://127.0.0.1:4321";
  for (const Row& row : rows) {
    const ArtRuntime::Seal made = ArtRuntime::seal(row.given, port);
    const QByteArray expectedStart = row.kept.isEmpty() ? ours : row.kept + ' ' + ours;
    EXPECT_TRUE(made.flags.startsWith(expectedStart)) << row.name << ": " << made.flags.constData();
    EXPECT_TRUE(made.flags.contains(" --proxy-bypass-list=<-loopback>;")) << row.name;
    EXPECT_EQ(made.stripped, row.stripped) << row.name;
    EXPECT_TRUE(made.fault.isEmpty()) << row.name;
    // What is kept reads back as itself; ours are stripped and put last again.
    EXPECT_EQ(ArtRuntime::seal(made.flags, port).flags, made.flags) << row.name;
  }
  EXPECT_FALSE(ArtRuntime::seal("", 0).fault.isEmpty());
}

// WebGL is drawn in software only where the session's OpenGL is software,
// and never against a --disable-gpu given.
TEST(ArtRuntimeSeal, SoftwareGLOnlyWhereTheOnlyOpenGLIsSoftware) {
  const QByteArray soft =
      "--disable-gpu-compositing --disable-gpu-rasterization --disable-accelerated-2d-canvas "
      "--webgl-antialiasing-mode=none --num-raster-threads=1 --disable-gpu-shader-disk-cache";
  const std::tuple<const char*, QByteArray, bool, QByteArray> rows[] = {
      {"a GPU, its blocklist lifted by the user or not", "--ignore-gpu-blocklist", false, ""},
      {"software", "--enable-logging", true, "--ignore-gpu-blocklist " + soft},
      {"software, the blocklist lifted already", "--ignore-gpu-blocklist", true, soft},
      {"software, the GPU disabled", "--ignore-gpu-blocklist \"--disable-gpu\"", true, ""},
  };
  for (const auto& [name, flags, software, added] : rows) {
    EXPECT_EQ(ArtRuntime::softwareGLSwitches(flags, software), added) << name;
  }
}

// The test program made its seal at start: a second call leaves it alone.
TEST(ArtRuntimeSeal, MadeOnce) {
  const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  const auto fault = ArtRuntime::sealFault();
  ASSERT_TRUE(flags.contains("--proxy-server"));
  static int logged;
  logged = 0;
  const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {
    ++logged;
  });
  ArtRuntime::registerScheme();
  qInstallMessageHandler(previous);
  EXPECT_EQ(logged, 0);
  EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), flags);
  EXPECT_EQ(ArtRuntime::sealFault(), fault);
}

// The engine takes Qt's own proxy over its switches once the program's
// choice is not the system's: a fault from then on, with either setting.
TEST(ArtRuntimeSeal, AProxyChoiceOfTheProgramsOwnIsAFault) {
  const auto before = ArtRuntime::sealFault();
  ASSERT_FALSE(before) << before->toStdString();
  const std::vector<std::pair<const char*, std::function<void()>>> rows{
      {"an application proxy", [] { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }},
      {"no system configuration", [] { QNetworkProxyFactory::setUseSystemConfiguration(false); }},
  };
  for (const auto& [name, choose] : rows) {
    choose();
    const auto fault = ArtRuntime::sealFault();
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    EXPECT_TRUE(fault && fault->contains(u"proxy")) << name;
    EXPECT_TRUE(ArtRuntime::sealFault()) << name << ": the fault stays";
    ArtRuntime::setSealFault(before);
  }
}

TEST(ArtRuntimeSeal, WithoutTheRefusingPortPagesStayStills) {
  const auto before = ArtRuntime::sealFault();
  ArtRuntime::setSealFault(ArtRuntime::seal("", 0).fault);
  StageMedia media;
  ArtStageView view(media.fetcher);
  QImage still(40, 30, QImage::Format_ARGB32_Premultiplied);
  still.fill(Qt::blue);
  view.showStill(still);
  Artwork page;
  page.mediaKind = MediaKind::generative;
  page.animationURI = "ipfs://QmYwAPJzv5CZsnA625s3Xf2nemtYgPpHdWEz79ojWnPbdG/index.html";
  view.load(page);
  ArtRuntime::setSealFault(before);
  EXPECT_EQ(view.status(), ArtStageView::Status::failed(ArtRuntime::seal("", 0).fault));
  EXPECT_TRUE(view.stillVisible());
  EXPECT_EQ(view.webView(), nullptr);
  EXPECT_EQ(media.gateway.requestCount(), 0u);
}

TEST(NetworkRulesTest, SchemesAndHosts) {
  const std::vector<std::pair<const char*, bool>> cases{
      {"tavolune://local/ipfs/Qm/x.js", true},
      {"data:text/plain,hi", true},
      {"blob:https://artwork.tavolune.invalid/1234", true},
      {"about:blank", true},
      {"https://ipfs.io/ipfs/Qm", true},
      {"https://gateway.fxhash2.xyz/ipfs/Qm", true},
      {"http://cdn.jsdelivr.net:8080/npm/p5", true},
      {"https://IPFS.IO./x", true},
      {"https://ordinals.com/content/abci0", true},
      {"wss://stream.fxhash.xyz/live", true},
      {"https://google-analytics.com/collect", false},
      {"https://evilipfs.io/x", false},
      {"https://ipfs.io.evil.com/x", false},
      {"ws://tracker.example/", false},
      {"wss://tracker.example/", false},
      {"file:///etc/passwd", false},
      {"ftp://ipfs.io/x", false},
      {"filesystem:https://ipfs.io/temporary/x", false},
      // amazonaws.com: S3's names only, never servers anyone can name there
      {"https://s3.amazonaws.com/bucket/x", true},
      {"https://bucket.s3.amazonaws.com/x", true},
      {"https://s3.us-west-2.amazonaws.com/x", true},
      {"https://s3-us-west-2.amazonaws.com/x", true},
      {"https://s3.dualstack.eu-central-1.amazonaws.com/x", true},
      {"https://my.bucket.s3.ap-southeast-2.amazonaws.com/x", true},
      {"https://bucket.s3-eu-west-1.amazonaws.com/x", true},
      {"https://amazonaws.com/x", false},
      {"http://ec2-3-1-2-4.compute-1.amazonaws.com:8080/x", false},
      {"https://abc123.execute-api.us-east-1.amazonaws.com/x", false},
      {"http://s3-mine-123.us-east-1.elb.amazonaws.com/x", false},
      {"http://s3.abcdef.us-east-1.rds.amazonaws.com:5432/", false},
      {"https://s3.evil-region-9.amazonaws.com/x", false},
      {"https://d111111abcdef8.cloudfront.net/x", true},
  };
  for (const auto& [text, allowed] : cases) {
    EXPECT_EQ(NetworkRules::allows(QUrl(QString::fromUtf8(text))), allowed) << text;
  }
}

}  // namespace
}  // namespace tavolune
