#pragma once
// The miniature of the main display at the top of the inspector: the work
// exactly where and how big it would hang (on its mat or background, in the
// chosen frame, cropped for fill, turned by its quarter turns), as a still
// or running live, with a caption naming the placement. Reads the model and
// the desktop controller, changes nothing. GUI thread only; the still loads
// on the pool and lands only for the work shown now.

#include "app/inspector/InspectorServices.hpp"
#include "app/inspector/PreviewGeometry.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "core/model/Artwork.hpp"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

namespace tavolune {

class LiveArtView;
class SmallCaps;
class Spinner;

class DesktopPreview final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int stillPixels = 1600;
  static constexpr int smallStillPixels = 520;
  static constexpr double cornerRadius = 6;

  DesktopPreview(InspectorServices services, const Artwork& artwork, bool live, QWidget* parent = nullptr);
  ~DesktopPreview() override;

  // Another work drops the previous one's still at once.
  void setArtwork(const Artwork& artwork);
  void setLive(bool live);
  // Placement, backdrop and layers again; done by itself on every change
  // of the library or of the displays.
  void refresh();

  const Artwork& artwork() const { return artwork_; }
  bool isLive() const { return live_; }
  const QImage& still() const { return image_; }
  // Computed afresh from the model each time, never stored.
  Placement placement() const;
  PreviewGeometry previewGeometry() const;
  QString caption() const;
  QWidget& miniature() const { return *miniature_; }
  LiveArtView* liveView() const { return liveView_; }
  bool showsSpinner() const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  class Miniature;
  void loadStill();
  void stillLanded(std::uint64_t generation, const QImage& image);
  void placeLayers();
  void paintMiniature(QPainter& painter);

  InspectorServices services_;
  Artwork artwork_;
  bool live_;
  QImage image_;
  std::uint64_t generation_ = 0;
  std::stop_source stop_;
  QWidget* miniature_;
  LiveArtView* liveView_ = nullptr;
  Spinner* spinner_;
  SmallCaps* caption_;
  QImage surround_;
  QString surroundKey_;
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
};

}  // namespace tavolune
