#include "app/stage/TavoluneSchemeHandler.hpp"

#include "app/qt/Convert.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "core/model/MediaResolver.hpp"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QPointer>
#include <QThreadPool>
#include <QWebEngineUrlRequestJob>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace tavolune {

namespace {

// Serves the fetched bytes where they lie: a file may be hundreds of
// megabytes, and a copy into a QByteArray would hold it twice.
class BytesDevice final : public QIODevice {
 public:
  BytesDevice(Bytes bytes, QObject* parent) : QIODevice(parent), bytes_(std::move(bytes)) {
    open(QIODevice::ReadOnly);
  }
  qint64 size() const override { return qint64(bytes_.size()); }
  bool isSequential() const override { return false; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 at = pos();
    if (at >= size()) return -1;
    const qint64 n = std::min(maxSize, size() - at);
    std::memcpy(data, bytes_.data() + at, std::size_t(n));
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  Bytes bytes_;
};

}  // namespace

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
    : QWebEngineUrlSchemeHandler(parent),
      fetcher_(std::move(fetcher)),
      mailbox_(ResultMailbox::to(this)),
      budget_(std::make_shared<ByteBudget>(loadBudget)) {}

TavoluneSchemeHandler::~TavoluneSchemeHandler() {
  mailbox_->close();
  for (auto& [job, stop] : active_) stop.request_stop();
}

void TavoluneSchemeHandler::startLoad(std::int64_t budget) {
  budget_ = std::make_shared<ByteBudget>(budget);
  budgetNoted_ = false;
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

  QPointer<QWebEngineUrlRequestJob> target(job);
  pool().start([fetcher = fetcher_, url = std::move(*parsed), token = stop.get_token(), mailbox = mailbox_,
                budget = budget_, target, self = this] {
    Answer answer{target, std::nullopt, budget};
    try {
      answer.content = fetcher.fetchLocal(url, token, budget.get());
    } catch (...) {
      // Any failure answers as a failed request.
    }
    if (token.stop_requested()) return;
    mailbox->post([self, answer = std::move(answer)]() mutable { self->queue(std::move(answer)); });
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
  if (!answer.content) {
    if (answer.budget == budget_ && budget_->spent() && !budgetNoted_) {
      budgetNoted_ = true;
      qWarning("Tavolune: a live work went past its byte budget for one load; its further files fail");
      emit budgetSpent();
    }
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  const QByteArray mime = QByteArray::fromStdString(answer.content->mime);
  job->reply(mime, new BytesDevice(std::move(answer.content->data), job));
}

}  // namespace tavolune
