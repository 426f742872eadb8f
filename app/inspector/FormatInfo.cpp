#include "app/inspector/FormatInfo.hpp"

#include "app/components/PlainText.hpp"
#include "app/components/Spinner.hpp"
#include "app/inspector/SeriesMeasuring.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace tavolune {
namespace {

// A circle of the series' background with a faint inner ring.
class Swatch final : public QWidget {
 public:
  explicit Swatch(QWidget* parent) : QWidget(parent) {
    setFixedSize(FormatInfo::swatchSide, FormatInfo::swatchSide);
    setToolTip(QStringLiteral("Artwork background color, reused by the mat"));
  }
  QColor colour;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    QColor ring = palette().color(QPalette::PlaceholderText);
    ring.setAlphaF(0.4f);
    p.setPen(QPen(ring, 1));
    p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  }
};

}  // namespace

FormatInfo::FormatInfo(AppModel& model, const Artwork& artwork, QWidget* parent)
    : QWidget(parent), model_(model), measuring_(SeriesMeasuring::of(model)), artwork_(artwork) {
  auto* content = new QWidget;
  auto* line = new QHBoxLayout(content);
  line->setContentsMargins(0, 0, 0, 0);
  line->setSpacing(6);
  swatch_ = new Swatch(content);
  line->addWidget(swatch_);
  text_ = plaintext::label({}, content);
  text_->setForegroundRole(QPalette::PlaceholderText);
  line->addWidget(text_);
  spinner_ = new Spinner(Spinner::Size::small, content);
  line->addWidget(spinner_);
  button_ = new QToolButton(content);
  button_->setAutoRaise(true);
  button_->setIcon(Symbols::icon("arrow.clockwise"));
  line->addWidget(button_);
  connect(button_, &QToolButton::clicked, this, &FormatInfo::measure);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  row_ = new InspectorRow(QStringLiteral("Format"), content, this);
  column->addWidget(row_);

  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.touches(artwork_.id, LibraryChange::format)) refresh();
  });
  connect(&measuring_, &SeriesMeasuring::changed, this, &FormatInfo::refresh);
  refresh();
}

void FormatInfo::setArtwork(const Artwork& artwork) {
  artwork_ = artwork;
  refresh();
}

bool FormatInfo::isMeasuring() const { return measuring_.isMeasuring(artwork_.seriesKey()); }

void FormatInfo::measure() {
  if (isMeasuring()) return;
  measuring_.remeasure(artwork_);
}

void FormatInfo::refresh() {
  setVisible(appliesTo(artwork_));
  if (!appliesTo(artwork_)) return;
  const RenderProfile* profile = model_.state().profile(artwork_);
  const bool measuring = isMeasuring();
  auto* swatch = static_cast<Swatch*>(swatch_);
  if (profile && profile->background) {
    const auto& c = *profile->background;
    swatch->colour = QColor::fromRgbF(float(c.r), float(c.g), float(c.b), 1.0f);
    swatch->update();
  }
  swatch_->setVisible(profile && profile->background);
  spinner_->setVisible(!profile && measuring);
  text_->setVisible(profile || !measuring);
  text_->setText(profile ? qt::str(profile->layout.label()) : QStringLiteral("Not measured"));
  button_->setEnabled(!measuring);
  button_->setToolTip(profile ? QStringLiteral("Measure Again") : QStringLiteral("Measure"));
}

QString FormatInfo::stateText() const { return text_->isHidden() ? QString() : text_->text(); }

std::optional<QColor> FormatInfo::swatch() const {
  if (swatch_->isHidden()) return std::nullopt;
  return static_cast<Swatch*>(swatch_)->colour;
}

bool FormatInfo::showsSpinner() const { return !spinner_->isHidden(); }

}  // namespace tavolune
