#pragma once
// Answers a live page's tavolune://local/... requests from the content
// fetcher and its disk cache. GUI thread only; fetches run on a small
// bounded pool of their own and come back queued. Each page load may fetch
// and store at most a budget of bytes; past it, requests fail.

#include "core/media/ByteBudget.hpp"
#include "core/media/ContentFetcher.hpp"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <deque>
#include <memory>
#include <optional>
#include <stop_token>
#include <unordered_map>

class QThreadPool;
class QWebEngineUrlRequestJob;

namespace tavolune {

class ResultMailbox;

class TavoluneSchemeHandler final : public QWebEngineUrlSchemeHandler {
  Q_OBJECT

 public:
  // Requests of one page in flight at once; more fail at once, so a page
  // cannot queue unbounded fetches (each may take up to 512 MiB).
  static constexpr std::size_t maxInFlight = 64;
  // Bytes one page load may fetch and store: one largest file.
  static constexpr std::int64_t loadBudget = std::int64_t{mediaDownloadLimit};

  explicit TavoluneSchemeHandler(ContentFetcher fetcher, QObject* parent = nullptr);
  // Stops every fetch still running; none of them answers.
  ~TavoluneSchemeHandler() override;

  void requestStarted(QWebEngineUrlRequestJob* job) override;

  // Serves bytes held in memory under a fresh URL of the scheme, for a
  // document too large to be handed to the page directly.
  QUrl serveDocument(QByteArray bytes, QByteArray mime);

  std::size_t inFlight() const { return active_.size(); }

  // A new page load: a fresh budget of the given bytes. Fetches of the
  // former load still running stay on theirs.
  void startLoad(std::int64_t budget = loadBudget);

  // The pool every handler fetches on.
  static QThreadPool& pool();

 signals:
  // The load's budget ran out; once per load.
  void budgetSpent();

 private:
  struct Answer {
    QPointer<QWebEngineUrlRequestJob> job;
    std::optional<MediaContent> content;  // none: the fetch failed
    std::shared_ptr<ByteBudget> budget;
  };
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
  bool budgetNoted_ = false;
  // Started and neither answered nor abandoned.
  std::unordered_map<QWebEngineUrlRequestJob*, std::stop_source> active_;
  struct Document {
    QByteArray bytes;
    QByteArray mime;
  };
  QHash<QString, Document> documents_;
  int nextDocument_ = 1;
};

}  // namespace tavolune
