#include "app/settings/ScreenSaverSettings.hpp"

#include "app/components/ArtworkImage.hpp"
#include "app/components/FormSection.hpp"
#include "app/components/RoundedCard.hpp"
#include "app/model/AppModel.hpp"
#include "app/settings/RowLabel.hpp"
#include "app/settings/Setting.hpp"
#include "app/settings/SettingsControls.hpp"
#include "app/settings/SettingsForm.hpp"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>

namespace tavolune {
ScreenSaverSettings::ScreenSaverSettings(const SettingsServices& services, QWidget* parent)
    : QWidget(parent), services_(services), delay_(new ValuePicker) {
  QVBoxLayout* column = settingsform::column(this);
  QWidget* content = column->parentWidget();

  auto* first = new FormSection(QString(), content);
  for (const Delay& d : delays) delay_->addOption(QString::fromUtf8(d.label), d.seconds);
  first->addRow(settingsRow(new RowLabel(QStringLiteral("Start After"), "timer", RowLabel::purple()), delay_, first));
  first->setFooter(tr("It doesn't lock your computer, steps aside while a video plays, and shows still images on "
                      "battery."));
  connect(delay_, &ValuePicker::picked, this,
          [this](double seconds) { setting(services_.model, &AppSettings::screenSaverDelay, seconds); });
  column->addWidget(first);

  auto* second = new FormSection(QString(), content);
  auto* stack = new QWidget(second);
  auto* v = new QVBoxLayout(stack);
  v->setContentsMargins(0, 6, 0, 6);
  v->setSpacing(14);

  // The card's black rounded field, 170 high, the work fitted 18 in from its edges.
  card_ = new RoundedCard(10, [](const QPalette&) { return QColor(Qt::black); }, {}, stack);
  card_->setFixedHeight(170);
  auto* inCard = new QVBoxLayout(card_);
  inCard->setContentsMargins(18, 18, 18, 18);
  AppModel& model = services_.model;
  image_ =
      new ArtworkImage(ImageServices{model.media().images(), *QThreadPool::globalInstance(),
                                     [&model](const Artwork& a, const QImage& i) { model.formats().noteRatio(a, i); }},
                       card_);
  auto* shadow = new QGraphicsDropShadowEffect(image_);
  shadow->setColor(QColor(0, 0, 0, 102));
  shadow->setBlurRadius(12);
  shadow->setOffset(0, 3);
  image_->setGraphicsEffect(shadow);
  inCard->addWidget(image_);
  card_->hide();
  v->addWidget(card_);

  auto* text = new QLabel(tr("When your computer sits idle, your collection fills every display, live artworks "
                             "running. Any key or mouse move brings the desktop back."),
                          stack);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignHCenter);
  text->setForegroundRole(QPalette::PlaceholderText);
  v->addWidget(text);

  previewButton_ = new QPushButton(tr("Preview"), stack);
  previewButton_->setMinimumHeight(32);
  previewButton_->setMinimumWidth(120);
  connect(previewButton_, &QPushButton::clicked, this, [this] {
    if (services_.showScreenSaver) services_.showScreenSaver();
  });
  v->addWidget(previewButton_, 0, Qt::AlignHCenter);
  second->addRow(stack);
  column->addWidget(second);
  column->addStretch();

  connect(&services_.model, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    // The preview shows a work of the pool.
    if (change.settings || change.desktop) load();
  });
  load();
}

const Artwork* ScreenSaverSettings::previewWork(const std::vector<const Artwork*>& pool) {
  for (const Artwork* a : pool) {
    if (a->mediaKind == MediaKind::generative) return a;
  }
  return pool.empty() ? nullptr : pool.front();
}

void ScreenSaverSettings::load() {
  delay_->load(services_.model.state().settings.screenSaverDelay);
  if (isVisible()) refreshPreview();
}

void ScreenSaverSettings::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refreshPreview();
}

void ScreenSaverSettings::refreshPreview() {
  const LibraryState& state = services_.model.state();
  if (previewRevision_ == state.revision()) return;
  previewRevision_ = state.revision();
  ++poolReads_;
  // The screen saver's own pool when it names one, else the desktop's.
  std::vector<Artwork> own;
  std::vector<const Artwork*> pool;
  if (services_.saverPool) {
    own = services_.saverPool();
    for (const Artwork& a : own) pool.push_back(&a);
  } else {
    pool = state.desktopPool();
  }
  const Artwork* work = previewWork(pool);
  preview_ = work ? std::optional<Artwork>(*work) : std::nullopt;
  card_->setVisible(bool(preview_));
  if (preview_) image_->setArtwork(*preview_, 600, ArtworkImage::ContentMode::fit);
}

}  // namespace tavolune
