#include "app/stage/ArtRuntime.hpp"

#include "app/qt/Convert.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/NetworkRules.hpp"
#include "core/model/MediaResolver.hpp"
#include "core/network/IPAddress.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHostAddress>
#include <QNetworkProxy>
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
// Bound directly, whatever proxy the user's session names: a socket behind
// an HTTP proxy cannot bind at all. 0 when none could be bound.
quint16 refusingPort() {
  static QTcpSocket* held = [] {
    auto* socket = new QTcpSocket;
    socket->setProxy(QNetworkProxy::NoProxy);
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

// The given switches a user may keep: none of them moves a connection past
// the refusing proxy or changes the WebRTC policy. Everything else given,
// known or not, is left out.
bool keptSwitch(const QByteArray& name) {
  static const QList<QByteArray> names{"host-resolver-rules", "ignore-gpu-blocklist", "use-gl", "use-angle",
                                       "disable-gpu",         "enable-logging",       "log-level", "v",
                                       "vmodule"};
  return names.contains(name);
}

// A host pattern that names names only: a name, or every name below one
// ("*.fxhash.xyz"), ending in a label with a letter. No pattern of this
// kind matches an address literal, the refusing proxy's included, or the
// name of this machine.
bool nameOnlyPattern(const QByteArray& pattern) {
  const QByteArray name = pattern.startsWith("*.") ? pattern.mid(2) : pattern;
  if (name.isEmpty() || name.startsWith('.') || name.endsWith('.') || name.contains("..")) return false;
  for (char c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.')) return false;
  }
  const QByteArray last = name.mid(name.lastIndexOf('.') + 1);
  if (name == "localhost" || name.endsWith(".localhost")) return false;
  return std::any_of(last.begin(), last.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// A public address literal, with or without a port, as Chromium's rules
// write one ("1.2.3.4", "1.2.3.4:443", "[2001:db8::1]:443").
bool publicReplacement(const QByteArray& replacement) {
  QByteArray host = replacement;
  QByteArray port;
  if (host.startsWith('[')) {
    const qsizetype close = host.indexOf(']');
    if (close < 0) return false;
    port = host.mid(close + 1);
    host = host.mid(1, close - 1);
    if (!port.isEmpty() && !port.startsWith(':')) return false;
    port = port.mid(1);
  } else if (host.count(':') == 1) {
    port = host.mid(host.indexOf(':') + 1);
    host = host.left(host.indexOf(':'));
    if (port.isEmpty()) return false;
  } else if (host.contains(':')) {
    return false;  // IPv6 without brackets
  }
  if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) || port.size() > 5) {
    return false;
  }
  const auto address = ip::parse(host.toStdString());
  return address && ip::isPublic(reinterpret_cast<const sockaddr&>(*address));
}

// A resolver rules switch's value, split into the rules kept, written
// again as the engine reads them, and those left out as given. The
// engine's rules apply to every name it resolves, address literals and the
// proxy's own included, and may change the port: only a rule that maps
// names to a public address cannot reach past the wall.
std::pair<QByteArray, QList<QByteArray>> resolverRules(const QByteArray& value) {
  QList<QByteArray> kept;
  QList<QByteArray> left;
  for (const QByteArray& given : value.split(',')) {
    const QByteArray rule = given.trimmed();
    if (rule.isEmpty()) continue;
    const QList<QByteArray> parts = rule.simplified().split(' ');
    if (parts.size() == 3 && parts[0].toLower() == "map" && nameOnlyPattern(parts[1].toLower()) &&
        publicReplacement(parts[2])) {
      kept.append("MAP " + parts[1].toLower() + ' ' + parts[2]);
    } else {
      left.append(rule);
    }
  }
  return {kept.join(", "), left};
}

// The arguments the engine makes of the variable: Qt splits it on spaces
// only and drops every quote (an unclosed one runs to the end); Chromium
// then trims each argument of ASCII whitespace.
QList<QByteArray> engineArguments(const QByteArray& given) {
  QList<QByteArray> arguments;
  QByteArray argument;
  enum { between, quoted, plain } state = between;
  for (char c : given) {
    if (c == '"') {
      state = state == quoted ? plain : quoted;
    } else if (c == ' ' && state != quoted) {
      if (state == plain) arguments.append(std::exchange(argument, {}));
      state = between;
    } else {
      argument += c;
      if (state == between) state = plain;
    }
  }
  if (!argument.isEmpty()) arguments.append(argument);
  const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  for (QByteArray& a : arguments) {
    while (!a.isEmpty() && space(a.back())) a.chop(1);
    while (!a.isEmpty() && space(a.front())) a.remove(0, 1);
  }
  return arguments;
}

// The switch's name as Chromium reads it ("--" or "-", then up to "="), or
// nothing for a plain argument.
QByteArray switchName(const QByteArray& argument) {
  const qsizetype prefix = argument.startsWith("--") ? 2 : argument.startsWith('-') ? 1 : 0;
  if (prefix == 0 || prefix == argument.size()) return {};
  return argument.mid(prefix, argument.indexOf('=') < 0 ? -1 : argument.indexOf('=') - prefix);
}

QList<QByteArray> switchNames(const QByteArray& flags) {
  QList<QByteArray> names;
  for (const QByteArray& argument : engineArguments(flags)) names.append(switchName(argument));
  return names;
}

// What the engine would do with Qt's proxy over our switches: it takes our
// switches only while Qt's proxy choice is the system's; an application
// proxy or factory of its own makes it take Qt's proxy, or none.
std::optional<QString> proxyChoiceFault() {
  if (QNetworkProxyFactory::usesSystemConfiguration()) return std::nullopt;
  return QStringLiteral("the program's own proxy setting would take the web engine past its refusing proxy");
}

std::optional<QString>& fault() {
  static std::optional<QString> value;
  return value;
}

void setFault(const QString& reason) {
  fault() = reason;
  qWarning("Tavolune: live works show their stills: %s", qPrintable(reason));
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

// The switches as sealed at start, and those tests add for their own hosts.
QByteArray& sealedFlags() {
  static QByteArray flags;
  return flags;
}
QByteArray& testSwitches() {
  static QByteArray switches;
  return switches;
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

// Makes the shared context and settles the engine's switches, once, before
// the first web view starts the engine, which reads them then.
bool& quickInSoftware() {
  static bool later = false;
  return later;
}

void startEngine() {
  static bool started = false;
  if (std::exchange(started, true)) return;
  QOpenGLContext* shared = qt_gl_global_share_context();
  // Without a context of ours nothing is known of the GL; one that cannot
  // be made means there is no OpenGL to speak of.
  bool software = false;
  if (shared) {
    if (!shared->isValid()) {
      // Made before any screen was there.
      shared->setScreen(QGuiApplication::primaryScreen());
      shared->setFormat(QSurfaceFormat::defaultFormat());
      shared->create();
    }
    software = !shared->isValid() || softwareRasteriser(*shared);
  }
  const QByteArray gl = softwareGLSwitches(sealedFlags(), software);
  QByteArray flags = sealedFlags();
  for (const QByteArray& more : {gl, testSwitches()}) {
    if (!more.isEmpty()) flags += (flags.isEmpty() ? "" : " ") + more;
  }
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
  // Without a usable GPU the engine composites its frames in software; Qt
  // Quick drawing them again through the same rasteriser tripled the CPU
  // and added a hundred MiB for one full-screen work. It then draws in
  // software too, before the first web view. The engine refuses its GPU,
  // WebGL with it, unless Qt Quick draws with OpenGL as it starts: where
  // it draws WebGL, Qt Quick turns to software once it has started.
  if (software && gl.isEmpty()) QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  quickInSoftware() = software && !gl.isEmpty();
}

void registerSchemeOnce() {
  const QByteArray name(MediaResolver::scheme.data(), qsizetype(MediaResolver::scheme.size()));
  QWebEngineUrlScheme scheme(name);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(scheme);

  const Seal made = seal(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), refusingPort());
  sealedFlags() = made.flags;
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", made.flags);
  if (!made.stripped.isEmpty()) {
    qWarning("Tavolune: left out of the web engine's switches: %s", made.stripped.join(' ').constData());
  }
  // The engine's own spelling of --remote-debugging-port: a debugger any
  // local user could reach would drive the pages past every wall.
  if (qEnvironmentVariableIsSet("QTWEBENGINE_REMOTE_DEBUGGING")) {
    qunsetenv("QTWEBENGINE_REMOTE_DEBUGGING");
    qWarning("Tavolune: left out of the web engine's settings: QTWEBENGINE_REMOTE_DEBUGGING");
  }
  if (made.fault.isEmpty()) {
    if (auto reason = proxyChoiceFault()) setFault(*reason);
  } else {
    setFault(made.fault);
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
  bool switches = true;
  for (const QByteArray& argument : engineArguments(given)) {
    if (argument.isEmpty()) continue;
    // Chromium reads nothing after a "--" as a switch.
    if (argument == "--") switches = false;
    QList<QByteArray> left;
    QByteArray keptArgument = argument;
    if (switches && switchName(argument) == "host-resolver-rules") {
      const qsizetype equals = argument.indexOf('=');
      const auto [rules, leftRules] = resolverRules(equals < 0 ? QByteArray() : argument.mid(equals + 1));
      keptArgument = rules.isEmpty() ? QByteArray() : argument.left(equals + 1) + rules;
      for (const QByteArray& rule : leftRules) left.append(argument.left(equals + 1) + rule);
      if (rules.isEmpty() && leftRules.isEmpty()) left.append(argument);
    } else if (!switches || !keptSwitch(switchName(argument))) {
      keptArgument.clear();
      left.append(argument);
    }
    // Quoted again only where Qt would split it.
    if (!keptArgument.isEmpty()) kept.append(keptArgument.contains(' ') ? '"' + keptArgument + '"' : keptArgument);
    for (const QByteArray& a : left) {
      if (!made.stripped.contains(a)) made.stripped.append(a);
    }
  }
  if (refusingPort == 0) made.fault = QStringLiteral("no port could be held for the web engine's refusing proxy");
  // Last, so that they win over anything given before; without a port the
  // proxy is a closed one all the same.
  kept.append(webRTCSwitch);
  kept.append(proxySwitches(refusingPort == 0 ? 1 : refusingPort));
  made.flags = kept.join(' ');
  return made;
}

QByteArray softwareGLSwitches(const QByteArray& flags, bool softwareOnly) {
  const QList<QByteArray> names = switchNames(flags);
  if (!softwareOnly || names.contains("disable-gpu")) return {};
  // WebGL on the rasteriser, while the engine composites, rasterises and
  // draws 2D canvases in software as it does without one: compositing
  // through the rasteriser made a 2D work cost eight times the CPU. WebGL
  // without multisampling, one raster thread and no shader disk cache: the
  // rasteriser's multisampled buffers cost a full-window shader work 50 MiB
  // and half its CPU, the three idle raster threads another 10 MiB.
  const QByteArray software =
      "--disable-gpu-compositing --disable-gpu-rasterization --disable-accelerated-2d-canvas "
      "--webgl-antialiasing-mode=none --num-raster-threads=1 --disable-gpu-shader-disk-cache";
  return names.contains("ignore-gpu-blocklist") ? software : "--ignore-gpu-blocklist " + software;
}

void addTestSwitches(const QByteArray& switches) { testSwitches() += (testSwitches().isEmpty() ? "" : " ") + switches; }

std::optional<QString> sealFault() {
  // Asked before every page: the proxy choice may change after start-up.
  if (!fault()) {
    if (auto reason = proxyChoiceFault()) setFault(*reason);
  }
  return fault();
}
void setSealFault(std::optional<QString> value) { fault() = std::move(value); }

void prepareRules() {
  if (rules()) return;
  rules() = new NetworkRules(QCoreApplication::instance());
}

NetworkRules* compiledRules() { return rules(); }

ArtPage* configuration(const ContentFetcher& fetcher, QObject* parent) {
  startEngine();
  auto* page = new ArtPage(fetcher, parent);  // the first one starts the engine
  if (std::exchange(quickInSoftware(), false)) QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  return page;
}

const QString& runtimeSource() {
  // The frame's report lives in a file of its own, spliced in where the
  // runtime asks for it.
  static const QString source = resource("art-runtime.js")
                                    .replace(QStringLiteral("TAVOLUNE_REPORT"),
                                             QLatin1Char('(') + resource("art-report.js") + QLatin1Char(')'));
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
QString drewNote() { return QStringLiteral("__tavolune:drew"); }
QString backdropNote() { return QStringLiteral("__tavolune:backdrop"); }

}  // namespace tavolune::ArtRuntime
