#include "app/stage/ArtRuntime.hpp"

#include "app/qt/Convert.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/NetworkRules.hpp"
#include "core/model/MediaResolver.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QWebEngineUrlScheme>

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

// Peer connections would carry traffic the rule list never sees.
constexpr const char* webRTCSwitch = "--force-webrtc-ip-handling-policy=disable_non_proxied_udp";

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
    if (!flags.isEmpty()) flags += ' ';
    flags += webRTCSwitch;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
  }
}

void prepareRules() {
  if (rules()) return;
  rules() = new NetworkRules(QCoreApplication::instance());
}

NetworkRules* compiledRules() { return rules(); }

ArtPage* configuration(const ContentFetcher& fetcher, QObject* parent) { return new ArtPage(fetcher, parent); }

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

}  // namespace tavolune::ArtRuntime
