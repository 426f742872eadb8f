#pragma once
// Answers a live page's tavolune://local/... requests from the content
// fetcher and its disk cache. GUI thread only; fetches run on a small
// bounded pool of their own and come back queued. One handler serves one
// page: the page may move and be served at most its byte budget, hold a
// bounded number of requests, and run a bounded number of fetches at once.

#include "core/media/ByteBudget.hpp"
#include "core/media/ContentFetcher.hpp"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <deque>
#include <memory>
#include <stop_token>
#include <unordered_map>

class QThreadPool;
class QWebEngineUrlRequestJob;

namespace tavolune {

class ResultMailbox;

class TavoluneSchemeHandler final : public QWebEngineUrlSchemeHandler {
  Q_OBJECT

 public:
  // Requests of one page held at once: fetching, waiting for a worker, or
  // answered and not yet read to the end. More fail at once, so a page
  // cannot pile up fetches, open files or answers it never reads.
  static constexpr std::size_t maxInFlight = 64;
  // Fetches of one page running at once; the rest wait for one of these,
  // so that a page never holds the workers another page needs.
  static constexpr std::size_t maxRunning = 4;
  // Bytes one page may be served, from the network and the cache alike,
  // counting what its cut-off and failed downloads moved: one largest file.
  static constexpr std::int64_t pageBudget = std::int64_t{mediaDownloadLimit};

  explicit TavoluneSchemeHandler(ContentFetcher fetcher, QObject* parent = nullptr);
  // Stops every fetch still running; none of them answers.
  ~TavoluneSchemeHandler() override;

  void requestStarted(QWebEngineUrlRequestJob* job) override;

  // Serves bytes held in memory under a fresh URL of the scheme, for a
  // document too large to be handed to the page directly.
  QUrl serveDocument(QByteArray bytes, QByteArray mime);

  std::size_t inFlight() const { return active_.size() + unread_; }
  std::size_t running() const { return running_; }

  // A new page load: a fresh budget of bytes served (from the cache as
  // well as downloaded). The page's own navigations stay on the one before.
  // Fetches already running stay on theirs.
  void startLoad(std::int64_t budget = pageBudget);
  // What the page's requests may download, across its loads: one work on
  // one stage keeps one. A fresh one of the handler's own until set.
  void setDownloadBudget(std::shared_ptr<ByteBudget> downloads);

  // The pool every handler fetches on: maxRunning workers per handler.
  static QThreadPool& pool();

 signals:
  // A budget ran out; once per load.
  void budgetSpent();

 private:
  struct Fetched;
  struct Answer {
    QPointer<QWebEngineUrlRequestJob> job;
    std::shared_ptr<Fetched> fetched;  // none: the fetch failed
    std::shared_ptr<ByteBudget> budget;
    std::shared_ptr<ByteBudget> downloads;
  };
  void launch(QWebEngineUrlRequestJob* job, Url url);
  void launchWaiting();
  void queue(Answer answer);
  // Answers in slices of a few milliseconds, so that a burst of finished
  // fetches never holds the event loop.
  void drain();
  void finish(Answer& answer);

  std::deque<Answer> answers_;
  bool draining_ = false;

  ContentFetcher fetcher_;
  std::shared_ptr<ResultMailbox> mailbox_;
  std::shared_ptr<ByteBudget> budget_;
  std::shared_ptr<ByteBudget> downloads_;
  bool budgetNoted_ = false;
  // Started and neither answered nor abandoned; waiting_ holds those not
  // yet given to a worker, in order.
  std::unordered_map<QWebEngineUrlRequestJob*, std::stop_source> active_;
  std::deque<std::pair<QPointer<QWebEngineUrlRequestJob>, Url>> waiting_;
  std::size_t running_ = 0;
  // Answers handed to the page and not yet read to the end or dropped.
  std::size_t unread_ = 0;
  struct Document {
    QByteArray bytes;
    QByteArray mime;
  };
  QHash<QString, Document> documents_;
  int nextDocument_ = 1;
};

}  // namespace tavolune
