#include "app/inspector/DesktopPreview.hpp"

#include "app/components/Spinner.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/inspector/InspectorFacts.hpp"
#include "app/inspector/LiveArtView.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/render/FrameRenderer.hpp"
#include "app/render/Shadow.hpp"
#include "app/style/SmallCaps.hpp"
#include "core/base/Enum.hpp"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace tavolune {
namespace {

// Room for the miniature's shadow (radius 10, 4 points down).
constexpr int sideMargin = 8;
constexpr int topMargin = 4;
constexpr int bottomMargin = 12;
constexpr int captionSpacing = 6;

QPainterPath rounded(const QRectF& r) {
  QPainterPath path;
  path.addRoundedRect(r, DesktopPreview::cornerRadius, DesktopPreview::cornerRadius);
  return path;
}

}  // namespace

// The screen itself: painted by the preview, its mask clips the live view
// and the spinner to the rounded corners.
class DesktopPreview::Miniature final : public QWidget {
 public:
  explicit Miniature(DesktopPreview& owner) : QWidget(&owner), owner_(owner) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    owner_.paintMiniature(p);
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    setMask(QRegion(rounded(QRectF(rect())).toFillPolygon().toPolygon()));
  }

 private:
  DesktopPreview& owner_;
};

DesktopPreview::DesktopPreview(InspectorServices services, const Artwork& artwork, bool live, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), artwork_(artwork), live_(live) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  miniature_ = new Miniature(*this);
  spinner_ = new Spinner(Spinner::Size::small, miniature_);
  spinner_->hide();
  caption_ = new SmallCaps({}, palette().color(QPalette::PlaceholderText), this);
  // Framing, frame style, profile and turns are read afresh on each change.
  connect(&services_.model, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    using A = LibraryChange::Aspect;
    if (!change.settings && !change.displays && !change.touches(artwork_.id, A::format | A::placement)) return;
    const auto& artworks = services_.model.state().artworks;
    if (auto it = artworks.find(artwork_.id); it != artworks.end()) artwork_ = it->second;
    refresh();
  });
  connect(&services_.desktop, &DesktopController::screensChanged, this, &DesktopPreview::refresh);
  loadStill();
  refresh();
}

DesktopPreview::~DesktopPreview() {
  mailbox_->close();
  stop_.request_stop();
}

void DesktopPreview::setArtwork(const Artwork& artwork) {
  const bool another = artwork.id != artwork_.id;
  artwork_ = artwork;
  if (another) loadStill();
  refresh();
}

void DesktopPreview::setLive(bool live) {
  if (live == live_) return;
  live_ = live;
  refresh();
}

void DesktopPreview::loadStill() {
  ++generation_;
  stop_.request_stop();
  stop_ = {};
  ImagePipeline& pipeline = services_.images.pipeline;
  if (QImage hit = pipeline.cached(artwork_, stillPixels); !hit.isNull()) {
    image_ = hit;
    return;
  }
  // A smaller copy at once, or nothing: never the previous work's still.
  image_ = pipeline.cached(artwork_, smallStillPixels);
  services_.images.pool.start([pipeline = pipeline.requests(), artwork = artwork_, stop = stop_.get_token(),
                               generation = generation_, mailbox = mailbox_, self = this] {
    QImage image = pipeline->image(artwork, stillPixels, true, stop);
    if (image.isNull() || stop.stop_requested()) return;
    mailbox->post([self, generation, image] { self->stillLanded(generation, image); });
  });
}

void DesktopPreview::stillLanded(std::uint64_t generation, const QImage& image) {
  if (generation != generation_) return;  // meant for a work no longer shown
  image_ = image;
  refresh();
}

Placement DesktopPreview::placement() const {
  const ScreenConfig screen(inspector::desktopFraming(services_.desktop));
  std::optional<double> ratio;
  if (!image_.isNull()) ratio = double(image_.width()) / std::max(1, image_.height());
  return services_.model.state().placement(artwork_, screen, inspector::mainScreenAspect(services_.desktop), ratio);
}

PreviewGeometry DesktopPreview::previewGeometry() const {
  return PreviewGeometry::of(placement(), miniature_->size(), services_.model.state().rotation(artwork_.id));
}

QString DesktopPreview::caption() const {
  return QStringLiteral("Desktop preview · ") + qt::str(placement().label());
}

bool DesktopPreview::showsSpinner() const { return !spinner_->isHidden(); }

void DesktopPreview::refresh() {
  caption_->setText(SmallCaps::displayText(caption()));
  updateGeometry();
  placeLayers();
  miniature_->update();
}

int DesktopPreview::heightForWidth(int width) const {
  const double aspect = inspector::mainScreenAspect(services_.desktop);
  const int screen = int(std::round((width - 2 * sideMargin) / aspect));
  return topMargin + std::max(0, screen) + bottomMargin + captionSpacing + caption_->sizeHint().height();
}

QSize DesktopPreview::sizeHint() const { return {320, heightForWidth(320)}; }

void DesktopPreview::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const double aspect = inspector::mainScreenAspect(services_.desktop);
  const int w = std::max(0, width() - 2 * sideMargin);
  const int h = int(std::round(w / aspect));
  miniature_->setGeometry(sideMargin, topMargin, w, h);
  caption_->setGeometry(sideMargin, topMargin + h + bottomMargin + captionSpacing, w,
                        caption_->sizeHint().height());
  placeLayers();
}

void DesktopPreview::placeLayers() {
  const PreviewGeometry g = previewGeometry();
  const auto layer = g.layer(live_, !image_.isNull());
  if (layer == PreviewGeometry::Layer::live) {
    if (!liveView_) liveView_ = new LiveArtView(services_.model, services_.images, miniature_);
    liveView_->setGeometry(g.art.toAlignedRect());
    liveView_->setArtwork(artwork_);
    liveView_->show();
  } else if (liveView_) {
    delete liveView_;  // stops the stage
    liveView_ = nullptr;
  }
  spinner_->setVisible(layer == PreviewGeometry::Layer::spinner);
  const QPointF centre = g.art.center();
  spinner_->move(int(centre.x() - spinner_->width() / 2.0), int(centre.y() - spinner_->height() / 2.0));
}

void DesktopPreview::paintEvent(QPaintEvent*) {
  if (miniature_->width() <= 0 || miniature_->height() <= 0) return;
  QPainter p(this);
  geometry::yUp(p, height());
  const QRect m = miniature_->geometry();
  Shadow::drawRectShadow(p, Rect{double(m.x()), double(height() - m.bottom() - 1), double(m.width()),
                                 double(m.height())},
                         0, -4, 10, 0.25);
}

void DesktopPreview::paintMiniature(QPainter& painter) {
  const PreviewGeometry g = previewGeometry();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipPath(rounded(g.bounds));
  QImage surround;
  if (g.frame) {
    const double scale = 2;
    const QString key = QStringLiteral("%1|%2|%3x%4")
                            .arg(qt::str(rawValue(*g.frame)))
                            .arg(g.frameRatio.value_or(0))
                            .arg(g.bounds.width())
                            .arg(g.bounds.height());
    if (key != surroundKey_) {
      surroundKey_ = key;
      surround_ = FrameRenderer::surround(*g.frame, g.frameRatio, g.bounds.size() * scale);
    }
    surround = surround_;
  }
  const bool stillShows = g.layer(live_, !image_.isNull()) == PreviewGeometry::Layer::still;
  g.paint(painter, services_.model.formats().matte(artwork_, image_), surround, stillShows ? image_ : QImage());
  painter.setClipping(false);
  QColor border = palette().color(QPalette::WindowText);
  border.setAlphaF(0.15);
  painter.setPen(QPen(border, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(rounded(g.bounds.adjusted(0.5, 0.5, -0.5, -0.5)));
}

}  // namespace tavolune
