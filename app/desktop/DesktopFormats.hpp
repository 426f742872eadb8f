#pragma once
// What the desktop asks of the app model about generative works: a series'
// measured format and a rendered still at a display's size. Both answer
// later on the GUI thread. GUI thread only; nothing here blocks.

#include "core/model/Artwork.hpp"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <functional>
#include <vector>

namespace tavolune {

class DesktopFormats {
 public:
  virtual ~DesktopFormats() = default;
  // Measures the work's series first when it has no profile and
  // measureIfNeeded is set; the profile lands in the library state. done
  // runs later on the GUI thread unless context is gone.
  virtual void profile(const Artwork& artwork, bool measureIfNeeded, QObject* context, std::function<void()> done) = 0;
  // The work rendered at pixelSize; from the cache only unless
  // computeIfMissing. A null image when there is none.
  virtual void renderedStill(const Artwork& artwork, QSize pixelSize, double scale, bool computeIfMissing,
                             QObject* context, std::function<void(QImage)> done) = 0;
  // The displays now connected, in pixels: stills kept for others may go.
  virtual void displaysAre(const std::vector<QSize>& pixelSizes) { (void)pixelSizes; }
};

// Until formats can be measured: no profile is learnt, no still rendered.
class UnmeasuredFormats final : public DesktopFormats {
 public:
  void profile(const Artwork&, bool, QObject* context, std::function<void()> done) override {
    QTimer::singleShot(0, context, std::move(done));
  }
  void renderedStill(const Artwork&, QSize, double, bool, QObject* context,
                     std::function<void(QImage)> done) override {
    QTimer::singleShot(0, context, [done = std::move(done)] { done(QImage()); });
  }
};

}  // namespace tavolune
