#include "app/settings/LabelStyleRow.hpp"

#include "app/desktop/DesktopController.hpp"
#include "app/settings/RowLabel.hpp"
#include "app/settings/Setting.hpp"
#include "app/settings/SettingsControls.hpp"
#include "app/qt/Convert.hpp"

#include <QHBoxLayout>

namespace tavolune {

LabelStyleRow::LabelStyleRow(AppModel& model, DesktopController& desktop, QWidget* parent)
    : QWidget(parent), model_(model), desktop_(desktop), picker_(new ValuePicker(this)) {
  for (CartelStyle style : allCases<CartelStyle>()) picker_->addOption(qt::str(label(style)), int(style));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(settingsRow(new RowLabel(QStringLiteral("Label Style"), "textformat", RowLabel::indigo(),
                                          QStringLiteral("Classic card, museum wall label, text alone, or a large "
                                                         "editorial title")),
                             picker_, this));
  connect(picker_, &ValuePicker::picked, this, [this](double value) {
    setting(model_, &AppSettings::cartelStyle, static_cast<CartelStyle>(int(value)));
    desktop_.previewCartels();
  });
  load();
}

void LabelStyleRow::load() { picker_->load(int(model_.state().settings.cartelStyle)); }

}  // namespace tavolune
