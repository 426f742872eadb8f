#pragma once
// Work an owner runs on a thread pool, each result handed to the owner's
// thread through the owner's mailbox, and a wait for all of it before the
// owner goes. The jobs take copies: nothing in them reads the owner. Use it
// on the owner's thread; the jobs run on the pool.

#include "app/qt/ResultMailbox.hpp"

#include <QThreadPool>

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace tavolune {

class PoolJobs {
 public:
  // Results go to the owner's thread, and die with it. An owner that is no
  // QObject gives the application object, and its deliveries check their own
  // receiver. The global pool when pool is null.
  explicit PoolJobs(QObject* owner, QThreadPool* pool = nullptr)
      : mailbox_(ResultMailbox::to(owner)), pool_(pool ? pool : QThreadPool::globalInstance()) {}
  // Owners call stop() first, before the members their deliveries use go.
  ~PoolJobs() { stop(); }
  PoolJobs(const PoolJobs&) = delete;
  PoolJobs& operator=(const PoolJobs&) = delete;

  // work() on the pool, then deliver(its result) on the owner's thread,
  // unless stopped before.
  template <class Work, class Deliver>
  void run(Work work, Deliver deliver) {
    start([work = std::move(work), deliver = std::move(deliver), mailbox = mailbox_]() mutable {
      if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
        work();
        mailbox->post(std::move(deliver));
      } else {
        mailbox->post([deliver = std::move(deliver), result = work()]() mutable { deliver(std::move(result)); });
      }
    });
  }

  // work() on the pool, counted while it runs. A job that has not begun
  // when stop() is called never runs.
  template <class Work>
  void start(Work work) {
    auto held = std::make_shared<std::optional<Work>>(std::move(work));
    pool_->start([held, count = count_] {
      {
        std::lock_guard lock(count->mutex);
        if (count->stopped) return;
        ++count->running;
      }
      (**held)();
      // The job's captures go before the owner hears it is done.
      held->reset();
      std::lock_guard lock(count->mutex);
      if (--count->running == 0) count->idle.notify_all();
    });
  }

  // Nothing more is delivered or begun, and blocks until every running job
  // has returned (ask them to stop first); never for a job still queued
  // behind others' work.
  void stop() {
    std::unique_lock lock(count_->mutex);
    count_->stopped = true;
    mailbox_->close();
    count_->idle.wait(lock, [this] { return count_->running == 0; });
  }

  bool isStopped() const {
    std::lock_guard lock(count_->mutex);
    return count_->stopped;
  }
  // Jobs under way (begun, not returned).
  std::size_t running() const {
    std::lock_guard lock(count_->mutex);
    return count_->running;
  }
  // For jobs that post more than one result.
  const std::shared_ptr<ResultMailbox>& mailbox() const { return mailbox_; }

 private:
  struct Count {
    std::mutex mutex;
    std::condition_variable idle;
    std::size_t running = 0;
    bool stopped = false;
  };
  std::shared_ptr<ResultMailbox> mailbox_;
  std::shared_ptr<Count> count_ = std::make_shared<Count>();
  QThreadPool* pool_;
};

}  // namespace tavolune
