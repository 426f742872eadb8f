#include "app/stage/ArtRuntime.hpp"

#include "app/qt/Convert.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/NetworkRules.hpp"
#include "core/base/Hosts.hpp"
#include "core/model/MediaResolver.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHostAddress>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QTcpSocket>
#include <QWebEngineUrlScheme>

#include <utility>

// Qt's own hook for the context every OpenGL user shares with; the engine
// makes one as the application object is built unless one is set already.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
QT_END_NAMESPACE

// Resources of a static library are registered by hand.
static void initStageResources() { Q_INIT_RESOURCE(stage); }

namespace tavolune::ArtRuntime {

namespace {

QString resource(const char* name) {
  initStageResources();
  QFile file(QStringLiteral(":/tavolune/stage/") + QLatin1String(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

NetworkRules*& rules() {
  static NetworkRules* compiled = nullptr;
  return compiled;
}

// Peer connections would carry traffic the rule list never sees, and a
// frame can reach the engine's RTCPeerConnection before the page runtime
// replaces it. Under this policy WebRTC sends no UDP at all, and its TCP
// (TURN, ICE-TCP) goes through the proxy below.
constexpr const char* webRTCSwitch = "--force-webrtc-ip-handling-policy=disable_non_proxied_udp";

// A loopback port held bound and never listening: the kernel refuses every
// connection to it at once, and no one else can take it while we live.
quint16 refusingPort() {
  static QTcpSocket* held = [] {
    auto* socket = new QTcpSocket;
    socket->bind(QHostAddress(QHostAddress::LocalHost), 0, QAbstractSocket::DontShareAddress);
    return socket;
  }();
  return held->localPort();
}

// The engine's proxy is that port, so whatever the engine would send
// elsewhere is refused. Only the live-art hosts, which the rule list lets
// pages reach, bypass it; "<-loopback>" takes back Chromium's own bypass
// of localhost and 127.0.0.0/8.
QByteArray proxySwitches() {
  const quint16 port = refusingPort();
  if (port == 0) return {};
  QByteArray bypass = "<-loopback>";
  for (std::string_view host : hosts::liveArtHosts) {
    const QByteArray name(host.data(), qsizetype(host.size()));
    bypass += ';' + name + ";*." + name;
  }
  return "--proxy-server=http://127.0.0.1:" + QByteArray::number(port) + " --proxy-bypass-list=" + bypass;
}

// Making the shared context loads the OpenGL drivers (a software
// rasteriser and its compiler where there is no GPU): most of the
// application object's making, and never needed while only stills show. A
// context not made yet stands in until the first web view.
void deferSharedContext() {
  if (qt_gl_global_share_context() || QCoreApplication::instance()) return;
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  static QOpenGLContext* pending = nullptr;
  pending = new QOpenGLContext;
  qt_gl_set_global_share_context(pending);
  qAddPostRoutine([] {
    if (qt_gl_global_share_context() == pending) qt_gl_set_global_share_context(nullptr);
    delete std::exchange(pending, nullptr);
  });
}

// Whether the context draws through a software rasteriser, which the
// engine's GPU blocklist refuses.
bool softwareRasteriser(QOpenGLContext& context) {
  QOffscreenSurface surface(context.screen());
  surface.setFormat(context.format());
  surface.create();
  if (!context.makeCurrent(&surface)) return false;
  const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
  const QByteArray renderer = QByteArray(name ? name : "").toLower();
  context.doneCurrent();
  return renderer.contains("llvmpipe") || renderer.contains("softpipe") || renderer.contains("swrast");
}

void makeSharedContext() {
  QOpenGLContext* shared = qt_gl_global_share_context();
  if (!shared || shared->isValid()) return;
  // Made before any screen was there.
  shared->setScreen(QGuiApplication::primaryScreen());
  shared->setFormat(QSurfaceFormat::defaultFormat());
  shared->create();
  // Without a usable GPU the engine composites its frames in software; Qt
  // Quick drawing them again through the same rasteriser tripled the CPU
  // and added a hundred MiB for one full-screen work. It then draws in
  // software too, unless the user lifted the blocklist. Only possible
  // before the first web view.
  if (shared->isValid() && !qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--ignore-gpu-blocklist") &&
      softwareRasteriser(*shared)) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  }
}

}  // namespace

void registerScheme() {
  const QByteArray name(MediaResolver::scheme.data(), qsizetype(MediaResolver::scheme.size()));
  if (QWebEngineUrlScheme::schemeByName(name).name() == name) return;
  QWebEngineUrlScheme scheme(name);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(scheme);

  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (!flags.contains(webRTCSwitch)) {
    // Appended last, so they win over any proxy given before.
    flags += ' ';
    flags += webRTCSwitch;
    flags += ' ' + proxySwitches();
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
  }
  deferSharedContext();
}

void prepareRules() {
  if (rules()) return;
  rules() = new NetworkRules(QCoreApplication::instance());
}

NetworkRules* compiledRules() { return rules(); }

ArtPage* configuration(const ContentFetcher& fetcher, QObject* parent) {
  makeSharedContext();
  return new ArtPage(fetcher, parent);
}

const QString& runtimeSource() {
  static const QString source = resource("art-runtime.js");
  return source;
}

const QString& styleSource() {
  static const QString source = resource("art-style.js");
  return source;
}

QString pauseScript() { return QStringLiteral("window.__tavolune && window.__tavolune.pause()"); }
QString resumeScript() { return QStringLiteral("window.__tavolune && window.__tavolune.resume()"); }
QString setFPSScript(int fps) {
  return QStringLiteral("window.__tavolune && window.__tavolune.setFPS(%1)").arg(fps);
}
QString cannotDrawNote() { return QStringLiteral("__tavolune:cannot-draw"); }

}  // namespace tavolune::ArtRuntime
