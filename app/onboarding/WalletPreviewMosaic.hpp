#pragma once
// Up to eight works of the collection in a grid of four 84-point tiles,
// rounded and shadowed, landing one after another with a spring (fading
// in, rising and straightening) when the grid first shows; all at once
// where motion is reduced. Stills come at 240
// pixels at most, loaded off this thread by each tile. GUI thread only.

#include "app/components/ArtworkImage.hpp"
#include "app/components/ImageServices.hpp"
#include "app/style/Motion.hpp"
#include "core/model/Artwork.hpp"

#include <QWidget>

#include <chrono>
#include <vector>

namespace tavolune {

class WalletPreviewMosaic final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int columns = 4;
  static constexpr int tileSide = 84;
  static constexpr int spacing = 10;
  static constexpr int maxPixel = 240;
  static constexpr std::size_t maxTiles = 8;

  // Shows the first eight of `works` (all of them when there are fewer).
  WalletPreviewMosaic(ImageServices services, const std::vector<Artwork>& works, QWidget* parent = nullptr);

  const std::vector<ArtworkImage*>& tiles() const { return tiles_; }
  bool shown() const { return shown_; }
  // When tile `index` starts landing after the grid shows.
  static std::chrono::milliseconds landingDelay(std::size_t index);
  // Its turn in degrees before it lands: -6, -3, 0, +3 across a row.
  static double turn(std::size_t index);
  static Curve landingSpring() { return Curve::springOf(0.5, 0.75); }
  // 0 before it lands, 1 once landed (a spring passes 1 on its way).
  double landed(std::size_t index) const;
  bool isLanding() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  ArtworkImage* printTile(const Artwork& artwork, std::size_t index);

  ImageServices services_;
  std::vector<ArtworkImage*> tiles_;
  bool shown_ = false;
};

}  // namespace tavolune
