#pragma once
// What the web engine benchmarks share: running the event loop while a page
// works (the application object is BenchApplication's). GUI thread only.

#include "bench/app/BenchApplication.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace tavolune::bench {

// Runs the event loop (sleeping between events) until done() or ms pass;
// tick, when given, runs at every poll.
inline bool waitUntil(const std::function<bool()>& done, int ms, const std::function<void()>& tick = {}) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (tick) tick();
    if (done()) loop.quit();
  });
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  poll.start();
  loop.exec();
  return done();
}

}  // namespace tavolune::bench
