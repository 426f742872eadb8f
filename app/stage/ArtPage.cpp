#include "app/stage/ArtPage.hpp"

#include "app/qt/Convert.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/NetworkRules.hpp"
#include "app/stage/TavoluneSchemeHandler.hpp"
#include "core/media/DataURL.hpp"
#include "core/model/MediaResolver.hpp"

#include <QWebEngineClientCertificateSelection>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineHttpRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace tavolune {

namespace {

QWebEngineScript script(const QString& name, const QString& source, QWebEngineScript::InjectionPoint point,
                        bool allFrames) {
  QWebEngineScript s;
  s.setName(name);
  s.setSourceCode(source);
  s.setInjectionPoint(point);
  s.setWorldId(QWebEngineScript::MainWorld);
  s.setRunsOnSubFrames(allFrames);
  return s;
}

}  // namespace

ArtPage::ArtPage(const ContentFetcher& fetcher, QObject* parent)
    : QWebEnginePage(ownedProfile.get(), parent),
      handler_(new TavoluneSchemeHandler(fetcher, ownedProfile.get())),
      loadBudget_(TavoluneSchemeHandler::pageBudget) {
  QWebEngineProfile& profile = *ownedProfile;
  profile.installUrlSchemeHandler(QByteArray(MediaResolver::scheme.data(), qsizetype(MediaResolver::scheme.size())),
                                  handler_);
  profile.setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile.setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile.setSpellCheckEnabled(false);
  if (auto* rules = ArtRuntime::compiledRules()) profile.setUrlRequestInterceptor(rules);
  profile.scripts()->insert(script(QStringLiteral("tavolune-runtime"), ArtRuntime::runtimeSource(),
                                   QWebEngineScript::DocumentCreation, true));
  profile.scripts()->insert(
      script(QStringLiteral("tavolune-style"), ArtRuntime::styleSource(), QWebEngineScript::DocumentReady, false));

  QWebEngineSettings* s = settings();
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::LocalStorageEnabled, true);
  s->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
  s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
  s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
  s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
  s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
  setAudioMuted(true);

  connect(this, &QWebEnginePage::featurePermissionRequested, this, [this](const QUrl& origin, Feature feature) {
    setFeaturePermission(origin, feature, PermissionDeniedByUser);
  });
  connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
          [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
  connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
          [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
  connect(this, &QWebEnginePage::selectClientCertificate, this, [](QWebEngineClientCertificateSelection) {});

  requestTimeout_.setSingleShot(true);
  requestTimeout_.setInterval(requestTimeoutMs);
  connect(&requestTimeout_, &QTimer::timeout, this, [this] { triggerAction(Stop); });
  connect(this, &QWebEnginePage::loadFinished, &requestTimeout_, &QTimer::stop);
}

ArtPage::~ArtPage() = default;

// The page's own messages go nowhere; only the runtime's notes are heard.
void ArtPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int, const QString&) {
  if (onWebGLRefused && message == ArtRuntime::webGLRefusedNote()) onWebGLRefused();
  if (onDrew && message == ArtRuntime::drewNote()) onDrew();
  const QString report = ArtRuntime::backdropNote() + u' ';
  if (onReport && message.startsWith(report)) onReport(message.mid(report.size()));
}

void ArtPage::setDownloadBudget(std::shared_ptr<ByteBudget> downloads) {
  handler_->setDownloadBudget(std::move(downloads));
}

void ArtPage::loadArtwork(const QUrl& url) {
  loadedInline_ = false;
  requestTimeout_.stop();
  // The last gate: whoever asks, no work's page loads past a broken seal.
  if (ArtRuntime::sealFault()) return;
  // The page's own navigations stay on the budget of the load we started.
  handler_->startLoad(loadBudget_);
  if (url.scheme() == u"data") {
    const std::string text = url.toString(QUrl::FullyEncoded).toStdString();
    if (auto decoded = DataURL::decode(text)) {
      const QByteArray bytes(decoded->data.data(), qsizetype(decoded->data.size()));
      const QByteArray mime = QByteArray::fromStdString(decoded->mime);
      // setContent percent-encodes the bytes into a data: URL of its own.
      const qsizetype inlineLength = 5 + mime.size() + 15 + bytes.toPercentEncoding().size();
      if (inlineLength <= maxInlineURL) {
        loadedInline_ = true;
        setContent(bytes, QString::fromUtf8(mime) + QStringLiteral(";charset=utf-8"), QUrl(dataDocumentBase));
        return;
      }
      load(handler_->serveDocument(bytes, mime));
      return;
    }
  }
  QWebEngineHttpRequest request(url);
  requestTimeout_.start();
  load(request);
}

}  // namespace tavolune
