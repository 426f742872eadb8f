#pragma once
// Whether the user's session is locked (or not the active one) and whether the
// displays sleep. GUI thread only; implementations never block: they read
// once at start, asynchronously, and then follow the system's signals.

#include <QObject>

namespace tavolune {

class SessionWatch : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~SessionWatch() override;

  virtual bool locked() const = 0;
  virtual bool asleep() const = 0;
  // Checks what has no signal (display power on X11). Cheap; called by the
  // power policy's poll.
  virtual void refresh() {}

 signals:
  // Emitted on every report of a source, also when the value stays the same.
  void lockedChanged(bool locked);
  void asleepChanged(bool asleep);
};

}  // namespace tavolune
