#include "app/settings/FramesSettings.hpp"

#include "app/components/FormSection.hpp"
#include "app/qt/Convert.hpp"
#include "app/settings/FrameCard.hpp"
#include "app/settings/Setting.hpp"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QVBoxLayout>

namespace tavolune {
namespace {

// The strip shows no scroll bar; the wheel moves it sideways.
class Strip final : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;

 protected:
  void wheelEvent(QWheelEvent* event) override {
    QScrollBar* bar = horizontalScrollBar();
    const QPoint delta = event->angleDelta();
    const int step = delta.x() != 0 ? delta.x() : delta.y();
    if (bar->maximum() == 0 || step == 0) return QScrollArea::wheelEvent(event);
    bar->setValue(bar->value() - step);
    event->accept();
  }
};

}  // namespace

FramesSettings::FramesSettings(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), section_(new FormSection(QStringLiteral("Frames"), this)) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(section_);

  auto* strip = new Strip(section_);
  strip->setFrameShape(QFrame::NoFrame);
  strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  strip->viewport()->setAutoFillBackground(false);
  auto* row = new QWidget(strip);
  auto* cards = new QHBoxLayout(row);
  cards->setContentsMargins(4, 8, 4, 8);
  cards->setSpacing(14);
  for (FrameStyle style : allCases<FrameStyle>()) {
    auto* card = new FrameCard(style, row);
    connect(card, &FrameCard::clicked, this, [this, style] { setting(model_, &AppSettings::frame, style); });
    cards->addWidget(card);
    cards_.push_back(card);
  }
  strip->setWidget(row);
  strip->setFixedHeight(row->sizeHint().height());
  section_->addRow(strip);

  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.settings) load();
  });
  load();
}

QString FramesSettings::footer(FrameStyle stored) {
  QString text = qt::str(explanation(stored));
  if (stored != FrameStyle::none) text += QStringLiteral(" Frames replace the framing above.");
  return text;
}

void FramesSettings::load() {
  const FrameStyle stored = model_.state().settings.frame;
  for (FrameCard* card : cards_) card->setSelected(card->style() == stored);
  footer_ = footer(stored);
  section_->setFooter(footer_);
}

}  // namespace tavolune
