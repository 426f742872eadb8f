#include "app/onboarding/WelcomeHeader.hpp"

#include "app/components/ArtworkImage.hpp"
#include "app/style/Symbols.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace tavolune {

const QString WelcomeHeader::title = QStringLiteral("Tavolune");
const QString WelcomeHeader::tagline = QStringLiteral("Your art collection, hung on your desktop.");
const QString WelcomeHeader::description =
    QStringLiteral("Images, videos, GIFs and generative pieces, shown the way the artist intended.");

namespace {
constexpr int lineSpacing = 6;
constexpr int textWidth = 520;
}  // namespace

WelcomeHeader::WelcomeHeader(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  entrance_.setStartValue(0.0);
  entrance_.setEndValue(1.0);
  entrance_.setDuration(700);
  entrance_.setEasingCurve(QEasingCurve::OutBack);
  connect(&entrance_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
    appeared_ = v.toDouble();
    update();
  });
  connect(&entrance_, &QVariantAnimation::finished, this, [this] {
    appeared_ = 1;
    update();
  });
}

void WelcomeHeader::setCompact(bool compact) {
  if (compact == compact_) return;
  compact_ = compact;
  updateGeometry();
  update();
}

QFont WelcomeHeader::titleFont() const {
  QFont f(QStringLiteral("serif"));
  f.setStyleHint(QFont::Serif);
  f.setPixelSize(titleSize());
  return f;
}

QFont WelcomeHeader::taglineFont() const {
  QFont f = font();
  f.setPixelSize(17);
  f.setWeight(QFont::Medium);
  return f;
}

QFont WelcomeHeader::descriptionFont() const {
  QFont f = font();
  f.setPixelSize(13);
  return f;
}

QSize WelcomeHeader::sizeHint() const {
  int h = iconSide() + spacing() + QFontMetrics(titleFont()).height();
  if (!compact_) {
    h += lineSpacing + QFontMetrics(taglineFont()).height();
    h += lineSpacing +
         QFontMetrics(descriptionFont()).boundingRect(QRect(0, 0, textWidth, 200), Qt::TextWordWrap, description).height();
  }
  return {textWidth, h};
}

void WelcomeHeader::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const double shown = std::clamp(appeared_, 0.0, 1.0);
  const int side = iconSide();
  const double scale = 0.85 + 0.15 * appeared_;

  p.save();
  p.setOpacity(shown);
  p.translate(width() / 2.0, side / 2.0);
  p.scale(scale, scale);
  const QRect iconRect(-side / 2, -side / 2, side, side);
  // A soft shadow under the icon: a few widening, fading ellipses.
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 6; ++i) {
    p.setBrush(QColor(0, 0, 0, 10));
    p.drawEllipse(QRectF(iconRect).adjusted(6 - i * 2, 14 - i, -6 + i * 2, 8 + i));
  }
  Symbols::applicationIcon().paint(&p, iconRect);
  p.restore();

  p.setOpacity(shown);
  p.translate(0, 8 * (1 - shown));
  int y = side + spacing();
  const QColor text = palette().color(QPalette::WindowText);
  auto line = [&](const QFont& f, const QColor& colour, const QString& s) {
    p.setFont(f);
    p.setPen(colour);
    const QRect area = QFontMetrics(f).boundingRect(QRect(0, 0, textWidth, 200), Qt::TextWordWrap, s);
    const QRect box((width() - textWidth) / 2, y, textWidth, area.height());
    p.drawText(box, Qt::AlignHCenter | Qt::TextWordWrap, s);
    y += area.height() + lineSpacing;
  };
  line(titleFont(), text, title);
  if (!compact_) {
    line(taglineFont(), text, tagline);
    line(descriptionFont(), ArtworkImage::secondaryColor(palette()), description);
  }
}

void WelcomeHeader::showEvent(QShowEvent*) {
  appeared_ = 0;
  entrance_.stop();
  QTimer::singleShot(100, this, [this] { entrance_.start(); });
}

void WelcomeHeader::hideEvent(QHideEvent*) { entrance_.stop(); }

}  // namespace tavolune
