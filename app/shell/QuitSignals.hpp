#pragma once
// Turns SIGTERM (logout, shutdown), SIGINT and SIGHUP into a signal on the
// event loop, so that quitting runs its normal path (desktop shut down,
// pending save written) instead of the process just ending. The handler
// only writes one byte into a self-pipe; the rest runs on the GUI thread.
// One instance per process; GUI thread only.

#include <QObject>

class QSocketNotifier;

namespace tavolune {

class QuitSignals final : public QObject {
  Q_OBJECT
 public:
  explicit QuitSignals(QObject* parent = nullptr);
  // Restores the signals' former handling.
  ~QuitSignals() override;

  // False when the pipe or the handlers could not be set up (then the
  // signals keep their default action).
  bool isActive() const { return active_; }

 signals:
  // Emitted once per signal received, on the GUI thread.
  void quitRequested(int signal);

 private:
  void drain();

  QSocketNotifier* notifier_ = nullptr;
  bool active_ = false;
};

}  // namespace tavolune
