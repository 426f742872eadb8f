#pragma once
// IdleClock on GNOME's idle monitor (org.gnome.Mutter.IdleMonitor), for
// sessions whose X server cannot see the input (GNOME on Wayland). GUI
// thread only; never blocks: a read answers from the last reply plus the time
// since, and asks again asynchronously when that reply is over a second old.
// A one-shot watch for the user's return resets the count at once.

#include "app/platform/IdleClock.hpp"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>

#include <optional>

namespace tavolune {

class GnomeIdleClock final : public QObject, public IdleClock {
  Q_OBJECT
 public:
  static constexpr int refreshAfterMs = 1000;

  explicit GnomeIdleClock(QDBusConnection sessionBus, QObject* parent = nullptr);
  ~GnomeIdleClock() override;

  double secondsSinceLastInput() override;

 private slots:
  void onWatchFired(uint id);

 private:
  void request();
  void watchForReturn();
  void setIdle(quint64 ms);

  QDBusConnection bus_;
  std::optional<quint64> idleMs_;
  QElapsedTimer since_;
  bool pending_ = false;
  // Bumped when the user returns: replies asked for before are stale.
  int generation_ = 0;
  uint activeWatch_ = 0;
  bool addingWatch_ = false;
};

}  // namespace tavolune
