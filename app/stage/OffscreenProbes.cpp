#include "app/stage/OffscreenProbes.hpp"

namespace tavolune {

LayoutProbe* OffscreenProbes::make() { return new LayoutProbe(fetcher_, timings_, &owner_); }

void OffscreenProbes::finished(LayoutProbe& probe, const Artwork& artwork) {
  probe.deleteLater();
  if (probe.ranOutOfTime() && onRanOutOfTime) onRanOutOfTime(artwork);
}

void OffscreenProbes::measure(const Artwork& artwork, double settle,
                              std::function<void(std::optional<RenderProfile>)> done) {
  LayoutProbe* probe = make();
  probe->measure(artwork, settle, [this, probe, artwork, done = std::move(done)](std::optional<RenderProfile> profile) {
    finished(*probe, artwork);
    done(std::move(profile));
  });
}

void OffscreenProbes::renderStill(const Artwork& artwork, QSize pixelSize, double scale, double maxWait,
                                  std::function<void(Still)> done) {
  LayoutProbe* probe = make();
  probe->renderStill(artwork, pixelSize, scale, maxWait, [this, probe, artwork, done = std::move(done)](Still still) {
    finished(*probe, artwork);
    done(std::move(still));
  });
}

}  // namespace tavolune
