#pragma once
// Up to eight works of the collection in a grid of four 84-point tiles,
// rounded and shadowed, landing one after another (fading in, rising and
// straightening) when the grid first shows. Stills come at 240
// pixels at most, loaded off this thread by each tile. GUI thread only.

#include "app/components/ArtworkImage.hpp"
#include "app/components/ImageServices.hpp"
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
  // 0 before it lands, 1 once landed.
  double landed(std::size_t index) const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  ArtworkImage* printTile(const Artwork& artwork, std::size_t index);

  ImageServices services_;
  std::vector<ArtworkImage*> tiles_;
  bool shown_ = false;
};

}  // namespace tavolune
