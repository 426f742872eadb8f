#pragma once
// Whether, and why, live works must pause now: the session lock, display
// sleep, the power supply and profile, thermal pressure, the animation
// setting, and other programs' windows covering a whole display. Decides
// nothing itself; publishes one state value and answers pauseReason().
// GUI thread only. Never blocks: the poll reads cached values and asks for
// the window stack asynchronously.

#include "app/platform/DisplaySource.hpp"
#include "app/platform/WindowCoverage.hpp"
#include "core/model/AppSettings.hpp"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>

namespace tavolune {

class PowerSources;
class SessionWatch;

class PowerPolicy final : public QObject {
  Q_OBJECT
 public:
  struct State {
    bool locked = false;
    bool asleep = false;
    bool onBattery = false;
    bool lowPower = false;
    bool thermalSerious = false;
    bool reduceMotion = false;
    // Display numbers (Display::number) that another program's window covers whole.
    std::set<std::uint32_t> coveredDisplays;

    friend bool operator==(const State&, const State&) = default;
  };

  static constexpr std::chrono::milliseconds pollInterval{5000};
  // With no live work on any display nothing waits on the readings: the
  // poll rests, so an idle desktop does not wake the machine every 5 s.
  static constexpr std::chrono::milliseconds restingPollInterval{60000};
  // A window at most this opaque lets the work show through.
  static constexpr double seeThroughOpacity = 0.9;
  // Points a window may leave free at each edge and still cover the display.
  static constexpr int coverInset = 2;

  PowerPolicy(SessionWatch& session, PowerSources& sources, WindowCoverage& coverage, DisplaySource& displays,
              QObject* parent = nullptr);

  // Follows the session and the power sources' reports, reads everything
  // once, then polls every 5 s while coverage is watched (a live work
  // shows), every minute otherwise. Once.
  void start(std::function<AppSettings()> settings);

  const State& state() const { return state_; }
  bool watchesCoverage() const { return watchesCoverage_; }
  std::chrono::milliseconds currentPollInterval() const { return std::chrono::milliseconds(timer_.interval()); }
  // While false the poll asks for no window stack, reports no covered
  // display and rests; turning it on reads everything at once.
  void setWatchesCoverage(bool watches);

  // The reason live art on that display must pause, or nullopt. Reads the state only.
  std::optional<QString> pauseReason(std::optional<std::uint32_t> display = std::nullopt) const;

  // The displays that some window of the stack covers whole, by number:
  // the window is of an application type, not ours (ownPid), opaque above
  // 0.9 or without opacity, not hidden, on the current workspace or all of
  // them, and contains the display inset by 2 points (root pixels).
  static std::set<std::uint32_t> coveredDisplays(const WindowStack& stack, const std::vector<Display>& displays,
                                                 std::int64_t ownPid);

  // One poll; the timer calls it. Publishes only on change.
  void poll();

 signals:
  // After every change from the poll or a power report, and every session
  // report (those also when nothing changed).
  void stateChanged(const tavolune::PowerPolicy::State& state);

 private:
  void publish(State next, bool always);
  State withReadings(State next) const;
  void requestCoverage();

  SessionWatch& session_;
  PowerSources& sources_;
  WindowCoverage& coverage_;
  DisplaySource& displays_;
  State state_;
  bool watchesCoverage_ = false;
  std::function<AppSettings()> settings_ = [] { return AppSettings(); };
  QTimer timer_;
  bool started_ = false;
  std::set<std::uint32_t> lastCovered_;
  int coverageGeneration_ = 0;
};

}  // namespace tavolune
