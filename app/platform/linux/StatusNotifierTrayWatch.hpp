#pragma once
// The tray host on a Linux desktop: the StatusNotifier watcher
// ("org.kde.StatusNotifierWatcher") on the session bus, watched as it comes
// and goes, or else an XEmbed tray as Qt sees it when asked. GUI thread only;
// the first answer is one asynchronous bus call with a short time-out.

#include "app/platform/TrayHostWatch.hpp"

#include <QDBusConnection>

class QDBusServiceWatcher;

namespace tavolune {

class StatusNotifierTrayWatch final : public TrayHostWatch {
  Q_OBJECT
 public:
  static constexpr const char* watcherService = "org.kde.StatusNotifierWatcher";

  explicit StatusNotifierTrayWatch(QDBusConnection sessionBus, QObject* parent = nullptr);
  bool available() const override { return available_; }

 private:
  void set(bool available);

  QDBusConnection bus_;
  QDBusServiceWatcher* watcher_ = nullptr;
  bool available_ = false;
};

}  // namespace tavolune
