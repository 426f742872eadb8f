#include "app/stage/TavoluneSchemeHandler.hpp"

#include "app/qt/Convert.hpp"
#include "core/model/MediaResolver.hpp"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThreadPool>
#include <QWebEngineUrlRequestJob>

#include <optional>
#include <utility>

namespace tavolune {

QThreadPool& TavoluneSchemeHandler::pool() {
  static QThreadPool* shared = [] {
    auto* p = new QThreadPool(QCoreApplication::instance());
    p->setMaxThreadCount(4);
    p->setObjectName(QStringLiteral("tavolune-scheme"));
    return p;
  }();
  return *shared;
}

TavoluneSchemeHandler::TavoluneSchemeHandler(ContentFetcher fetcher, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), fetcher_(std::move(fetcher)) {}

TavoluneSchemeHandler::~TavoluneSchemeHandler() {
  for (auto& [job, stop] : active_) stop.request_stop();
}

QUrl TavoluneSchemeHandler::serveDocument(QByteArray bytes, QByteArray mime) {
  const QString path = QStringLiteral("/document/%1").arg(nextDocument_++);
  documents_.insert(path, Document{std::move(bytes), std::move(mime)});
  QUrl url;
  url.setScheme(qt::str(MediaResolver::scheme));
  url.setHost(qt::str(MediaResolver::localHost));
  url.setPath(path);
  return url;
}

void TavoluneSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  const QUrl url = job->requestUrl();
  if (auto document = documents_.constFind(url.path());
      document != documents_.cend() && url.host() == qt::str(MediaResolver::localHost)) {
    auto* body = new QBuffer(job);
    body->setData(document->bytes);
    job->reply(document->mime, body);
    return;
  }
  auto parsed = Url::parse(url.toString(QUrl::FullyEncoded).toStdString());
  if (!parsed) {
    job->fail(QWebEngineUrlRequestJob::UrlInvalid);
    return;
  }
  if (active_.size() >= maxInFlight) {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  std::stop_source stop;
  active_.emplace(job, stop);
  // The engine deletes a job it abandons: stop its fetch, never answer it.
  connect(job, &QObject::destroyed, this, [this, job] {
    if (auto found = active_.find(job); found != active_.end()) {
      found->second.request_stop();
      active_.erase(found);
    }
  });

  QPointer<TavoluneSchemeHandler> handler(this);
  QPointer<QWebEngineUrlRequestJob> target(job);
  pool().start([fetcher = fetcher_, url = std::move(*parsed), token = stop.get_token(), handler, target] {
    Answer answer{target, std::nullopt, {}};
    try {
      auto content = fetcher.fetchLocal(url, token);
      // Copied here, not on the GUI thread.
      answer.body = QByteArray(content.data.data(), qsizetype(content.data.size()));
      answer.mime = QByteArray::fromStdString(content.mime);
    } catch (...) {
      // Any failure answers as a failed request.
    }
    if (token.stop_requested()) return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [handler, answer = std::move(answer)]() mutable {
          if (handler) handler->queue(std::move(answer));
        },
        Qt::QueuedConnection);
  });
}

void TavoluneSchemeHandler::queue(Answer answer) {
  answers_.push_back(std::move(answer));
  if (draining_) return;
  draining_ = true;
  QMetaObject::invokeMethod(this, &TavoluneSchemeHandler::drain, Qt::QueuedConnection);
}

void TavoluneSchemeHandler::drain() {
  QElapsedTimer slice;
  slice.start();
  while (!answers_.empty() && slice.elapsed() < 4) {
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    finish(answer);
  }
  draining_ = !answers_.empty();
  if (draining_) QMetaObject::invokeMethod(this, &TavoluneSchemeHandler::drain, Qt::QueuedConnection);
}

void TavoluneSchemeHandler::finish(Answer& answer) {
  QWebEngineUrlRequestJob* job = answer.job;
  if (!job) return;
  auto found = active_.find(job);
  if (found == active_.end()) return;
  active_.erase(found);
  disconnect(job, &QObject::destroyed, this, nullptr);
  if (!answer.body) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  auto* body = new QBuffer(job);
  body->setData(*answer.body);
  job->reply(answer.mime, body);
}

}  // namespace tavolune
