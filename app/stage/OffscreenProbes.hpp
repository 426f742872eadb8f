#pragma once
// The probe service of the application: a fresh LayoutProbe for every job,
// gone as soon as the job has answered. GUI thread only.

#include "app/stage/LayoutProbe.hpp"
#include "app/stage/ProbeService.hpp"
#include "core/media/ContentFetcher.hpp"

#include <QObject>

namespace tavolune {

class OffscreenProbes final : public ProbeService {
 public:
  explicit OffscreenProbes(ContentFetcher fetcher, LayoutProbe::Timings timings = {})
      : fetcher_(std::move(fetcher)), timings_(timings) {}

  void measure(const Artwork& artwork, double settle, std::function<void(std::optional<RenderProfile>)> done) override;
  void renderStill(const Artwork& artwork, QSize pixelSize, double scale, double maxWait,
                   std::function<void(Still)> done) override;

 private:
  LayoutProbe* make();
  // The job answered: the probe goes, and a hung page is told first.
  void finished(LayoutProbe& probe, const Artwork& artwork);

  const ContentFetcher fetcher_;
  const LayoutProbe::Timings timings_;
  QObject owner_;  // the probes still running; they die with the service
};

}  // namespace tavolune
