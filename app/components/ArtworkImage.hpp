#pragma once
// One artwork's still at a requested pixel size, for single uses (the tray
// header, the welcome mosaic, previews); grid cells use ArtworkTile and
// ThumbnailLoader instead. A still already in the memory cache shows at
// once; otherwise it loads on the pool (never on this thread), fades in,
// and falls back to the kind's symbol and the title when nothing loads,
// retrying a minute later or on the next library change. A result only
// lands for the artwork and size asked last. GUI thread only.

#include "app/components/ImageServices.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "app/style/Motion.hpp"
#include "core/model/Artwork.hpp"

#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

namespace tavolune {

class ArtworkImage final : public QWidget {
  Q_OBJECT
 public:
  enum class ContentMode { fit, fill };
  enum class Showing { placeholder, still, failed };

  static constexpr std::chrono::milliseconds fadeDuration{350};
  static constexpr double fadeStartScale = 0.985;
  static constexpr std::chrono::milliseconds retryAfter{60'000};

  explicit ArtworkImage(ImageServices services, QWidget* parent = nullptr);
  ~ArtworkImage() override;

  // Another artwork drops what was shown for the previous one (its cached
  // still or the placeholder shows until the load ends); another size of
  // the same artwork keeps the current still until the new one arrives.
  void setArtwork(const Artwork& artwork, int maxPixel, ContentMode mode = ContentMode::fit);

  const std::optional<Artwork>& artwork() const { return artwork_; }
  int maxPixel() const { return maxPixel_; }
  ContentMode contentMode() const { return mode_; }
  Showing showing() const;
  // The still drawn now: the loaded one, else the cached one, else null.
  QImage shownStill() const;
  bool isFading() const { return fade_.isMoving(); }

  // Loads again now when the last load failed and none runs; the pipeline's
  // failuresExpired() (a library change) calls it.
  void retryFailed();
  void setRetryDelay(std::chrono::milliseconds delay) { retry_.setInterval(int(delay.count())); }

  QSize sizeHint() const override { return {240, 240}; }

  // Shared with the grid's painter.
  static const char* kindSymbol(MediaKind kind);
  static QColor secondaryColor(const QPalette& palette);
  static void paintStill(QPainter& painter, const QRectF& area, const QImage& still, ContentMode mode);
  // The kind's symbol over the title (at most two lines), centred.
  static void paintFallback(QPainter& painter, const QRectF& area, MediaKind kind, const QString& title,
                            const QPalette& palette);

 signals:
  // A load for the current artwork and size ended.
  void loadFinished(bool ok);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void restart();
  void startLoad();
  void landed(std::uint64_t generation, const QImage& image);

  ImageServices services_;
  std::optional<Artwork> artwork_;
  int maxPixel_ = 0;
  ContentMode mode_ = ContentMode::fit;
  QImage image_;
  bool failed_ = false;
  bool loadDue_ = false;  // waits until the widget is shown
  bool loading_ = false;
  std::uint64_t generation_ = 0;
  std::stop_source stop_;
  MotionValue fade_{1};  // 0 entering, 1 in
  // The still as drawn at this size: a repaint (the popover's bar over it)
  // is then a copy, not a smooth scaling that wakes the pool's threads.
  QImage drawn_;
  qint64 drawnKey_ = 0;
  QSize drawnSize_;
  ContentMode drawnMode_ = ContentMode::fit;
  QTimer retry_;
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
};

}  // namespace tavolune
