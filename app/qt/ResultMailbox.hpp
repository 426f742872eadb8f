#pragma once
// Hands a worker's result to a GUI object that may be destroyed before the
// result is ready. The owner closes the mailbox in its destructor; after
// that nothing more is posted, and what was posted but not yet delivered
// dies with the object (Qt drops an object's posted events). post() is
// thread-safe; close() is called on the receiver's thread.

#include <QMetaObject>
#include <QObject>

#include <memory>
#include <mutex>
#include <utility>

namespace tavolune {

class ResultMailbox {
 public:
  explicit ResultMailbox(QObject* receiver) : receiver_(receiver) {}

  static std::shared_ptr<ResultMailbox> to(QObject* receiver) { return std::make_shared<ResultMailbox>(receiver); }

  // Queues fn to run on the receiver's thread; false when it is gone.
  template <class F>
  bool post(F&& fn) {
    std::lock_guard lock(mutex_);
    if (!receiver_) return false;
    // The lock keeps close(), and so the destructor, waiting until the
    // event is queued, where the destructor will find and drop it.
    QMetaObject::invokeMethod(receiver_, std::forward<F>(fn), Qt::QueuedConnection);
    return true;
  }

  void close() {
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
  }

  // False once closed: nothing posted after that reaches the receiver.
  bool isOpen() const {
    std::lock_guard lock(mutex_);
    return receiver_ != nullptr;
  }

 private:
  mutable std::mutex mutex_;
  QObject* receiver_;
};

}  // namespace tavolune
