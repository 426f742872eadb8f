#include "app/stage/ArtRuntime.hpp"

#include "app/qt/Convert.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/NetworkRules.hpp"
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

#include <mutex>
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
// 0 when none could be bound.
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
QByteArray proxySwitches(quint16 port) {
  QByteArray bypass = "<-loopback>";
  for (const std::string& domain : NetworkRules::allowedDomains()) {
    const QByteArray name = QByteArray::fromStdString(domain);
    bypass += ';' + name + ";*." + name;
  }
  return "--proxy-server=http://127.0.0.1:" + QByteArray::number(port) + " --proxy-bypass-list=" + bypass;
}

// Given switches that would undo the seal: Chromium takes no-proxy-server,
// then a PAC script, then auto-detection over our proxy-server, and the
// last of any switch wins. A bare "--" would make ours plain arguments.
bool undoesSeal(QByteArray name) {
  static const QList<QByteArray> names{"no-proxy-server", "proxy-pac-url",     "proxy-auto-detect",
                                       "proxy-server",    "proxy-bypass-list", "force-webrtc-ip-handling-policy"};
  if (name == "--") return true;
  name.replace('"', "");
  if (name.startsWith("--")) {
    name.remove(0, 2);
  } else if (name.startsWith('-')) {
    name.remove(0, 1);
  } else {
    return false;
  }
  if (const qsizetype equals = name.indexOf('='); equals >= 0) name.truncate(equals);
  return names.contains(name);
}

std::optional<QString>& fault() {
  static std::optional<QString> value;
  return value;
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

void registerSchemeOnce() {
  const QByteArray name(MediaResolver::scheme.data(), qsizetype(MediaResolver::scheme.size()));
  QWebEngineUrlScheme scheme(name);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(scheme);

  // The switches only hold while nothing calls
  // QNetworkProxy::setApplicationProxy: the engine then takes Qt's proxy
  // over its own switches. Nothing in the program sets it.
  const Seal made = seal(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), refusingPort());
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", made.flags);
  if (!made.stripped.isEmpty()) {
    qWarning("Tavolune: left out of the web engine's switches: %s", made.stripped.join(' ').constData());
  }
  if (!made.fault.isEmpty()) {
    fault() = made.fault;
    qWarning("Tavolune: live works show their stills: %s", qPrintable(made.fault));
  }
  deferSharedContext();
}

}  // namespace

void registerScheme() {
  // Once: a second seal would take the first one's switches for given ones.
  static std::once_flag once;
  std::call_once(once, registerSchemeOnce);
}

Seal seal(const QByteArray& given, quint16 refusingPort) {
  Seal made;
  QList<QByteArray> kept;
  QByteArray token;
  bool quoted = false;
  const auto endToken = [&] {
    if (token.isEmpty()) return;
    (undoesSeal(token) ? made.stripped : kept).append(token);
    token.clear();
  };
  for (char c : given) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ' ' || c == '\t' || c == '\n')) {
      endToken();
    } else {
      token += c;
    }
  }
  if (quoted) {
    made.fault = QStringLiteral("the web engine switches given to the program cannot be read");
    kept.clear();
  } else {
    endToken();
  }
  if (refusingPort == 0) made.fault = QStringLiteral("no port could be held for the web engine's refusing proxy");
  // Last, so that they win over anything given before; without a port the
  // proxy is a closed one all the same.
  kept.append(webRTCSwitch);
  kept.append(proxySwitches(refusingPort == 0 ? 1 : refusingPort));
  made.flags = kept.join(' ');
  return made;
}

std::optional<QString> sealFault() { return fault(); }
void setSealFault(std::optional<QString> value) { fault() = std::move(value); }

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
QString backdropScript() { return QStringLiteral("window.__tavolune && window.__tavolune.backdrop()"); }
QString webGLRefusedNote() { return QStringLiteral("__tavolune:webgl-refused"); }
QString backdropNote() { return QStringLiteral("__tavolune:backdrop"); }

}  // namespace tavolune::ArtRuntime
