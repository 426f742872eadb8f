#include "app/stage/TavoluneSchemeHandler.hpp"

#include "app/qt/Convert.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "core/model/MediaResolver.hpp"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QPointer>
#include <QThreadPool>
#include <QWebEngineUrlRequestJob>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <utility>

namespace tavolune {

// A fetched file: the cache's open file, or the bytes. Closes what it holds.
struct TavoluneSchemeHandler::Fetched {
  ContentFetcher::LocalFile file;
  Fetched() = default;
  Fetched(const Fetched&) = delete;
  Fetched& operator=(const Fetched&) = delete;
  ~Fetched() {
    if (file.fd >= 0) ::close(file.fd);
  }
};

namespace {

// Serves a fetched file where it lies: streamed from the cache's file, or
// from the downloaded bytes when they could not be stored (never a copy).
// done runs once, when the page has read it all or dropped it. The engine
// reads it on its own IO thread and deletes it on the GUI thread, so done
// may run on either: it must touch nothing but thread-safe state.
class ReplyBody final : public QIODevice {
 public:
  ReplyBody(ContentFetcher::LocalFile& file, std::function<void()> done, QObject* parent)
      : QIODevice(parent), size_(file.size), bytes_(std::move(file.bytes)), done_(std::move(done)) {
    if (const int fd = std::exchange(file.fd, -1); fd >= 0) {
      if (file_.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        size_ = file_.size();
      } else {
        ::close(fd);
        size_ = 0;
      }
    }
    open(QIODevice::ReadOnly);
  }
  ~ReplyBody() override { finished(); }
  qint64 size() const override { return size_; }
  bool isSequential() const override { return false; }
  bool seek(qint64 pos) override {
    if (!QIODevice::seek(pos)) return false;
    return !file_.isOpen() || file_.seek(pos);
  }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 at = pos();
    if (at >= size_) {
      finished();
      return -1;
    }
    const qint64 n = std::min(maxSize, size_ - at);
    if (file_.isOpen()) return file_.read(data, n);
    std::memcpy(data, bytes_.data() + at, std::size_t(n));
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  void finished() {
    if (!over_.exchange(true)) done_();
  }
  QFile file_;
  qint64 size_;
  Bytes bytes_;
  const std::function<void()> done_;
  std::atomic<bool> over_{false};
};

int& handlerCount() {
  static int count = 0;
  return count;
}

void sizePool() {
  TavoluneSchemeHandler::pool().setMaxThreadCount(
      std::max<int>(int(TavoluneSchemeHandler::maxRunning), handlerCount() * int(TavoluneSchemeHandler::maxRunning)));
}

}  // namespace

QThreadPool& TavoluneSchemeHandler::pool() {
  static QThreadPool* shared = [] {
    auto* p = new QThreadPool(QCoreApplication::instance());
    p->setMaxThreadCount(int(maxRunning));
    p->setObjectName(QStringLiteral("tavolune-scheme"));
    return p;
  }();
  return *shared;
}

TavoluneSchemeHandler::TavoluneSchemeHandler(ContentFetcher fetcher, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent),
      fetcher_(std::move(fetcher)),
      mailbox_(ResultMailbox::to(this)),
      budget_(std::make_shared<ByteBudget>(pageBudget)),
      downloads_(std::make_shared<ByteBudget>(pageBudget)) {
  ++handlerCount();
  sizePool();
}

TavoluneSchemeHandler::~TavoluneSchemeHandler() {
  mailbox_->close();
  for (auto& [job, stop] : active_) stop.request_stop();
  --handlerCount();
  sizePool();
}

void TavoluneSchemeHandler::startLoad(std::int64_t budget) {
  budget_ = std::make_shared<ByteBudget>(budget);
  budgetNoted_ = false;
}

void TavoluneSchemeHandler::setDownloadBudget(std::shared_ptr<ByteBudget> downloads) {
  downloads_ = std::move(downloads);
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
  if (inFlight() >= maxInFlight) {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  active_.emplace(job, std::stop_source());
  // The engine deletes a job it abandons: stop its fetch, never answer it.
  connect(job, &QObject::destroyed, this, [this, job] {
    if (auto found = active_.find(job); found != active_.end()) {
      found->second.request_stop();
      active_.erase(found);
    }
  });
  if (running_ < maxRunning) {
    launch(job, std::move(*parsed));
  } else {
    waiting_.emplace_back(job, std::move(*parsed));
  }
}

void TavoluneSchemeHandler::launch(QWebEngineUrlRequestJob* job, Url url) {
  ++running_;
  QPointer<QWebEngineUrlRequestJob> target(job);
  pool().start([fetcher = fetcher_, url = std::move(url), token = active_.at(job).get_token(), mailbox = mailbox_,
                budget = budget_, downloads = downloads_, target, self = this] {
    Answer answer{target, nullptr, budget, downloads};
    if (!token.stop_requested()) {
      try {
        auto fetched = std::make_shared<Fetched>();
        fetched->file = fetcher.openLocal(url, token, budget.get(), downloads.get());
        answer.fetched = std::move(fetched);
      } catch (...) {
        // Any failure answers as a failed request.
      }
    }
    // Always told, stopped or not: the worker is free again.
    mailbox->post([self, answer = std::move(answer)]() mutable {
      --self->running_;
      self->launchWaiting();
      self->queue(std::move(answer));
    });
  });
}

void TavoluneSchemeHandler::launchWaiting() {
  while (running_ < maxRunning && !waiting_.empty()) {
    auto [job, url] = std::move(waiting_.front());
    waiting_.pop_front();
    if (job && active_.contains(job)) launch(job, std::move(url));
  }
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
  if (!answer.fetched) {
    if (answer.budget == budget_ && (budget_->spent() || answer.downloads->spent()) && !budgetNoted_) {
      budgetNoted_ = true;
      qWarning("Tavolune: a live work went past its byte budget; its further files fail");
      emit budgetSpent();
    }
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  ++unread_;
  ContentFetcher::LocalFile& file = answer.fetched->file;
  const QByteArray mime = QByteArray::fromStdString(file.mime);
  // Counted down on this thread; the mailbox drops it once the handler is gone.
  auto* body = new ReplyBody(file, [mailbox = mailbox_, self = this] {
    mailbox->post([self] { --self->unread_; });
  }, job);
  job->reply(mime, body);
}

}  // namespace tavolune
