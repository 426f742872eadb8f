#include "app/inspector/ArtworkDetail.hpp"
#include "app/components/LimitedText.hpp"

#include "app/components/Spinner.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/inspector/DesktopPreview.hpp"
#include "app/inspector/FormatInfo.hpp"
#include "app/inspector/InspectorFacts.hpp"
#include "app/inspector/InspectorSection.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavolune {

ArtworkDetail::ArtworkDetail(InspectorServices services, ArtworkActions actions, const Artwork& artwork,
                             QWidget* parent)
    : QScrollArea(parent), services_(std::move(services)), actions_(std::move(actions)), artwork_(artwork) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* content = new QWidget;
  content->setAutoFillBackground(false);
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(padding, padding, padding, padding);
  column->setSpacing(spacing);
  buildHeader(*column);
  buildActions(*column);
  buildDesktopSection(*column);
  buildAbout(*column);
  buildInfo(*column);
  column->addStretch(1);
  setWidget(content);
  viewport()->setAutoFillBackground(false);

  connect(&services_.model, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.settings || change.displays || change.touches(artwork_.id)) refresh();
  });
  connect(&services_.desktop, &DesktopController::preparingChanged, this, &ArtworkDetail::refreshPrimary);
  connect(&services_.desktop, &DesktopController::screensChanged, this, &ArtworkDetail::refresh);
  refresh();
}

void ArtworkDetail::setArtwork(const Artwork& artwork) {
  if (artwork.id != artwork_.id) live_ = false;
  artwork_ = artwork;
  format_->setArtwork(artwork_);
  preview_->setArtwork(artwork_);
  refresh();
}

void ArtworkDetail::setLive(bool live) {
  live = live && artwork_.isLive();
  if (live == live_) return;
  live_ = live;
  refresh();
}

Framing ArtworkDetail::effectiveFraming() const {
  const Framing desktop = inspector::desktopFraming(services_.desktop);
  const Placement placement = services_.model.state().placement(
      artwork_, ScreenConfig(desktop), inspector::mainScreenAspect(services_.desktop), std::nullopt);
  return inspector::effectiveFraming(placement, desktop);
}

Framing ArtworkDetail::shownFraming() const {
  const auto& preferred = services_.model.state().preferredFraming;
  const auto it = preferred.find(artwork_.id);
  return it != preferred.end() ? it->second : effectiveFraming();
}

void ArtworkDetail::refresh() {
  // The work's fields may have changed with the library (a sync).
  const auto& state = services_.model.state();
  if (auto it = state.artworks.find(artwork_.id); it != state.artworks.end()) artwork_ = it->second;

  preview_->setLive(artwork_.isLive() && live_);
  play_->setVisible(artwork_.isLive());
  play_->setIcon(Symbols::icon(live_ ? "stop.fill" : "play.fill"));
  play_->setToolTip(live_ ? QStringLiteral("Back to the Image") : QStringLiteral("Play Live"));

  title_->setText(qt::str(artwork_.title));
  artist_->setVisible(artwork_.artist.has_value());
  artist_->setText(qt::str(artwork_.artist.value_or("")));
  details_->setText(qt::str(artwork_.cartelDetails()));

  refreshPrimary();
  const bool selected = state.onDesktop.contains(artwork_.id);
  selection_->setText(selected ? QStringLiteral("In My Selection") : QStringLiteral("Add to My Selection"));
  selection_->setIcon(Symbols::icon(selected ? "checkmark.circle.fill" : "plus.circle"));

  framingButton(shownFraming()).setChecked(true);
  rotation_->setText(inspector::rotationText(state.rotation(artwork_.id)));
  animateRow_->setVisible(artwork_.isLive());
  {
    const QSignalBlocker quiet(animate_);
    animate_->setChecked(state.animatedArtworks.contains(artwork_.id));
  }
  format_->setArtwork(artwork_);

  const bool described = artwork_.description && !artwork_.description->empty();
  aboutSection_->setVisible(described);
  description_->setFullText(described ? qt::str(*artwork_.description) : QString());
  refreshInfo();
}

void ArtworkDetail::refreshPrimary() {
  primary_->setVisible(bool(actions_.primary));
  const bool preparing = services_.desktop.isPreparing(artwork_.id);
  preparing_->setVisible(preparing);
  primary_->setEnabled(!preparing);
  primary_->setText(preparing ? QStringLiteral("Preparing…") : actions_.primaryTitle);
  primary_->setIcon(preparing ? QIcon() : Symbols::icon(actions_.primarySymbol.toStdString()));
  primary_->setToolTip(preparing ? QStringLiteral("Computing the render at your screen's size; it appears on the "
                                                  "desktop when ready.")
                                 : QString());
}

void ArtworkDetail::toggleSelection() { inspector::toggleInMySelection(services_.model, artwork_.id); }

void ArtworkDetail::chooseFraming(Framing framing) {
  services_.model.setFraming(artwork_.id, framing);
}

void ArtworkDetail::rotate(int step) {
  const int turns = inspector::turned(services_.model.state().rotation(artwork_.id), step);
  services_.model.setRotation(artwork_.id, turns);
}

bool ArtworkDetail::eventFilter(QObject* watched, QEvent* event) {
  // The play button rides the miniature's top right corner.
  if (watched == &preview_->miniature() && event->type() == QEvent::Resize) {
    constexpr int inset = 8;
    play_->move(preview_->miniature().width() - inset - play_->width(), inset);
  }
  return QScrollArea::eventFilter(watched, event);
}

}  // namespace tavolune
