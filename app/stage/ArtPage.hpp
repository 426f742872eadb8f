#pragma once
// One live work's web page with the off-the-record profile it alone uses.
// GUI thread only.

#include "core/media/ByteBudget.hpp"
#include "core/media/ContentFetcher.hpp"

#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <cstdint>
#include <functional>
#include <memory>

class QUrl;

namespace tavolune {

class TavoluneSchemeHandler;

namespace detail {
// Constructed before and destroyed after the page that uses the profile.
struct ArtProfileOwner {
  std::unique_ptr<QWebEngineProfile> ownedProfile = std::make_unique<QWebEngineProfile>();
};
}  // namespace detail

class ArtPage final : private detail::ArtProfileOwner, public QWebEnginePage {
 public:
  // The fixed secure origin of documents given as data: URLs.
  static constexpr const char* dataDocumentBase = "https://artwork.tavolune.invalid/";
  // setContent refuses a document whose data: URL is longer than this.
  static constexpr qsizetype maxInlineURL = 2 * 1024 * 1024;
  // A request load is stopped after this long.
  static constexpr int requestTimeoutMs = 60'000;

  // Sets up the profile as ArtRuntime::configuration describes.
  ArtPage(const ContentFetcher& fetcher, QObject* parent);
  ~ArtPage() override;

  QWebEngineProfile& artProfile() { return *ownedProfile; }
  TavoluneSchemeHandler& schemeHandler() { return *handler_; }

  // The one way a live work's URL is loaded: a decodable data: URL as a
  // document with a secure base (through the scheme when too large for
  // setContent), anything else as a request that stops after 60 s; nothing
  // at all while ArtRuntime::sealFault() is set.
  void loadArtwork(const QUrl& url);
  // Whether the last loadArtwork went through setContent.
  bool loadedInline() const { return loadedInline_; }
  // What the page's scheme requests may download (a fresh budget of its
  // own until set); the same work on the same stage keeps one across its
  // pages, loads and reloads. Each loadArtwork may besides be served a
  // budget of bytes, from the cache as well.
  void setDownloadBudget(std::shared_ptr<ByteBudget> downloads);
  // Bytes each later loadArtwork may be served through the scheme.
  void setLoadBudget(std::int64_t bytes) { loadBudget_ = bytes; }

  // Called when a frame's page runtime notes a WebGL context the engine
  // refused or its first 2D drawing in the document, and with the text of
  // each report a frame gives when asked (DrawVerdict::Report::parse).
  std::function<void()> onWebGLRefused;
  std::function<void()> onDrew;
  std::function<void(const QString&)> onReport;

 protected:
  void javaScriptAlert(const QUrl&, const QString&) override {}
  bool javaScriptConfirm(const QUrl&, const QString&) override { return true; }
  bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                const QString&) override;
  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

 private:
  TavoluneSchemeHandler* handler_;  // a child of the profile
  QTimer requestTimeout_;
  bool loadedInline_ = false;
  std::int64_t loadBudget_;
};

}  // namespace tavolune
