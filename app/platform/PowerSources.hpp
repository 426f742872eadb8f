#pragma once
// The power supply, the power profile, thermal pressure and the animation
// setting, as last known. GUI thread only. Reading is free: implementations
// follow the system's signals and read slow sources off the GUI thread.

#include <QObject>

namespace tavolune {

struct PowerReadings {
  bool onBattery = false;
  bool lowPower = false;
  bool thermalSerious = false;
  bool reduceMotion = false;

  friend bool operator==(const PowerReadings&, const PowerReadings&) = default;
};

class PowerSources : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~PowerSources() override;

  virtual PowerReadings readings() const = 0;
  // Starts a new read of what has no signal (sysfs thermal zones); the result
  // lands later. Returns at once.
  virtual void refresh() {}

 signals:
  // A reading arrived (also when equal to the last one).
  void readingsChanged();
};

}  // namespace tavolune
