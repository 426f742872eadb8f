#pragma once
// Turns SIGTERM (logout, shutdown), SIGINT and SIGHUP into a signal on the
// event loop, so that quitting runs its normal path (desktop shut down,
// pending save written) instead of the process just ending. The handler
// only writes one byte into a self-pipe; the rest runs on the GUI thread.
// Once caught, the signals stay caught for the life of the process: one
// that comes before the event loop runs is reported when it does, and one
// during teardown finds the program already quitting. One instance per
// process; GUI thread only.

#include <QObject>

class QSocketNotifier;

namespace tavolune {

class QuitSignals final : public QObject {
  Q_OBJECT
 public:
  // Catches the signals from now on, before any object exists: the first
  // thing main does. Safe to call again, and needed again after a library
  // (the web engine) put back their default action. False when the pipe
  // or the handlers could not be set up.
  static bool catchSignals();

  // Catches the signals if nothing did yet and reports those caught since.
  explicit QuitSignals(QObject* parent = nullptr);
  // Stops reporting; the signals stay caught.
  ~QuitSignals() override;

  // False when the signals could not be caught, or another instance
  // reports them.
  bool isActive() const { return notifier_ != nullptr; }

 signals:
  // Emitted once per signal received, on the GUI thread.
  void quitRequested(int signal);

 private:
  void drain(bool report);

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tavolune
