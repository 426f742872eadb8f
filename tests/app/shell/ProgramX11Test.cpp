#include "app/platform/linux/Xcb.hpp"
#include "app/shell/SingleInstance.hpp"
#include "core/base/Date.hpp"
#include "core/media/MediaCache.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/persistence/LibraryStore.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/app/platform/XClient.hpp"
#include "tests/support/LibraryFixtures.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>

namespace tavolune {
namespace {

using testsupport::CannedResponse;
using testsupport::LoopbackServer;

// The program on a data folder of its own, by default on the test's display
// and bus; `environment` adds or replaces variables.
class Program {
 public:
  explicit Program(const QString& dataFolder, QStringList arguments = {},
                   const QProcessEnvironment& environment = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TAVOLUNE_DATA_DIR"), dataFolder);
    for (const QString& name : environment.keys()) env.insert(name, environment.value(name));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TAVOLUNE_EXECUTABLE), arguments);
  }
  ~Program() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(5000);
    }
  }
  QProcess process;
};

bool listening(const QString& dataFolder) {
  return QTest::qWaitFor(
      [&] {
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::serverName(dataFolder));
        return socket.waitForConnected(200);
      },
      20000);
}

void endsCleanlyOnSigterm(Program& program, const std::function<void()>& afterSignal = {}) {
  const auto pid = static_cast<pid_t>(program.process.processId());
  ASSERT_GT(pid, 0) << "the program ended before the signal";  // kill(0) would signal this test's group
  ::kill(pid, SIGTERM);
  if (afterSignal) afterSignal();
  ASSERT_TRUE(program.process.waitForFinished(20000));
  EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.process.exitCode(), 0) << program.process.readAllStandardError().toStdString();
}

TEST(Program, OneCopyPerDataFolderAndSigtermEndsItCleanly) {
  QTemporaryDir data;
  const QString socket = SingleInstance::serverName(data.path());
  // Signalled before its event loop runs, while its claim waits for another
  // launch's lock or the moment it listens: it quits all the same and gives
  // the claim up.
  for (const bool lockHeld : {true, false}) {
    QLockFile lock(socket + QStringLiteral(".lock"));
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_TRUE(!lockHeld ||
                (lock.lock() && ::inotify_add_watch(watch, QFile::encodeName(lock.fileName()), IN_OPEN) >= 0));
    Program early(data.path());
    char events[256];
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return lockHeld ? ::read(watch, events, sizeof events) > 0 : QFile::exists(socket); }, 20000));
    ::close(watch);
    endsCleanlyOnSigterm(early, [&] { lock.unlock(); });
    EXPECT_FALSE(QFile::exists(socket)) << lockHeld;
  }
  Program first(data.path());
  ASSERT_TRUE(first.process.waitForStarted(10000));
  ASSERT_TRUE(listening(data.path()));

  // A second launch hands over to the first and ends at once.
  Program second(data.path());
  ASSERT_TRUE(second.process.waitForFinished(20000));
  EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.process.exitCode(), 0);

  // The preview would share the library with the running copy: refused.
  Program preview(data.path(), {QStringLiteral("--ui-preview")});
  ASSERT_TRUE(preview.process.waitForFinished(20000));
  EXPECT_EQ(preview.process.exitCode(), 1);
  EXPECT_TRUE(preview.process.readAllStandardError().contains("TAVOLUNE_DATA_DIR"));

  // Logout: the normal quit path, and a clean exit.
  endsCleanlyOnSigterm(first);
}

QByteArray png(const QColor& colour) {
  QImage image(800, 600, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) < 16 && std::abs(a.green() - b.green()) < 16 &&
         std::abs(a.blue() - b.blue()) < 16;
}

// The root window of the program's display, as a desktop would read it.
struct Root {
  explicit Root(const QString& display) : x(display) {}
  std::optional<std::uint32_t> pixmap() {
    return xcb::cardinal(x.connection(), x.root(), x.atom("_XROOTPMAP_ID"));
  }
  QColor pixel(xcb_pixmap_t p, int px, int py) {
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
        xcb_get_image_reply(x.connection(),
                            xcb_get_image(x.connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, p, int16_t(px), int16_t(py), 1, 1, ~0u),
                            nullptr),
        &std::free);
    if (!image) return {};
    const auto* d = xcb_get_image_data(image.get());
    return QColor(d[2], d[1], d[0]);
  }
  testsupport::XClient x;
};

// A plain X11 session on the test's own server and bus: no desktop of a
// known family, so the desktop picture is the root window's.
QProcessEnvironment plainX11Session(const testsupport::PrivateXServer& screen, const testsupport::PrivateBus& bus) {
  QProcessEnvironment env;
  env.insert(QStringLiteral("DISPLAY"), screen.display());
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
  env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QString());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  return env;
}

// Whether a mapped top-level window of that title is on the display.
bool windowShown(testsupport::XClient& x, const QByteArray& title) {
  std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
      xcb_query_tree_reply(x.connection(), xcb_query_tree(x.connection(), x.root()), nullptr), &std::free);
  if (!tree) return false;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(x.connection(), xcb_get_window_attributes(x.connection(), children[i]),
                                        nullptr),
        &std::free);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> name(
        xcb_get_property_reply(x.connection(),
                               xcb_get_property(x.connection(), 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY,
                                                0, 256),
                               nullptr),
        &std::free);
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !name) continue;
    const QByteArray value(static_cast<const char*>(xcb_get_property_value(name.get())),
                           xcb_get_property_value_length(name.get()));
    if (value == title) return true;
  }
  return false;
}

// Trying the preview windows leaves the user's desktop alone: no picture is
// set and no display moves on to a work.
TEST(Program, UiPreviewOpensItsWindowsWithoutDrawingTheDesktop) {
  testsupport::PrivateXServer screen(QStringLiteral("1920x1080x24"));
  testsupport::PrivateBus bus;
  ASSERT_TRUE(screen.ok());
  ASSERT_TRUE(bus.ok());
  QTemporaryDir data;
  LibraryState state;
  Wallet wallet = testsupport::wallet();
  wallet.lastSync = now();
  Artwork work = testsupport::work("1", "Study");
  work.imageURI = "https://127.0.0.1:9/art.png";  // never fetched
  testsupport::hold(state, wallet, {work});
  state.settings.hasCompletedOnboarding = true;
  LibraryStore(data.filePath("library.json").toStdString()).save(state);

  Program program(data.path(), {QStringLiteral("--ui-preview")}, plainX11Session(screen, bus));
  ASSERT_TRUE(program.process.waitForStarted(10000));
  Root root(screen.display());
  // The menu preview opens last, after the displays were refreshed.
  ASSERT_TRUE(QTest::qWaitFor([&] { return windowShown(root.x, "Menu Preview"); }, 20000))
      << program.process.readAllStandardError().toStdString();
  EXPECT_TRUE(windowShown(root.x, "Tavolune Settings"));
  EXPECT_FALSE(root.pixmap()) << "the root picture was set";

  endsCleanlyOnSigterm(program);
  const LibraryState saved = LibraryStore(data.filePath("library.json").toStdString()).load();
  ASSERT_EQ(saved.screens.size(), 1u) << "the display was refreshed";
  EXPECT_FALSE(saved.screens.begin()->second.currentArtworkID) << "the display moved on to a work";
  EXPECT_TRUE(saved.recentlyShown.empty());
}

// What a user sees: a library whose works live on a web server is hung on
// the desktop of a plain X session, and logging out keeps what was shown.
TEST(Program, HangsAWorkOnThePlainX11DesktopAndKeepsItsSaveOnSigterm) {
  testsupport::PrivateXServer screen(QStringLiteral("1920x1080x24"));
  testsupport::PrivateBus bus;
  ASSERT_TRUE(screen.ok());
  ASSERT_TRUE(bus.ok());

  // Media on https, as every plain address is upgraded to it.
  LoopbackServer media(LoopbackServer::Tls::loopback());
  const std::vector<QColor> colours{QColor(200, 40, 40), QColor(40, 160, 60), QColor(50, 60, 200)};
  QTemporaryDir data;
  LibraryState state;
  Wallet wallet = testsupport::wallet();
  wallet.lastSync = now();  // nothing stale: no indexer is asked
  std::vector<Artwork> works;
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const std::string path = "/art/" + std::to_string(i) + ".png";
    media.on("GET", path,
             {.body = png(colours[i]).toStdString(), .contentType = "image/png"});
    Artwork work = testsupport::work(std::to_string(i), "Study " + std::to_string(i));
    work.imageURI = media.url(path);
    work.mime = "image/png";
    works.push_back(work);
    testsupport::hold(state, wallet, {work});
  }
  state.settings.hasCompletedOnboarding = true;
  LibraryStore(data.filePath("library.json").toStdString()).save(state);

  QProcessEnvironment env = plainX11Session(screen, bus);
  env.insert(QStringLiteral("SSL_CERT_FILE"), QString::fromStdString(LoopbackServer::Tls::loopback().certificateFile));
  // The works' media are on this test's server.
  env.insert(QString::fromLatin1(HTTPClient::allowedServersVariable),
             QStringLiteral("127.0.0.1:%1").arg(media.port()));
  Program program(data.path(), {}, env);
  ASSERT_TRUE(program.process.waitForStarted(10000));

  Root root(screen.display());
  std::optional<std::uint32_t> picture;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (picture = root.pixmap()).has_value(); }, 20000))
      << program.process.readAllStandardError().toStdString();
  // The middle of the mat holds the work.
  const QColor middle = root.pixel(*picture, 960, 540);
  std::optional<std::size_t> shown;
  for (std::size_t i = 0; i < colours.size(); ++i) {
    if (near(middle, colours[i])) shown = i;
  }
  ASSERT_TRUE(shown) << middle.name().toStdString();
  EXPECT_GE(media.requests("GET", "/art/" + std::to_string(*shown) + ".png").size(), 1u);
  // A still needs no OpenGL: no vendor driver (libGLX_mesa, libGLX_nvidia…) was loaded.
  QFile maps(QStringLiteral("/proc/%1/maps").arg(program.process.processId()));
  ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
  EXPECT_FALSE(maps.readAll().contains("/libGLX_"));

  // At once, while the shown work's save may still wait for its timer.
  endsCleanlyOnSigterm(program);
  const LibraryState saved = LibraryStore(data.filePath("library.json").toStdString()).load();
  ASSERT_FALSE(saved.recentlyShown.empty());
  EXPECT_EQ(saved.recentlyShown.front(), works[*shown].id);
  ASSERT_EQ(saved.screens.size(), 1u);
  EXPECT_EQ(saved.screens.begin()->second.currentArtworkID, works[*shown].id);
  EXPECT_EQ(saved.artworks.size(), works.size());
  EXPECT_FALSE(QDir(data.filePath("Wallpapers")).entryList({QStringLiteral("*.jpg")}, QDir::Files).isEmpty());
}

// What follows the command name in /proc/<pid>/stat ("S 1234 …"), if the
// process is the SVG decoder.
QByteArray decoderStat(const QString& pid) {
  QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
  const QByteArray line = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  return line.contains("(tavolune-svg-de") ? line.mid(line.lastIndexOf(')') + 2) : QByteArray();
}

// Ten works whose still takes hours to draw, among PNG works: the desktop
// shows a PNG; the library's grid has their thumbnails drawn in decoders;
// SIGTERM ends the program, and its decoders, with them drawing, keeps the
// save and gives up the claim, so that the program starts again.
TEST(Program, StillsThatNeverFinishDrawingStallNeitherTheDesktopNorQuitting) {
  testsupport::PrivateXServer screen(QStringLiteral("1920x1080x24"));
  testsupport::PrivateBus bus;
  ASSERT_TRUE(screen.ok() && bus.ok());
  LoopbackServer media(LoopbackServer::Tls::loopback());
  const QColor colour(40, 160, 60);
  media.on("GET", "/art/still.png", {.body = png(colour).toStdString(), .contentType = "image/png"});
  media.on("GET", "/art/hours.svg",
           {.body = R"(<svg xmlns="http://www.w3.org/2000/svg" width="520" height="520"><filter id="f">)"
                    R"(<feTurbulence baseFrequency="0.05" numOctaves="1000000"/></filter>)"
                    R"x(<rect width="520" height="520" filter="url(#f)"/></svg>)x",
            .contentType = "image/svg+xml"});
  QTemporaryDir data;
  LibraryState state;
  Wallet wallet = testsupport::wallet();
  wallet.lastSync = now();
  Exhibition shown{.id = Uuid::random(), .title = "Hours"};  // PNG first, shown in order
  for (int i = 0; i < 12; ++i) {
    Artwork work = testsupport::work(std::to_string(i), "Study " + std::to_string(i));
    work.imageURI = media.url(i == 0 || i == 11 ? "/art/still.png" : "/art/hours.svg");
    testsupport::hold(state, wallet, {work});
    shown.artworkIDs.push_back(work.id);
  }
  state.exhibitions.push_back(shown);
  state.activeExhibition = shown.id;
  state.settings.rotationOrder = PlaybackOrder::sequential;
  state.settings.hasCompletedOnboarding = true;
  LibraryStore(data.filePath("library.json").toStdString()).save(state);
  QProcessEnvironment env = plainX11Session(screen, bus);
  env.insert(QStringLiteral("SSL_CERT_FILE"), QString::fromStdString(LoopbackServer::Tls::loopback().certificateFile));
  env.insert(QString::fromLatin1(HTTPClient::allowedServersVariable), QStringLiteral("127.0.0.1:%1").arg(media.port()));
  Program program(data.path(), {}, env);
  Root root(screen.display());
  std::optional<std::uint32_t> picture;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (picture = root.pixmap()).has_value(); }, 20000));
  EXPECT_TRUE(near(root.pixel(*picture, 960, 540), colour)) << root.pixel(*picture, 960, 540).name().toStdString();

  ASSERT_TRUE(listening(data.path()));
  Program reopen(data.path(), {}, env);  // opens the library window
  ASSERT_TRUE(reopen.process.waitForFinished(20000));
  QStringList decoders;
  const QByteArray parent = " " + QByteArray::number(program.process.processId()) + " ";
  ASSERT_TRUE(QTest::qWaitFor([&] {
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
      if (decoderStat(pid).mid(1).startsWith(parent)) decoders << pid;
    }
    return !decoders.isEmpty();
  }, 20000));
  endsCleanlyOnSigterm(program);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return std::none_of(decoders.begin(), decoders.end(), [](const QString& pid) {
      const QByteArray stat = decoderStat(pid);
      return !stat.isEmpty() && !stat.startsWith('Z');
    });
  }, 10000)) << "a decoder outlived the program";
  const LibraryState saved = LibraryStore(data.filePath("library.json").toStdString()).load();
  ASSERT_EQ(saved.screens.size(), 1u);
  EXPECT_EQ(saved.screens.begin()->second.currentArtworkID, shown.artworkIDs.front());
  Program again(data.path(), {}, env);
  EXPECT_TRUE(listening(data.path())) << "the claim was kept";
}

// A session whose every proxy variable names a server of the test's own: a
// live work still plays (the web engine's refusing proxy is held all the
// same), and nothing its page tries that only the engine's wall stops,
// preconnects or a TURN relay, reaches that proxy or anything else.
TEST(Program, BehindTheUsersProxyALiveWorkPlaysAndItsPageReachesNothing) {
  testsupport::PrivateXServer screen(QStringLiteral("1280x720x24"));
  testsupport::PrivateBus bus;
  ASSERT_TRUE(screen.ok());
  ASSERT_TRUE(bus.ok());
  LoopbackServer proxy;
  const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());

  // The peer connection is a fresh frame's, which the page runtime has not
  // reached yet. Orange once gathering ended; the work's files are in the program's
  // cache, as a gateway left them.
  const std::string cid = "QmYwAPJzv5CZsnA625s3Xf2nemtYgPpHdWEz79ojWnPbdG";
  const std::string pageText = R"html(<html><head></head><body style="margin:0;background:rgb(40,40,200)"><script>
    ['http://tracker.example/', 'http://)html" + proxyAddress + R"html(/'].forEach(function (url) {
      var link = document.createElement('link'); link.rel = 'preconnect'; link.href = url;
      document.head.appendChild(link);
    });
    function settled() { document.body.style.background = 'rgb(240,130,20)'; }
    var frame = document.createElement('iframe'); frame.style.display = 'none'; document.body.appendChild(frame);
    try {
      var pc = new frame.contentWindow.RTCPeerConnection({iceServers: [
        {urls: 'turn:)html" + proxyAddress + R"html(?transport=tcp', username: 'u', credential: 'c'}]});
      pc.createDataChannel('d');
      pc.onicegatheringstatechange = function () { if (pc.iceGatheringState === 'complete') settled(); };
      pc.createOffer().then(function (o) { return pc.setLocalDescription(o); }).catch(settled);
    } catch (e) { settled(); }
  </script></body></html>)html";
  QTemporaryDir data;
  MediaCache(data.filePath("Media").toStdString(), std::int64_t{1} << 30)
      .store(pageText, "ipfs/" + cid + "/index.html", "text/html");
  LibraryState state;
  Wallet wallet = testsupport::wallet();
  wallet.lastSync = now();
  Artwork work = testsupport::work("1", "Live", MediaKind::generative);
  work.animationURI = "ipfs://" + cid + "/index.html";
  work.aspectRatio = 16.0 / 9.0;
  testsupport::hold(state, wallet, {work});
  state.settings.hasCompletedOnboarding = true;
  state.settings.animation = AnimationPolicy::all;
  LibraryStore(data.filePath("library.json").toStdString()).save(state);

  QProcessEnvironment env = plainX11Session(screen, bus);
  const QString proxyURL = QStringLiteral("http://") + QString::fromStdString(proxyAddress);
  for (const char* name : {"http_proxy", "https_proxy", "all_proxy"}) env.insert(QString::fromLatin1(name), proxyURL);
  // The engine needs OpenGL, which the sanitizer runs turn off elsewhere;
  // there Chromium's own mismatched deletes and exit-time leaks are not ours.
  env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("xcb_glx"));
  env.insert(QStringLiteral("ASAN_OPTIONS"), qEnvironmentVariable("ASAN_OPTIONS") +
                                                 QStringLiteral(":detect_leaks=0:new_delete_type_mismatch=0"));
  // The engine's variable for a debugger is left out as its switch is.
  const quint16 debugger = [] {
    QTcpServer free;
    free.listen(QHostAddress::LocalHost);
    return free.serverPort();
  }();
  env.insert(QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"), QStringLiteral("127.0.0.1:%1").arg(debugger));
  Program program(data.path(), {}, env);
  ASSERT_TRUE(program.process.waitForStarted(10000));

  Root root(screen.display());
  const QColor settled(240, 130, 20);
  QColor middle;
  const bool played = QTest::qWaitFor(
      [&] {
        middle = root.pixel(root.x.root(), 640, 360);
        return near(middle, settled);
      },
      60000);
  const QByteArray log = program.process.readAllStandardError();
  ASSERT_TRUE(played) << middle.name().toStdString() << "\n" << log.toStdString();
  EXPECT_FALSE(log.contains("live works show their stills")) << log.toStdString();
  EXPECT_EQ(proxy.connectionsAccepted(), 0u);
  QTcpSocket probe;
  probe.connectToHost(QHostAddress::LocalHost, debugger);
  EXPECT_FALSE(probe.waitForConnected(5000)) << "a debugger listens";
  EXPECT_TRUE(log.contains("QTWEBENGINE_REMOTE_DEBUGGING")) << log.toStdString();
  endsCleanlyOnSigterm(program);
}

}  // namespace
}  // namespace tavolune
