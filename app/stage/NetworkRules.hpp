#pragma once
// The network rule list "tavolune-network-v1": what a live work may load.
// GUI thread only (Qt 6 calls interceptors on the UI thread); allows() is
// a pure function and thread-safe.

#include <QWebEngineUrlRequestInterceptor>

#include <string>
#include <string_view>
#include <vector>

class QUrl;

namespace tavolune {

class NetworkRules final : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT

 public:
  static constexpr std::string_view identifier = "tavolune-network-v1";

  // tavolune:, data:, blob: and about: pass; http(s) and ws(s) only to the
  // live-art hosts and their subdomains; everything else (file:, ftp:,
  // filesystem:, other schemes) is blocked.
  static bool allows(const QUrl& url);
  static bool isAllowedHost(std::string_view host);
  // The names a live work may reach, each with all its subdomains: the
  // live-art hosts and S3's regional names.
  static const std::vector<std::string>& allowedDomains();

  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};

}  // namespace tavolune
