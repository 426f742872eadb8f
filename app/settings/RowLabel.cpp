#include "app/settings/RowLabel.hpp"

#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace tavolune {
namespace {

// The symbol on its tile, 22 by 22, the tile's colour a soft gradient.
class SymbolTile final : public QWidget {
 public:
  SymbolTile(std::string_view symbol, QColor color, QWidget* parent)
      : QWidget(parent), symbol_(symbol), color_(std::move(color)) {
    setFixedSize(22, 22);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(rect()), 6, 6);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, color_.lighter(112));
    fill.setColorAt(1, color_);
    p.fillPath(tile, fill);
    const qreal ratio = devicePixelRatioF();
    const QPixmap glyph = Symbols::tinted(symbol_, QSize(13, 13), Qt::white, ratio);
    if (!glyph.isNull()) p.drawPixmap(QPointF((width() - 13) / 2.0, (height() - 13) / 2.0), glyph);
  }

 private:
  std::string_view symbol_;
  QColor color_;
};

}  // namespace

RowLabel::RowLabel(const QString& title, std::string_view symbol, const QColor& color,
                   std::optional<QString> subtitle, QWidget* parent)
    : QWidget(parent), title_(new QLabel(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(10);
  row->addWidget(new SymbolTile(symbol, color, this), 0, Qt::AlignVCenter);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(1);
  title_->setTextFormat(Qt::PlainText);
  title_->setText(title);
  texts->addWidget(title_);
  if (subtitle) {
    subtitle_ = new QLabel(this);
    subtitle_->setTextFormat(Qt::PlainText);
    subtitle_->setFont(Theme::caption());
    subtitle_->setForegroundRole(QPalette::PlaceholderText);
    subtitle_->setWordWrap(true);
    subtitle_->setText(*subtitle);
    texts->addWidget(subtitle_);
  }
  row->addLayout(texts, 1);
}

QString RowLabel::subtitle() const { return subtitle_ ? subtitle_->text() : QString(); }

void RowLabel::setSubtitle(const QString& subtitle) {
  if (subtitle_) subtitle_->setText(subtitle);
}

QColor RowLabel::blue() { return QColor(0, 122, 255); }
QColor RowLabel::indigo() { return QColor(88, 86, 214); }
QColor RowLabel::teal() { return QColor(48, 176, 199); }
QColor RowLabel::gray() { return QColor(142, 142, 147); }
QColor RowLabel::green() { return QColor(52, 199, 89); }
QColor RowLabel::orange() { return QColor(255, 149, 0); }
QColor RowLabel::pink() { return QColor(255, 45, 85); }
QColor RowLabel::cyan() { return QColor(50, 173, 230); }
QColor RowLabel::purple() { return QColor(175, 82, 222); }

QWidget* settingsRow(QWidget* label, QWidget* control, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 6, 0, 6);
  layout->setSpacing(12);
  label->setParent(row);
  layout->addWidget(label, 1);
  if (control) {
    control->setParent(row);
    layout->addWidget(control, 0, Qt::AlignRight | Qt::AlignVCenter);
  }
  return row;
}

}  // namespace tavolune
