#pragma once
// The connected displays as plain values, and one signal when they change.
// GUI thread only. Nothing here blocks; no QScreen* leaves an implementation.

#include <QObject>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace tavolune {

struct Display {
  // The screen key: the display's UUID in upper case (from its EDID), else
  // "display-" + number. Unique among the connected displays.
  QString key;
  // The RandR output number (the display number of the design).
  std::uint32_t number = 0;
  QString name;
  bool isMain = false;
  // In root-window pixels (device pixels), y down.
  QRect geometry;
  QRect available;
  double scale = 1.0;
  // The output's connector name, e.g. "DP-1".
  QString connector;

  friend bool operator==(const Display&, const Display&) = default;
};

class DisplaySource : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~DisplaySource() override = default;

  // In the system's order; the main display need not be first.
  virtual std::vector<Display> displays() const = 0;

  std::optional<Display> display(const QString& key) const {
    for (auto& d : displays()) {
      if (d.key == key) return d;
    }
    return std::nullopt;
  }

 signals:
  // Displays were added, removed, moved or resized, or the main one changed.
  void displaysChanged();
};

}  // namespace tavolune
