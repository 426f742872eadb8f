#pragma once
// SessionWatch on logind (the session's LockedHint and Active, the manager's
// PrepareForSleep), the screen savers of freedesktop and GNOME (GetActive,
// ActiveChanged) and DPMS on X11. GUI thread only; never blocks: every D-Bus
// read is asynchronous with a short time-out; the DPMS check is one request
// to the local X server.

#include "app/platform/SessionWatch.hpp"

#include <QDBusConnection>

#include <memory>

namespace tavolune {

class DBusPropertyWatch;

class LinuxSessionWatch final : public SessionWatch {
  Q_OBJECT
 public:
  // systemBus carries logind, sessionBus the screen savers. x11Display names
  // the X server for DPMS; empty means $DISPLAY, and no X server means no DPMS.
  LinuxSessionWatch(QDBusConnection systemBus, QDBusConnection sessionBus, QString x11Display = {},
                    QObject* parent = nullptr);
  ~LinuxSessionWatch() override;

  bool locked() const override;
  bool asleep() const override { return preparingForSleep_ || displaysOff_; }
  void refresh() override;

 private slots:
  void onPrepareForSleep(bool start);
  void onFreedesktopSaver(bool active);
  void onGnomeSaver(bool active);

 private:
  void findSession();
  void readSaver(const QString& service, const QString& path, bool* into);
  void reportLock();

  QDBusConnection system_, session_;
  DBusPropertyWatch* lockedHint_ = nullptr;
  DBusPropertyWatch* active_ = nullptr;
  bool freedesktopSaver_ = false;
  bool gnomeSaver_ = false;
  int saverSignals_ = 0;
  bool preparingForSleep_ = false;
  bool displaysOff_ = false;
  struct Dpms;
  std::unique_ptr<Dpms> dpms_;
};

}  // namespace tavolune
