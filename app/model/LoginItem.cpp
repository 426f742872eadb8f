#include "app/model/LoginItem.hpp"

#include <QThreadPool>

#include <exception>
#include <string>

namespace tavolune {

LoginItem::LoginItem(AutostartService& service, SystemLog& log, QThreadPool* pool, QObject* parent)
    : QObject(parent), service_(service), log_(log), pool_(pool ? pool : QThreadPool::globalInstance()) {
  refresh();
}

LoginItem::~LoginItem() {
  mailbox_->close();
  std::unique_lock lock(jobs_->mutex);
  jobs_->done.wait(lock, [jobs = jobs_.get()] { return jobs->count == 0; });
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
  AutostartService* service = &service_;
  {
    std::lock_guard lock(jobs_->mutex);
    ++jobs_->count;
  }
  // The service outlives the jobs: the destructor waits for them.
  pool_->start([mailbox = mailbox_, self = this, jobs = jobs_, service, change = std::move(change)] {
    if (change) change();
    const LoginItemStatus status = service->status();
    mailbox->post([self, status] {
      self->status_ = status;
      emit self->statusChanged();
    });
    std::lock_guard lock(jobs->mutex);
    if (--jobs->count == 0) jobs->done.notify_all();
  });
}

}  // namespace tavolune
