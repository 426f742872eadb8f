#include "app/settings/DisplaySettings.hpp"

#include "app/components/FormSection.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/qt/Convert.hpp"
#include "app/settings/FramesSettings.hpp"
#include "app/settings/FramingCard.hpp"
#include "app/settings/LabelStyleRow.hpp"
#include "app/settings/RowLabel.hpp"
#include "app/settings/Setting.hpp"
#include "app/settings/SettingsControls.hpp"
#include "app/settings/SettingsForm.hpp"

#include <QHBoxLayout>

namespace tavolune {

DisplaySettings::DisplaySettings(AppModel& model, DesktopController& desktop, QWidget* parent)
    : QWidget(parent), model_(model), desktop_(desktop), live_(new ValuePicker), cartelMode_(new ValuePicker) {
  QVBoxLayout* column = settingsform::column(this);
  QWidget* content = column->parentWidget();

  auto* framing = new FormSection(tr("Framing"), content);
  auto* cardRow = new QWidget(framing);
  auto* cards = new QHBoxLayout(cardRow);
  cards->setContentsMargins(0, 4, 0, 4);
  cards->setSpacing(14);
  cards->addStretch();
  for (Framing f : FramingCard::order) {
    auto* card = new FramingCard(f, cardRow);
    // No display known: nothing is targeted and the cards keep showing Fit.
    connect(card, &FramingCard::clicked, this, [this, f] { desktop_.setFraming(f); });
    cards->addWidget(card);
    framingCards_.push_back(card);
  }
  cards->addStretch();
  framing->addRow(cardRow);
  framing->setFooter(tr("Fit shows the whole artwork as large as the screen allows; Fill covers the screen, "
                        "cropping the edges; Mat leaves a generous margin, like a print. Each artwork can override "
                        "it in the Library."));
  column->addWidget(framing);

  auto* desk = new FormSection(tr("On the Desktop"), content);
  for (AnimationPolicy p : allCases<AnimationPolicy>()) live_->addOption(qt::str(label(p)), int(p));
  liveLabel_ = new RowLabel(QStringLiteral("Live Artworks"), "play.circle", RowLabel::pink(), QString());
  desk->addRow(settingsRow(liveLabel_, live_, desk));
  connect(live_, &ValuePicker::picked, this, [this](double value) {
    setting(model_, &AppSettings::animation, static_cast<AnimationPolicy>(int(value)));
  });
  for (CartelMode m : allCases<CartelMode>()) cartelMode_->addOption(qt::str(label(m)), int(m));
  desk->addRow(settingsRow(new RowLabel(QStringLiteral("Label"), "text.below.photo", RowLabel::cyan(),
                                        QStringLiteral("Title and artist, in a corner of the desktop")),
                           cartelMode_, desk));
  connect(cartelMode_, &ValuePicker::picked, this, [this](double value) {
    setting(model_, &AppSettings::cartelMode, static_cast<CartelMode>(int(value)));
  });
  labelStyle_ = new LabelStyleRow(model_, desktop_, desk);
  desk->addRow(labelStyle_);
  column->addWidget(desk);

  frames_ = new FramesSettings(model_, content);
  column->addWidget(frames_);
  column->addStretch();

  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.settings || change.displays) load();
  });
  connect(&desktop_, &DesktopController::screensChanged, this, &DisplaySettings::load);
  load();
}

Framing DisplaySettings::framing() const {
  const auto key = desktop_.mainKey();
  return key ? desktop_.config(*key).framing : Framing::fit;
}

void DisplaySettings::load() {
  const Framing current = framing();
  for (FramingCard* card : framingCards_) card->setSelected(card->framing() == current);
  const AppSettings& s = model_.state().settings;
  live_->load(int(s.animation));
  liveLabel_->setSubtitle(qt::str(explanation(s.animation)));
  cartelMode_->load(int(s.cartelMode));
  labelStyle_->load();
}

}  // namespace tavolune
