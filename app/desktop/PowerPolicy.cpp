#include "app/desktop/PowerPolicy.hpp"

#include "app/platform/PowerSources.hpp"
#include "app/platform/SessionWatch.hpp"

#include <QCoreApplication>

#include <cmath>

namespace tavolune {

PowerPolicy::PowerPolicy(SessionWatch& session, PowerSources& sources, WindowCoverage& coverage,
                         DisplaySource& displays, QObject* parent)
    : QObject(parent), session_(session), sources_(sources), coverage_(coverage), displays_(displays) {
  timer_.setInterval(restingPollInterval);
  // The poll tolerates two seconds of slack; let the system batch wake-ups.
  timer_.setTimerType(Qt::VeryCoarseTimer);
  connect(&timer_, &QTimer::timeout, this, &PowerPolicy::poll);
}

void PowerPolicy::start(std::function<AppSettings()> settings) {
  if (started_) return;
  started_ = true;
  if (settings) settings_ = std::move(settings);
  connect(&session_, &SessionWatch::lockedChanged, this, [this](bool locked) {
    State next = state_;
    next.locked = locked;
    publish(std::move(next), true);
  });
  connect(&session_, &SessionWatch::asleepChanged, this, [this](bool asleep) {
    State next = state_;
    next.asleep = asleep;
    publish(std::move(next), true);
  });
  // An unplugged charger counts at once, not at the next (resting) poll.
  // Only the readings: a refresh here would report again, without end.
  connect(&sources_, &PowerSources::readingsChanged, this, [this] { publish(withReadings(state_), false); });
  // A lock or sleep that began before we started counts too.
  State first = state_;
  first.locked = session_.locked();
  first.asleep = session_.asleep();
  publish(std::move(first), false);
  poll();
  timer_.start();
}

void PowerPolicy::setWatchesCoverage(bool watches) {
  if (watches == watchesCoverage_) return;
  watchesCoverage_ = watches;
  // A stack asked for before the change no longer counts.
  ++coverageGeneration_;
  lastCovered_.clear();
  timer_.setInterval(watches ? pollInterval : restingPollInterval);
  if (watches && started_) poll();
}

void PowerPolicy::poll() {
  // What has no signal is read now and seen by the next poll.
  session_.refresh();
  sources_.refresh();
  State next = withReadings(state_);
  next.coveredDisplays = watchesCoverage_ ? lastCovered_ : std::set<std::uint32_t>{};
  publish(std::move(next), false);
  if (watchesCoverage_) requestCoverage();
}

PowerPolicy::State PowerPolicy::withReadings(State next) const {
  const PowerReadings r = sources_.readings();
  next.onBattery = r.onBattery;
  next.lowPower = r.lowPower;
  next.thermalSerious = r.thermalSerious;
  next.reduceMotion = r.reduceMotion;
  return next;
}

void PowerPolicy::requestCoverage() {
  const int generation = ++coverageGeneration_;
  coverage_.fetch(this, [this, generation](WindowStack stack) {
    if (generation != coverageGeneration_ || !watchesCoverage_) return;
    lastCovered_ = coveredDisplays(stack, displays_.displays(), QCoreApplication::applicationPid());
    State next = state_;
    next.coveredDisplays = lastCovered_;
    publish(std::move(next), false);
  });
}

void PowerPolicy::publish(State next, bool always) {
  if (!always && next == state_) return;
  state_ = std::move(next);
  emit stateChanged(state_);
}

std::optional<QString> PowerPolicy::pauseReason(std::optional<std::uint32_t> display) const {
  if (state_.locked) return QStringLiteral("screen locked");
  if (state_.asleep) return QStringLiteral("sleeping");
  if (state_.reduceMotion) return QStringLiteral("Reduce Motion");
  if (state_.lowPower) return QStringLiteral("Low Power Mode");
  if (state_.thermalSerious) return QStringLiteral("thermal pressure");
  if (state_.onBattery) return QStringLiteral("battery");
  if (display && state_.coveredDisplays.contains(*display)) return QStringLiteral("full screen");
  return std::nullopt;
}

std::set<std::uint32_t> PowerPolicy::coveredDisplays(const WindowStack& stack, const std::vector<Display>& displays,
                                                     std::int64_t ownPid) {
  std::set<std::uint32_t> covered;
  for (const StackedWindow& w : stack.windows) {
    if (!stack.mayCover(w) || w.frame.isEmpty()) continue;
    if (w.pid && *w.pid == ownPid) continue;
    if (w.opacity && *w.opacity <= seeThroughOpacity) continue;
    const long long left = w.frame.x(), top = w.frame.y();
    const long long right = left + w.frame.width(), bottom = top + w.frame.height();
    for (const Display& d : displays) {
      const int inset = int(std::lround(coverInset * d.scale));
      const QRect g = d.geometry;
      if (left <= g.x() + inset && top <= g.y() + inset && right >= g.x() + g.width() - inset &&
          bottom >= g.y() + g.height() - inset) {
        covered.insert(d.number);
      }
    }
  }
  return covered;
}

}  // namespace tavolune
