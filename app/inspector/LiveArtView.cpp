#include "app/inspector/LiveArtView.hpp"

#include "app/components/PlainText.hpp"
#include "app/components/RoundedCard.hpp"
#include "app/components/Spinner.hpp"
#include "app/model/AppModel.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tavolune {
namespace {

using Kind = ArtStageView::Status::Kind;

QColor opaque(const RGBColor& c) { return QColor::fromRgbF(float(c.r), float(c.g), float(c.b), 1.0f); }

}  // namespace

LiveArtView::LiveArtView(AppModel& model, ImageServices images, QWidget* parent)
    : QWidget(parent), model_(model), images_(std::move(images)) {
  stage_ = new ArtStageView(model_.media().fetcher(), this);
  stage_->setFraming(Framing::fill);
  stage_->setPaintsVideo(true);
  stage_->relayout();
  // Reports arrive later, never inside the stage's own step.
  stage_->onStatusChange = [this](const ArtStageView::Status& status) {
    QMetaObject::invokeMethod(this, [this, status] { setStatus(status); }, Qt::QueuedConnection);
  };

  spinner_ = new Spinner(Spinner::Size::small, this);
  spinner_->hide();
  // The failure card: material-like fill with a faint white hairline inside.
  card_ = new RoundedCard(
      6,
      [](const QPalette& p) {
        QColor fill = p.color(QPalette::Window);
        fill.setAlphaF(0.85);
        return fill;
      },
      [](const QPalette&) { return std::optional<QColor>(QColor(255, 255, 255, int(0.08 * 255))); }, this);
  auto* row = new QHBoxLayout(card_);
  row->setContentsMargins(8, 8, 8, 8);
  row->setSpacing(4);
  auto* icon = new QLabel(card_);
  const int side = Theme::caption().pixelSize() + 2;
  icon->setPixmap(Symbols::icon("exclamationmark.triangle").pixmap(side, side));
  row->addWidget(icon);
  failure_ = plaintext::label({}, card_);
  failure_->setFont(Theme::caption());
  failure_->setWordWrap(true);
  row->addWidget(failure_, 1);
  card_->hide();
}

LiveArtView::~LiveArtView() {
  mailbox_->close();
  stop_.request_stop();
  stage_->onStatusChange = {};
  stage_->stop();
}

void LiveArtView::setArtwork(const Artwork& artwork) {
  if (stage_->artwork() && stage_->artwork()->id == artwork.id) return;
  artwork_ = artwork;
  stop_.request_stop();
  stop_ = {};

  // From memory only, so that the view is filled at once.
  QImage still = images_.pipeline.cached(artwork, stillPixels);
  if (still.isNull()) still = images_.pipeline.cached(artwork, smallStillPixels);
  stage_->setStillImage(still);
  takeAspect(still);
  stage_->setLayerBackground(seriesBackground(artwork).value_or(WallpaperComposer::defaultMatte()));

  // The larger still; it applies only while the stage still runs this work.
  images_.pool.start([pipeline = images_.pipeline.requests(), artwork, stop = stop_.get_token(), mailbox = mailbox_,
                      self = this] {
    QImage image = pipeline->image(artwork, stillPixels, false, stop);
    if (image.isNull()) return;
    mailbox->post([self, id = artwork.id, image] { self->stillLanded(id, image); });
  });

  if (artwork.isLive()) {
    stage_->load(artwork);
  } else {
    stage_->showStill(still);
  }
}

void LiveArtView::stillLanded(const std::string& artworkID, const QImage& image) {
  if (!stage_->artwork() || stage_->artwork()->id != artworkID) return;
  // A playing work is never covered.
  if (stage_->status().kind != Kind::playing) {
    stage_->setStillImage(image);
    takeAspect(image);
  }
  stage_->setLayerBackground(seriesBackground(*stage_->artwork()).value_or(WallpaperComposer::edgeColor(image)));
}

void LiveArtView::takeAspect(const QImage& image) {
  if (image.isNull() || stage_->aspectLocked()) return;
  stage_->setAspect(double(image.width()) / std::max(1, image.height()));
  stage_->relayout();
}

std::optional<QColor> LiveArtView::seriesBackground(const Artwork& artwork) const {
  const RenderProfile* profile = model_.state().profile(artwork);
  if (profile && profile->background) return opaque(*profile->background);
  return std::nullopt;
}

void LiveArtView::setStatus(const ArtStageView::Status& status) {
  status_ = status;
  spinner_->setVisible(status.kind == Kind::loading);
  card_->setVisible(status.kind == Kind::failed);
  failure_->setText(QStringLiteral("Showing still: ") + status.message);
  placeCorner();
  emit statusChanged();
}

bool LiveArtView::showsSpinner() const { return !spinner_->isHidden(); }

QString LiveArtView::failureText() const { return card_->isHidden() ? QString() : failure_->text(); }

void LiveArtView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  stage_->setGeometry(rect());
  placeCorner();
}

void LiveArtView::placeCorner() {
  spinner_->move(spinnerPadding, height() - spinnerPadding - spinner_->height());
  const int maxWidth = std::max(0, width() - 2 * cardMargin);
  card_->setMaximumWidth(maxWidth);
  const QSize size = card_->sizeHint().boundedTo(QSize(maxWidth, height()));
  card_->setGeometry(cardMargin, height() - cardMargin - size.height(), size.width(), size.height());
  spinner_->raise();
  card_->raise();
}

}  // namespace tavolune
