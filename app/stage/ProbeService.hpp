#pragma once
// What the app model asks of the off-screen probe: a series' format and a
// still of a live work at a screen's size, one fresh probe per job. GUI
// thread only; both return at once and call done later on the GUI thread,
// never when the service is gone first.

#include "core/model/Artwork.hpp"
#include "core/model/RenderProfile.hpp"

#include <QImage>
#include <QSize>

#include <functional>
#include <optional>

namespace tavolune {

class ProbeService {
 public:
  // How a still render ended; the app model marks a work blank only when the
  // page itself said so or sat still and blank with nothing left to load.
  enum class Ending { rendered, settled, settledBlank, timedOut, failed };
  struct Still {
    QImage image;  // null on failure
    Ending ending = Ending::failed;
    // The engine refused the page WebGL: where it can draw, the page may
    // look otherwise.
    bool webGLRefused = false;
  };

  virtual ~ProbeService() = default;

  // Told, just before a job answers nothing, that the work's page hung and
  // its job was ended at its deadline.
  std::function<void(const Artwork&)> onRanOutOfTime;

  // settle: seconds each viewport is left to draw before it is measured.
  virtual void measure(const Artwork& artwork, double settle,
                       std::function<void(std::optional<RenderProfile>)> done) = 0;
  // pixelSize in device pixels; the page gets pixelSize / scale CSS pixels
  // and the still comes back at exactly pixelSize, or not at all.
  virtual void renderStill(const Artwork& artwork, QSize pixelSize, double scale, double maxWait,
                           std::function<void(Still)> done) = 0;
};

}  // namespace tavolune
