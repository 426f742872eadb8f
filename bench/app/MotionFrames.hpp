#pragma once
// Frames of a motion as the main thread spends them: the event loop runs
// until the motion rests, and the thread's CPU time between two passes that
// painted anything in the watched window counts as one frame (the animation
// tick, the layout and the paint). GUI thread only.

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <time.h>
#include <vector>

namespace tavolune::bench {

class PaintCounter final : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) : window_(widget->window()) { qApp->installEventFilter(this); }
  ~PaintCounter() override { qApp->removeEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == window_) {
      ++paints;
    }
    return false;
  }

 private:
  QWidget* window_;
};

inline double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Appends one entry per painted frame until moving() is false (at most 5 s).
inline void motionFrames(QWidget* painted, const std::function<bool()>& moving, std::vector<double>& frames) {
  PaintCounter counter(painted);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  double spent = 0;
  do {
    const int before = counter.paints;
    const double c0 = threadCpuMs();
    QCoreApplication::processEvents();
    spent += threadCpuMs() - c0;
    if (counter.paints > before) {
      frames.push_back(spent);
      spent = 0;
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  } while (moving() && std::chrono::steady_clock::now() < deadline);
}

inline double framePercentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

}  // namespace tavolune::bench
