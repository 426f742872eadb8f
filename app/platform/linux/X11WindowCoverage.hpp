#pragma once
// WindowCoverage on the EWMH client stacking list of an X11 window manager,
// read through a connection of its own on a worker thread, all requests of a
// read sent before the first reply is awaited. The stack is kept between
// reads and followed by the server's events (the root's list and workspace,
// each listed window's properties and configuration): a read asks again
// only about what changed. A reader nobody asks for a while lets its
// connection go, so the server keeps no events for it; the next read starts
// afresh. Without an X server every stack is empty. GUI thread only, but for
// read(), which blocks.

#include "app/platform/WindowCoverage.hpp"
#include "app/qt/PoolJobs.hpp"

#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <mutex>

class QThreadPool;

namespace tavolune {

class X11WindowCoverage final : public WindowCoverage {
 public:
  // Empty display: $DISPLAY. Null pool: the global one. The connection goes
  // when no fetch came for `keep`. Answers go through the application
  // object, which must exist.
  explicit X11WindowCoverage(const QString& display = {}, QThreadPool* pool = nullptr,
                             std::chrono::milliseconds keep = std::chrono::minutes(1));
  // Waits for a read under way.
  ~X11WindowCoverage() override;

  void fetch(QObject* receiver, std::function<void(WindowStack)> done) override;
  // Blocks: a few round trips the first time, one when nothing changed.
  // Thread-safe.
  WindowStack read();
  // Whether the connection is open. Thread-safe.
  bool connected() const;

 private:
  struct X;
  std::shared_ptr<X> x_;
  PoolJobs jobs_;
  QTimer idle_;
};

}  // namespace tavolune
