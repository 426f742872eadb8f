#pragma once
// Open at Login: the published status of the autostart entry and the switch
// that changes it. GUI thread only; the entry is read and written on the
// thread pool and the status always comes back from what is on disk.

#include "app/platform/AutostartService.hpp"
#include "app/platform/SystemLog.hpp"
#include "app/qt/ResultMailbox.hpp"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QThreadPool;

namespace tavolune {

class LoginItem final : public QObject {
  Q_OBJECT

 public:
  // Both services must outlive this object. Destroying it waits for the
  // jobs it started (each is one small file read or write), so nothing on
  // the pool touches the services afterwards.
  LoginItem(AutostartService& service, SystemLog& log, QThreadPool* pool = nullptr, QObject* parent = nullptr);
  ~LoginItem() override;

  LoginItemStatus status() const { return status_; }
  // Registers (true) or unregisters (false), then reads the status again.
  // A failure writes one line to the system log and shows in the status.
  void set(bool enabled);
  // Reads the status again.
  void refresh();

 signals:
  void statusChanged();

 private:
  void run(std::function<void()> change);

  AutostartService& service_;
  SystemLog& log_;
  QThreadPool* pool_;
  LoginItemStatus status_ = LoginItemStatus::notRegistered;
  // Jobs under way, shared with the workers so that none of them holds this.
  struct Jobs {
    std::mutex mutex;
    std::condition_variable done;
    int count = 0;
  };
  std::shared_ptr<Jobs> jobs_ = std::make_shared<Jobs>();
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
};

}  // namespace tavolune
