#pragma once
// UpdateFeed on Qt's network access. GUI thread only; never blocks.

#include "app/platform/UpdateFeed.hpp"

#include <QNetworkAccessManager>

namespace tavolune {

class NetworkUpdateFeed final : public UpdateFeed {
 public:
  static constexpr int timeoutMs = 30'000;
  void fetch(const QUrl& url, QObject* context, std::function<void(Answer)> done) override;

 private:
  QNetworkAccessManager network_;
};

}  // namespace tavolune
