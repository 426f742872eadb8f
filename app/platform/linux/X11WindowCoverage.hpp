#pragma once
// WindowCoverage on the EWMH client stacking list of an X11 window manager,
// read through a connection of its own on a worker thread, all requests of a
// read sent before the first reply is awaited. The stack is kept between
// reads and followed by the server's events (the root's list and workspace,
// each listed window's properties and configuration): a read asks again
// only about what changed. Without an X server every stack is empty. GUI
// thread only, but for read(), which blocks.

#include "app/platform/WindowCoverage.hpp"
#include "app/qt/PoolJobs.hpp"

#include <QString>

#include <memory>
#include <mutex>

class QThreadPool;

namespace tavolune {

class X11WindowCoverage final : public WindowCoverage {
 public:
  // Empty display: $DISPLAY. Null pool: the global one.
  // Answers go through the application object, which must exist.
  explicit X11WindowCoverage(const QString& display = {}, QThreadPool* pool = nullptr);
  // Waits for a read under way.
  ~X11WindowCoverage() override;

  void fetch(QObject* receiver, std::function<void(WindowStack)> done) override;
  // Blocks: a few round trips the first time, one when nothing changed.
  // Thread-safe.
  WindowStack read();

 private:
  struct X;
  std::shared_ptr<X> x_;
  PoolJobs jobs_;
};

}  // namespace tavolune
