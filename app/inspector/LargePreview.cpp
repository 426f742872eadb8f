#include "app/inspector/LargePreview.hpp"

#include "app/components/ArtworkImage.hpp"
#include "app/components/LoadingPlaceholder.hpp"
#include "app/components/PlainText.hpp"
#include "app/inspector/InspectorFacts.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/render/Shadow.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace tavolune {
namespace {

QLabel* coloured(const QString& text, const QColor& colour, QWidget* parent) {
  auto* l = plaintext::label(text, parent);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, colour);
  l->setPalette(pal);
  return l;
}

// The keys keyPressEvent takes, matched by key: with Ctrl held, the text of
// a press is a control character.
bool previewKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Space:
    case Qt::Key_Escape:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_S:
      return true;
    default:
      return false;
  }
}

}  // namespace

LargePreview::LargePreview(Services services, LibraryWindowState& windowState, const Artwork& artwork,
                           QWidget* parent)
    : QWidget(parent), services_(std::move(services)), windowState_(windowState), artwork_(artwork) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(padding, padding, padding, padding);
  column->setSpacing(spacing);
  image_ = new ArtworkImage(services_.images, this);
  image_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  image_->setArtwork(artwork_, stillPixels, ArtworkImage::ContentMode::fit);
  column->addWidget(image_, 1);
  connect(image_, &ArtworkImage::loadFinished, this, qOverload<>(&QWidget::update));

  auto* info = new QHBoxLayout;
  info->setSpacing(10);
  title_ = coloured(qt::str(artwork_.title), Qt::white, this);
  QFont serif = title_->font();
  serif.setFamilies({QStringLiteral("serif")});
  serif.setStyleHint(QFont::Serif);
  serif.setPixelSize(20);
  title_->setFont(serif);
  info->addWidget(title_, 0, Qt::AlignBaseline);
  artist_ = coloured(qt::str(artwork_.artist.value_or("")), QColor(255, 255, 255, 150), this);
  artist_->setVisible(artwork_.artist.has_value());
  info->addWidget(artist_, 0, Qt::AlignBaseline);
  info->addStretch(1);

  inSelection_ = new QWidget(this);
  auto* badge = new QHBoxLayout(inSelection_);
  badge->setContentsMargins(0, 0, 0, 0);
  badge->setSpacing(4);
  const QColor accent = Theme::accent();
  auto* check = new QLabel(inSelection_);
  check->setPixmap(Symbols::tinted("checkmark.circle.fill", QSize(14, 14), accent, devicePixelRatioF()));
  badge->addWidget(check);
  badge->addWidget(coloured(QStringLiteral("In My Selection"), accent, inSelection_));
  info->addWidget(inSelection_, 0, Qt::AlignBaseline);

  auto* hint = coloured(hints, QColor(255, 255, 255, 90), this);
  hint->setFont(Theme::caption());
  info->addWidget(hint, 0, Qt::AlignBaseline);
  column->addLayout(info);

  connect(&services_.model, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.touches(artwork_.id, LibraryChange::selection)) refresh();
  });
  refresh();
}

bool LargePreview::showsInSelection() const { return !inSelection_->isHidden(); }

void LargePreview::refresh() { inSelection_->setVisible(services_.model.state().onDesktop.contains(artwork_.id)); }

bool LargePreview::step(int by) {
  const auto& listed = windowState_.listed();
  const auto at = std::find(listed.begin(), listed.end(), artwork_.id);
  if (at == listed.end()) return false;
  const auto position = (at - listed.begin()) + by;
  // Browsing stops at both ends.
  if (position < 0 || position >= std::ptrdiff_t(listed.size())) return true;
  const std::string next = listed[std::size_t(position)];
  windowState_.setSelection({next});
  windowState_.setFocused(next);
  windowState_.setBigPreview(next);  // may replace this preview
  return true;
}

void LargePreview::toggleSelection() { inspector::toggleInMySelection(services_.model, artwork_.id); }

bool LargePreview::event(QEvent* event) {
  // While it shows, the preview's keys beat the window's shortcuts (the
  // selection bar's Escape would otherwise clear the selection first).
  if (event->type() == QEvent::ShortcutOverride && previewKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QWidget::event(event);
}

void LargePreview::keyPressEvent(QKeyEvent* event) {
  // Held keys do nothing more: one work per press.
  if (event->isAutoRepeat()) return event->ignore();
  bool handled = true;
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Escape:
      windowState_.setBigPreview({});
      break;
    case Qt::Key_Left:
    case Qt::Key_Up:
      handled = step(-1);
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      handled = step(+1);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (services_.show) services_.show(artwork_);
      break;
    case Qt::Key_S:
      toggleSelection();
      break;
    default:
      handled = false;
  }
  if (handled) {
    event->accept();
  } else {
    event->ignore();
  }
}

void LargePreview::mousePressEvent(QMouseEvent* event) {
  event->accept();
  windowState_.setBigPreview({});
}

void LargePreview::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  setFocus(Qt::OtherFocusReason);
}

void LargePreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, float(backdropOpacity)));
  // The still's shadow: black 50 %, radius 30, 10 points down.
  const QImage still = image_->shownStill();
  if (still.isNull()) return;
  const QRectF shown = LoadingPlaceholder::fitted(QRectF(image_->geometry()), double(still.width()) / still.height());
  geometry::yUp(p, height());
  Shadow::drawRectShadow(p, Rect{shown.x(), height() - shown.bottom(), shown.width(), shown.height()}, 0, -10, 30,
                         0.5);
}

}  // namespace tavolune
