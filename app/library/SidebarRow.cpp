#include "app/library/SidebarRow.hpp"

#include "app/components/PlainText.hpp"
#include "app/components/Spinner.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QHelpEvent>
#include <QPainterPath>
#include <QToolTip>

namespace tavolune {
namespace {

constexpr int hPad = 10;
constexpr int gap = 8;
constexpr int badgeSize = 8;

QFont countFont() {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPixelSize(Theme::caption().pixelSize() > 0 ? Theme::caption().pixelSize() : 11);
  return f;
}

}  // namespace

SidebarRow::SidebarRow(QString symbol, QString title, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), title_(std::move(title)), spinner_(new Spinner(Spinner::Size::mini, this)) {
  setFixedHeight(height);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
  spinner_->hide();
  spinner_->setToolTip(QStringLiteral("Refreshing\u2026"));
}

void SidebarRow::setTitle(const QString& title) {
  if (title == title_) return;
  title_ = title;
  update();
}

void SidebarRow::setCount(std::optional<std::size_t> count) {
  if (count == count_) return;
  if (count && count_) {
    rolling_.set((long long)*count, Curve::springOf(0.5, 0.85));
  } else if (count) {
    rolling_.jumpTo((long long)*count);
  }
  count_ = count;
  placeSpinner();
  update();
}

void SidebarRow::setSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  update();
}

void SidebarRow::setSecondary(bool secondary) {
  secondary_ = secondary;
  update();
}

void SidebarRow::setSyncing(bool syncing) {
  spinner_->setVisible(syncing);
  placeSpinner();
  update();
}

void SidebarRow::setBadge(const QString& symbol) {
  if (symbol == badge_) return;
  badge_ = symbol;
  update();
}

void SidebarRow::setTargeted(bool targeted) {
  if (targeted == targeted_) return;
  targeted_ = targeted;
  update();
}

bool SidebarRow::isSyncing() const { return !spinner_->isHidden(); }

void SidebarRow::setHelp(const QString& text) { setToolTip(plaintext::toolTip(text)); }

QRect SidebarRow::badgeRect() const {
  if (badge_.isEmpty()) return {};
  int right = width() - hPad;
  if (count_) right -= countWidth() + gap;
  if (isSyncing()) right -= spinner_->width() + gap;
  return {right - badgeSize, (height - badgeSize) / 2, badgeSize, badgeSize};
}

bool SidebarRow::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  if (badge_.isEmpty()) return QWidget::event(event);
  // With a badge the help is the badge's: a few points around it count, the
  // rest of the row says nothing.
  const auto* help = static_cast<QHelpEvent*>(event);
  const QRect area = badgeRect().adjusted(-4, -4, 4, 4);
  if (toolTip().isEmpty() || !area.contains(help->pos())) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), toolTip(), this, area);
  }
  return true;
}

int SidebarRow::countWidth() const {
  return count_ ? QFontMetrics(countFont()).horizontalAdvance(QString::number(*count_)) : 0;
}

void SidebarRow::placeSpinner() {
  const int right = width() - hPad - countWidth() - (count_ ? gap : 0);
  spinner_->move(right - spinner_->width(), (height - spinner_->height()) / 2);
}

void SidebarRow::resizeEvent(QResizeEvent*) { placeSpinner(); }

void SidebarRow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
}

void SidebarRow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = palette();
  if (selected_ || targeted_) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(4, 1, -4, -1), 6, 6);
    QColor fill = Theme::accent(pal);
    fill.setAlphaF(targeted_ ? 0.18 : 0.22);
    p.fillPath(path, fill);
  }
  QColor text = pal.color(QPalette::WindowText);
  if (secondary_) text.setAlphaF(0.6);
  QColor tertiary = pal.color(QPalette::WindowText);
  tertiary.setAlphaF(0.4);

  int x = hPad;
  const QPixmap icon = Symbols::tinted(symbol_.toStdString(), {iconSize, iconSize},
                                       selected_ ? Theme::accent(pal) : text, devicePixelRatioF());
  if (!icon.isNull()) p.drawPixmap(x, (height - iconSize) / 2, icon);
  x += iconSize + gap;

  int right = width() - hPad;
  if (count_) {
    p.setFont(countFont());
    p.setPen(tertiary);
    rolling_.paint(p, QRect(right - countWidth(), 0, countWidth(), height));
    right -= countWidth() + gap;
  }
  if (isSyncing()) right -= spinner_->width() + gap;
  if (!badge_.isEmpty()) {
    const QRect badge = badgeRect();
    const QPixmap mark = Symbols::tinted(badge_.toStdString(), badge.size(), Theme::accent(pal), devicePixelRatioF());
    if (!mark.isNull()) p.drawPixmap(badge.topLeft(), mark);
    right = badge.left() - gap;
  }

  p.setFont(font());
  p.setPen(text);
  const QString elided = fontMetrics().elidedText(title_, Qt::ElideMiddle, std::max(0, right - x));
  p.drawText(QRect(x, 0, std::max(0, right - x), height), Qt::AlignVCenter | Qt::AlignLeft, elided);
}

}  // namespace tavolune
