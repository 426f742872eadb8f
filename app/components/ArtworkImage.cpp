#include "app/components/ArtworkImage.hpp"

#include "app/components/LoadingPlaceholder.hpp"
#include "app/qt/Convert.hpp"
#include "app/render/DevicePixels.hpp"
#include "app/style/Symbols.hpp"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QTextLayout>

#include <algorithm>

namespace tavolune {
namespace {

constexpr double symbolSize = 20;  // the title-2 text size's symbol
constexpr int titlePixelSize = 10;  // caption 2
constexpr double fallbackSpacing = 6;
constexpr double fallbackPadding = 8;

// The text broken into at most `maxLines` lines of `width`, the last one
// elided when text remains.
QStringList wrapped(const QString& text, const QFont& font, double width, int maxLines) {
  QStringList lines;
  QTextLayout layout(text, font);
  layout.beginLayout();
  while (lines.size() < maxLines) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(width);
    if (lines.size() == maxLines - 1) {
      lines << QFontMetricsF(font).elidedText(text.mid(line.textStart()).simplified(), Qt::ElideRight, width);
    } else {
      lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
  }
  layout.endLayout();
  return lines;
}

}  // namespace

ArtworkImage::ArtworkImage(ImageServices services, QWidget* parent) : QWidget(parent), services_(std::move(services)) {
  // Plays only while shown, and stays short where motion is reduced.
  fade_.setParent(this);
  fade_.setOwner(this);
  connect(&fade_, &MotionValue::valueChanged, this, qOverload<>(&QWidget::update));
  retry_.setSingleShot(true);
  retry_.setTimerType(Qt::VeryCoarseTimer);
  retry_.setInterval(int(retryAfter.count()));
  connect(&retry_, &QTimer::timeout, this, &ArtworkImage::retryFailed);
  connect(&services_.pipeline, &ImagePipeline::failuresExpired, this, &ArtworkImage::retryFailed);
}

ArtworkImage::~ArtworkImage() {
  mailbox_->close();
  stop_.request_stop();
}

void ArtworkImage::setArtwork(const Artwork& artwork, int maxPixel, ContentMode mode) {
  mode_ = mode;
  if (artwork_ && artwork_->id == artwork.id && maxPixel_ == maxPixel) {
    artwork_ = artwork;  // newer fields, same picture
    update();
    return;
  }
  if (!artwork_ || artwork_->id != artwork.id) {
    // What was shown belongs to another work.
    image_ = {};
    failed_ = false;
    fade_.jumpTo(1);
  }
  artwork_ = artwork;
  maxPixel_ = maxPixel;
  restart();
}

void ArtworkImage::restart() {
  ++generation_;
  stop_.request_stop();
  stop_ = {};
  retry_.stop();
  loadDue_ = false;
  loading_ = false;
  if (const QImage hit = services_.pipeline.cached(*artwork_, maxPixel_); !hit.isNull()) {
    image_ = hit;
    failed_ = false;
    fade_.jumpTo(1);
    if (services_.noteRatio) services_.noteRatio(*artwork_, hit);
  } else if (isVisible()) {
    startLoad();
  } else {
    loadDue_ = true;
  }
  update();
}

void ArtworkImage::startLoad() {
  loadDue_ = false;
  loading_ = true;
  services_.pool.start([pipeline = services_.pipeline.requests(), artwork = *artwork_, maxPixel = maxPixel_, stop = stop_.get_token(),
                        generation = generation_, mailbox = mailbox_, self = this] {
    QImage image = pipeline->image(artwork, maxPixel, true, stop);
    mailbox->post([self, generation, image] { self->landed(generation, image); });
  });
}

void ArtworkImage::landed(std::uint64_t generation, const QImage& image) {
  if (generation != generation_) return;  // a newer request won
  loading_ = false;
  if (!image.isNull()) {
    if (services_.noteRatio) services_.noteRatio(*artwork_, image);
    image_ = image;
    failed_ = false;
    fade_.jumpTo(0);
    fade_.animateTo(1, Curve::timed(fadeDuration.count() / 1000.0, Ease::out), MotionKind::fade);
  } else {
    // A smaller still of the same work stays; otherwise the fallback shows.
    failed_ = true;
    retry_.start();
  }
  update();
  emit loadFinished(!image.isNull());
}

void ArtworkImage::retryFailed() {
  // A retry under way is left to finish.
  if (!failed_ || loading_ || !artwork_) return;
  restart();
}

void ArtworkImage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (loadDue_ && artwork_) startLoad();
}

ArtworkImage::Showing ArtworkImage::showing() const {
  if (!shownStill().isNull()) return Showing::still;
  return failed_ ? Showing::failed : Showing::placeholder;
}

QImage ArtworkImage::shownStill() const {
  if (!image_.isNull() || !artwork_) return image_;
  return services_.pipeline.cached(*artwork_, maxPixel_);
}

void ArtworkImage::paintEvent(QPaintEvent*) {
  if (!artwork_) return;
  QPainter p(this);
  const QRectF area = rect();
  if (const QImage still = shownStill(); !still.isNull()) {
    if (isFading()) {
      const double t = fade_.value();
      const double scale = MotionPreferences::shared().reduced() ? 1 : fadeStartScale + (1 - fadeStartScale) * t;
      p.setOpacity(t);
      p.translate(area.center());
      p.scale(scale, scale);
      p.translate(-area.center());
    }
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (drawn_.isNull() || drawnKey_ != still.cacheKey() || drawnSize_ != pixels || drawnMode_ != mode_) {
      // The same size is drawn over in place: a fresh picture for every
      // still shown would fault its pages in from the kernel each time.
      if (drawn_.size() != pixels || drawn_.format() != QImage::Format_ARGB32_Premultiplied) {
        drawn_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
      }
      drawn_.setDevicePixelRatio(dpr);
      drawn_.fill(Qt::transparent);
      QPainter canvas(&drawn_);
      paintStill(canvas, area, still, mode_);
      drawnKey_ = still.cacheKey();
      drawnSize_ = pixels;
      drawnMode_ = mode_;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, isFading());
    p.drawImage(QPointF(0, 0), drawn_);
  } else if (failed_) {
    paintFallback(p, area, artwork_->mediaKind, qt::str(artwork_->title), palette());
  } else {
    LoadingPlaceholder::paint(p, area, artwork_->aspectRatio, palette());
  }
}

const char* ArtworkImage::kindSymbol(MediaKind kind) {
  switch (kind) {
    case MediaKind::generative: return "sparkles";
    case MediaKind::video: return "play.rectangle";
    case MediaKind::image: return "photo";
    case MediaKind::other: break;
  }
  return "doc";
}

QColor ArtworkImage::secondaryColor(const QPalette& palette) {
  QColor c = palette.color(QPalette::WindowText);
  c.setAlphaF(0.55f);
  return c;
}

void ArtworkImage::paintStill(QPainter& painter, const QRectF& area, const QImage& still, ContentMode mode) {
  if (still.isNull() || area.isEmpty()) return;
  const double ratio = double(still.width()) / still.height();
  QRectF target = LoadingPlaceholder::fitted(area, ratio);
  if (mode == ContentMode::fill) {
    const double s = std::max(area.width() / target.width(), area.height() / target.height());
    target = QRectF(0, 0, target.width() * s, target.height() * s);
    target.moveCenter(area.center());
  }
  painter.save();
  const QTransform& t = painter.transform();
  const qreal dpr = DevicePixels::ratio(painter);
  const QRectF device = DevicePixels::of(painter, target);
  const QSizeF own = QSizeF(still.size()) / still.devicePixelRatio();
  if (mode == ContentMode::fit && t.type() <= QTransform::TxTranslate && std::abs(device.width() - own.width()) < 1 &&
      std::abs(device.height() - own.height()) < 1) {
    // A still made for its place is copied to the nearest device pixel:
    // scaling it a fraction hands its rows to Qt's painting threads.
    painter.setTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
    painter.drawImage(DevicePixels::cornerRounded(device).topLeft(), still);
    painter.restore();
    return;
  }
  if (mode == ContentMode::fill) painter.setClipRect(area, Qt::IntersectClip);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, still);
  painter.restore();
}

void ArtworkImage::paintFallback(QPainter& painter, const QRectF& area, MediaKind kind, const QString& title,
                                 const QPalette& palette) {
  const QRectF inner = area.adjusted(fallbackPadding, fallbackPadding, -fallbackPadding, -fallbackPadding);
  if (inner.width() <= 0 || inner.height() <= 0) return;
  QFont font = QGuiApplication::font();
  font.setPixelSize(titlePixelSize);
  const QColor color = secondaryColor(palette);
  const QStringList lines = wrapped(title, font, inner.width(), 2);
  const double lineHeight = QFontMetricsF(font).height();
  const double textHeight = lines.isEmpty() ? 0 : fallbackSpacing + lines.size() * lineHeight;
  double y = inner.center().y() - (symbolSize + textHeight) / 2;

  painter.save();
  const double dpr = DevicePixels::ratio(painter);
  const QPixmap symbol = Symbols::tinted(kindSymbol(kind), QSize(int(symbolSize), int(symbolSize)), color, dpr);
  painter.drawPixmap(QRectF(inner.center().x() - symbolSize / 2, y, symbolSize, symbolSize), symbol,
                     QRectF(symbol.rect()));
  y += symbolSize + fallbackSpacing;
  painter.setFont(font);
  painter.setPen(color);
  for (const QString& line : lines) {
    painter.drawText(QRectF(inner.left(), y, inner.width(), lineHeight), Qt::AlignHCenter | Qt::AlignTop, line);
    y += lineHeight;
  }
  painter.restore();
}

}  // namespace tavolune
