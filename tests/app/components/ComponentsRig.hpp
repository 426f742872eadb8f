#pragma once
// A latched image source, a pipeline over it and a pool of its own for the
// artwork view tests, and the artworks they show. GUI thread only.

#include "app/components/ImageServices.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"
#include "tests/support/fakes/FakeSVGRasterizer.hpp"

#include <QThreadPool>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tavolune::testing {

inline std::string uriOf(int n) { return "https://media.test/" + std::to_string(n) + ".png"; }

inline Artwork work(int n, std::optional<double> aspect = std::nullopt, MediaKind kind = MediaKind::image) {
  return Artwork::make({.chain = Chain::tezos,
                        .contract = "KT1test",
                        .tokenId = std::to_string(n),
                        .title = "Work " + std::to_string(n),
                        .mediaKind = kind,
                        .imageURI = uriOf(n),
                        .aspectRatio = aspect});
}

struct ComponentsRig {
  std::shared_ptr<testsupport::FakeImageSource> source = std::make_shared<testsupport::FakeImageSource>();
  std::shared_ptr<testsupport::FakeSVGRasterizer> svg = std::make_shared<testsupport::FakeSVGRasterizer>();
  ImagePipeline pipeline{source, svg};
  QThreadPool pool;
  // (artwork id, still size) per ratio note
  std::vector<std::pair<std::string, QSize>> notes;

  RatioNoted noter() {
    return [this](const Artwork& a, const QImage& still) { notes.emplace_back(a.id, still.size()); };
  }
  ImageServices services() { return {pipeline, pool, noter()}; }
  void put(const Artwork& a, int maxPixel, const QImage& still) {
    pipeline.memory().insert(ImagePipeline::cacheKey(a, maxPixel), still, still.sizeInBytes());
  }
};

}  // namespace tavolune::testing
