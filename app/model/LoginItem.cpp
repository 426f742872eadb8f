#include "app/model/LoginItem.hpp"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <exception>
#include <string>

namespace tavolune {

LoginItem::LoginItem(AutostartService& service, SystemLog& log, QThreadPool* pool, QObject* parent)
    : QObject(parent), service_(service), log_(log), pool_(pool ? pool : QThreadPool::globalInstance()) {
  refresh();
}

LoginItem::~LoginItem() {
  std::unique_lock lock(jobsMutex_);
  jobsDone_.wait(lock, [this] { return jobs_ == 0; });
}

void LoginItem::set(bool enabled) {
  run([service = &service_, log = &log_, enabled] {
    try {
      service->setEnabled(enabled);
    } catch (const std::exception& e) {
      log->error(std::string("Open at Login unavailable (") + e.what() + ")");
    }
  });
}

void LoginItem::refresh() { run({}); }

void LoginItem::run(std::function<void()> change) {
  QPointer<LoginItem> self(this);
  AutostartService* service = &service_;
  {
    std::lock_guard lock(jobsMutex_);
    ++jobs_;
  }
  pool_->start([this, self, service, change = std::move(change)] {
    if (change) change();
    const LoginItemStatus status = service->status();
    QMetaObject::invokeMethod(
        qApp,
        [self, status] {
          if (!self) return;
          self->status_ = status;
          emit self->statusChanged();
        },
        Qt::QueuedConnection);
    // Last: the destructor may run as soon as the count reaches zero.
    std::lock_guard lock(jobsMutex_);
    if (--jobs_ == 0) jobsDone_.notify_all();
  });
}

}  // namespace tavolune
