#pragma once
// DisplayInhibitors asking logind (ListInhibitors: "idle" blocked by another
// process), the GNOME session manager (inhibitors with the idle flag from
// another application) and freedesktop PowerManagement (HasInhibit). GUI
// thread only; never blocks: all calls are asynchronous, never start a
// service, and a check answers within deadlineMs whatever hangs.

#include "app/platform/DisplayInhibitors.hpp"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <vector>

namespace tavolune {

class LinuxDisplayInhibitors final : public QObject, public DisplayInhibitors {
  Q_OBJECT
 public:
  static constexpr int deadlineMs = 2500;
  // GNOME's idle inhibition flag.
  static constexpr uint gnomeIdleFlag = 8;

  // systemBus carries logind, sessionBus the session manager and
  // PowerManagement.
  LinuxDisplayInhibitors(QDBusConnection systemBus, QDBusConnection sessionBus, QObject* parent = nullptr);

  // Whose inhibitions never count: by pid (logind) and by application id
  // (GNOME names no pid). Defaults: this process, its name and executable.
  void setSelf(qint64 pid, QStringList appIds);

  void check(QObject* context, std::function<void(bool inhibited)> done) override;
  bool lastKnown() const override { return lastKnown_; }

 private:
  void askLogind(int round);
  void askGnome(int round);
  void askPowerManagement(int round);
  // A source on a bus we lack answers false.
  bool skipped(const QDBusConnection& bus, int round);
  // One source has answered for the round.
  void answered(int round, bool inhibited);
  void finish();

  struct Waiter {
    QPointer<QObject> context;
    std::function<void(bool)> done;
  };

  QDBusConnection system_, session_;
  qint64 selfPid_ = 0;
  QStringList selfAppIds_;
  std::vector<Waiter> waiters_;
  QTimer deadline_;
  int round_ = 0;
  int pending_ = 0;
  bool running_ = false;
  bool found_ = false;
  bool lastKnown_ = false;
};

}  // namespace tavolune
