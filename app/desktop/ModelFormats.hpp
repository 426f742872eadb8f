#pragma once
// The desktop's formats and rendered stills from the app model: measured
// series and stills rendered by the layout probe. GUI thread only.

#include "app/desktop/DesktopFormats.hpp"
#include "app/model/AppModel.hpp"

namespace tavolune {

class ModelFormats final : public DesktopFormats {
 public:
  explicit ModelFormats(AppModel& model) : model_(model) {}

  void profile(const Artwork& artwork, bool measureIfNeeded, QObject* context, std::function<void()> done) override {
    model_.formats().profile(
        artwork, measureIfNeeded,
        [context = QPointer<QObject>(context), done = std::move(done)](std::optional<RenderProfile>) {
          if (context) done();
        });
  }
  void renderedStill(const Artwork& artwork, QSize pixelSize, double scale, bool computeIfMissing, QObject* context,
                     std::function<void(QImage)> done) override {
    model_.formats().renderedStill(artwork, QSizeF(pixelSize), scale, computeIfMissing,
                                   [context = QPointer<QObject>(context), done = std::move(done)](QImage image) {
                                     if (context) done(std::move(image));
                                   });
  }
  void displaysAre(const std::vector<QSize>& pixelSizes) override {
    model_.formats().dropKeptStillsBeyond(pixelSizes);
  }

 private:
  AppModel& model_;
};

}  // namespace tavolune
