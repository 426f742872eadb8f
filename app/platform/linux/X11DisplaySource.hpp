#pragma once
// DisplaySource on X11 RandR monitors, through a connection of its own:
// numbers are RandR outputs (a virtual monitor without one is numbered by
// its name atom), the main display is the primary monitor, keys come from
// the outputs' EDID. GUI thread only. Rebuilding the list takes a few round
// trips to the local X server, and happens only when RandR or the work area
// changes.

#include "app/platform/DisplaySource.hpp"

#include <memory>

class QSocketNotifier;

namespace tavolune {

class X11DisplaySource final : public DisplaySource {
  Q_OBJECT
 public:
  // Empty: $DISPLAY. Check connected() before use.
  explicit X11DisplaySource(const QString& display = {}, QObject* parent = nullptr);
  ~X11DisplaySource() override;

  bool connected() const;
  std::vector<Display> displays() const override { return displays_; }

 private:
  void drainEvents();
  void rebuild();

  struct X;
  std::unique_ptr<X> x_;
  QSocketNotifier* notifier_ = nullptr;
  std::vector<Display> displays_;
};

// The screens Qt knows, for platforms without X11 (numbered from 1 in Qt's
// order; keys from the EDID Qt reads). GUI thread only.
class QtScreenDisplaySource final : public DisplaySource {
  Q_OBJECT
 public:
  explicit QtScreenDisplaySource(QObject* parent = nullptr);
  std::vector<Display> displays() const override;

 private:
  void watch();
};

// X11 where there is an X server, else Qt's screens.
std::unique_ptr<DisplaySource> makeDisplaySource();

}  // namespace tavolune
