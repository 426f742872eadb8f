#pragma once
// What the web engine benchmarks share: the application object the engine
// needs, and running the event loop while a page works. GUI thread only.

#include "app/stage/ArtRuntime.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace tavolune::bench {

// The web engine needs the scheme before the application object exists.
inline void ensureWebApp() {
  if (QCoreApplication::instance()) return;
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  ArtRuntime::registerScheme();
  static int argc = 1;
  static char name[] = "tavolune_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
  ArtRuntime::prepareRules();
}

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
