#include "app/platform/linux/NetworkUpdateFeed.hpp"

#include "core/network/HTTPClient.hpp"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <memory>

namespace tavolune {

void NetworkUpdateFeed::fetch(const QUrl& url, QObject* context, std::function<void(Answer)> done) {
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setTransferTimeout(timeoutMs);
  request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(HTTPClient::defaultUserAgent.data(),
                                                                 static_cast<qsizetype>(HTTPClient::defaultUserAgent.size())));
  QNetworkReply* reply = network_.get(request);
  // Why we stopped the transfer ourselves, if we did.
  auto refusal = std::make_shared<QString>();
  auto refuse = [reply, refusal](const QString& why) {
    if (refusal->isEmpty()) *refusal = why;
    reply->abort();
  };

  QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, refuse](const QUrl& to) {
    if (to.scheme() != QLatin1String("https")) return refuse(QStringLiteral("the update feed moved to a page that is not https"));
    emit reply->redirectAllowed();
  });
  auto tooLarge = [refuse] { refuse(QStringLiteral("the update feed is larger than 1 MiB")); };
  QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, tooLarge] {
    if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes) tooLarge();
  });
  QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [tooLarge](qint64 received, qint64) {
    if (received > maxBytes) tooLarge();
  });

  QPointer<QObject> receiver(context);
  QObject::connect(reply, &QNetworkReply::finished, reply, [reply, refusal, receiver, done] {
    reply->deleteLater();
    Answer answer;
    if (!refusal->isEmpty()) {
      answer.error = *refusal;
    } else if (reply->error() != QNetworkReply::NoError) {
      answer.error = reply->errorString();
    } else {
      answer.body = reply->readAll();
      if (answer.body.size() > maxBytes) answer = {{}, QStringLiteral("the update feed is larger than 1 MiB")};
    }
    if (receiver) done(std::move(answer));
  });
}

}  // namespace tavolune
