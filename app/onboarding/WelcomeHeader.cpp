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
  for (MotionValue* v : {&entrance_, &compactness_}) {
    v->setParent(this);
    v->setOwner(this);
  }
  connect(&entrance_, &MotionValue::valueChanged, this, [this](double v) {
    appeared_ = v;
    update();
  });
  connect(&compactness_, &MotionValue::valueChanged, this, [this] {
    updateGeometry();
    update();
  });
  delay_.setSingleShot(true);
  delay_.setInterval(100);
  connect(&delay_, &QTimer::timeout, this,
          [this] { entrance_.animateTo(1, Curve::springOf(0.7, 0.8), MotionKind::fade); });
}

void WelcomeHeader::setCompact(bool compact) {
  if (compact == compact_) return;
  compact_ = compact;
  compactness_.animateTo(compact ? 1 : 0, Curve::springOf(0.5, 0.85));
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
  const double full = 1 - std::clamp(compactness_.value(), 0.0, 1.0);
  double h = iconSide() + spacing() + QFontMetrics(titleFont()).height();
  // The two lines under the title give back their room as they leave.
  h += full * (lineSpacing + QFontMetrics(taglineFont()).height());
  h += full * (lineSpacing + QFontMetrics(descriptionFont())
                                 .boundingRect(QRect(0, 0, textWidth, 200), Qt::TextWordWrap, description)
                                 .height());
  return {textWidth, int(std::ceil(h))};
}

void WelcomeHeader::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const double shown = std::clamp(appeared_, 0.0, 1.0);
  const int side = iconSide();
  const double scale = MotionPreferences::shared().reduced() ? 1 : 0.85 + 0.15 * appeared_;

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
  if (!MotionPreferences::shared().reduced()) p.translate(0, 8 * (1 - appeared_));
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
  const double full = 1 - std::clamp(compactness_.value(), 0.0, 1.0);
  if (full > 0) {
    p.setOpacity(shown * full);
    line(taglineFont(), text, tagline);
    line(descriptionFont(), ArtworkImage::secondaryColor(palette()), description);
  }
}

void WelcomeHeader::showEvent(QShowEvent*) {
  entrance_.jumpTo(0);
  delay_.start();
}

void WelcomeHeader::hideEvent(QHideEvent*) {
  delay_.stop();
  entrance_.jumpTo(1);
  compactness_.jumpTo(compact_ ? 1 : 0);
}

}  // namespace tavolune
