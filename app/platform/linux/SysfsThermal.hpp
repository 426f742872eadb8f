#pragma once
// Thermal pressure from the kernel's thermal zones. Blocks (reads sysfs,
// where some drivers ask the firmware): run it off the GUI thread.

#include <QString>

namespace tavolune {

// True when some readable zone is at or above its lowest trip point of type
// passive, hot or critical. Trip points at or below 0 (unset in some
// firmware) and unreadable zones count as no pressure. `root` is normally
// "/sys/class/thermal".
bool thermalPressure(const QString& root);

}  // namespace tavolune
