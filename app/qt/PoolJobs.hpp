#pragma once
// Work an owner runs on a thread pool, each result handed to the owner's
// thread through the owner's mailbox. The jobs take copies (shared ones of
// what outlives the owner): nothing in them reads the owner, so nothing
// waits for them when the owner goes. Use it on the owner's thread; the
// jobs run on the pool.

#include "app/qt/ResultMailbox.hpp"

#include <QThreadPool>

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
      held->reset();
      std::lock_guard lock(count->mutex);
      --count->running;
    });
  }

  // Nothing more is delivered or begun. A job under way runs on to its end
  // by itself (ask it to stop first); nothing waits for it.
  void stop() {
    std::lock_guard lock(count_->mutex);
    count_->stopped = true;
    mailbox_->close();
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
    std::size_t running = 0;
    bool stopped = false;
  };
  std::shared_ptr<ResultMailbox> mailbox_;
  std::shared_ptr<Count> count_ = std::make_shared<Count>();
  QThreadPool* pool_;
};

}  // namespace tavolune
