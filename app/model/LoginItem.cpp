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
  pool_->start([self, service, change = std::move(change)] {
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
  });
}

}  // namespace tavolune
