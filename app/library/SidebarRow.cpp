#include "app/library/SidebarRow.hpp"

#include "app/components/PlainText.hpp"
#include "app/components/Spinner.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QToolTip>

#include <algorithm>

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

// A list item, chosen or not, under the name the row gives itself.
class RowAccessible final : public QAccessibleWidget {
 public:
  explicit RowAccessible(SidebarRow* row) : QAccessibleWidget(row, QAccessible::ListItem) {}
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.selectable = true;
    s.selected = static_cast<const SidebarRow*>(widget())->isSelected();
    return s;
  }
};

QAccessibleInterface* describe(const QString& className, QObject* object) {
  if (className == QLatin1String(SidebarRow::staticMetaObject.className())) {
    auto* row = qobject_cast<SidebarRow*>(object);
    return row ? new RowAccessible(row) : nullptr;
  }
  if (className == QLatin1String("QWidget") && object->objectName() == QLatin1String(SidebarRow::listName)) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::List);
  }
  return nullptr;
}

}  // namespace

SidebarRow::SidebarRow(QString symbol, QString title, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), title_(std::move(title)), spinner_(new Spinner(Spinner::Size::mini, this)) {
  setFixedHeight(height);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
  spinner_->hide();
  spinner_->setToolTip(QStringLiteral("Refreshing\u2026"));
  setFocusPolicy(Qt::StrongFocus);
  describeForAssistiveTechnology();
  nameForAssistiveTechnology();
}

void SidebarRow::describeForAssistiveTechnology() {
  static const bool described = [] {
    QAccessible::installFactory(&describe);
    return true;
  }();
  (void)described;
}

void SidebarRow::nameForAssistiveTechnology() {
  QString name = title_;
  if (count_) name += *count_ == 1 ? QStringLiteral(", 1 artwork") : QStringLiteral(", %1 artworks").arg(*count_);
  setAccessibleName(name);
}

SidebarRow* SidebarRow::neighbour(int step) const {
  // The rows of the whole list, the exhibitions' among them, top to bottom.
  QWidget* list = parentWidget();
  while (list && list->objectName() != QLatin1String(listName)) list = list->parentWidget();
  if (!list) return nullptr;
  std::vector<SidebarRow*> rows;
  for (SidebarRow* r : list->findChildren<SidebarRow*>()) {
    if (r->isVisibleTo(list)) rows.push_back(r);
  }
  std::sort(rows.begin(), rows.end(),
            [list](SidebarRow* a, SidebarRow* b) { return a->mapTo(list, QPoint()).y() < b->mapTo(list, QPoint()).y(); });
  const auto self = std::find(rows.begin(), rows.end(), this);
  if (self == rows.end()) return nullptr;
  const auto at = std::clamp<long>(long(self - rows.begin()) + step, 0, long(rows.size()) - 1);
  return rows[std::size_t(at)] == this ? nullptr : rows[std::size_t(at)];
}

void SidebarRow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (SidebarRow* next = neighbour(event->key() == Qt::Key_Up ? -1 : 1)) {
        next->setFocus(Qt::OtherFocusReason);
        for (QWidget* w = next->parentWidget(); w; w = w->parentWidget()) {
          if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
            scroll->ensureWidgetVisible(next, 0, 0);
            break;
          }
        }
      }
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      emit clicked();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void SidebarRow::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void SidebarRow::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void SidebarRow::setTitle(const QString& title) {
  if (title == title_) return;
  title_ = title;
  nameForAssistiveTechnology();
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
  nameForAssistiveTechnology();
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
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()).adjusted(4, 1, -4, -1), 6, 6);
  if (selected_ || targeted_) {
    QColor fill = Theme::accent(pal);
    fill.setAlphaF(targeted_ ? 0.18 : 0.22);
    p.fillPath(shape, fill);
  }
  if (hasFocus()) {
    // The keyboard's place in the list.
    p.setPen(QPen(Theme::accent(pal), 1.5));
    p.drawPath(shape);
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
