#include "app/settings/SettingsControls.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>

namespace tavolune {

ValuePicker::ValuePicker(QWidget* parent) : QComboBox(parent) {
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index >= 0) emit picked(itemData(index).toDouble());
  });
}

void ValuePicker::addOption(const QString& label, double value) { addItem(label, value); }

void ValuePicker::load(double value) {
  const QSignalBlocker quiet(this);
  int found = -1;
  for (int i = 0; i < count(); ++i) {
    if (itemData(i).toDouble() == value) found = i;
  }
  setCurrentIndex(found);
}

std::optional<double> ValuePicker::value() const {
  if (currentIndex() < 0) return std::nullopt;
  return currentData().toDouble();
}

SegmentedPicker::SegmentedPicker(QWidget* parent) : QWidget(parent), group_(new QButtonGroup(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  group_->setExclusive(true);
  connect(group_, &QButtonGroup::idClicked, this, &SegmentedPicker::picked);
}

void SegmentedPicker::addOption(const QString& label, int value) {
  auto* b = new QPushButton(label, this);
  b->setCheckable(true);
  b->setFocusPolicy(Qt::TabFocus);
  group_->addButton(b, value);
  layout()->addWidget(b);
}

void SegmentedPicker::load(int value) {
  const QSignalBlocker quiet(group_);
  if (QAbstractButton* b = group_->button(value)) {
    b->setChecked(true);
    return;
  }
  group_->setExclusive(false);
  for (QAbstractButton* b : group_->buttons()) b->setChecked(false);
  group_->setExclusive(true);
}

std::optional<int> SegmentedPicker::value() const {
  const int id = group_->checkedId();
  if (id == -1) return std::nullopt;
  return id;
}

Toggle::Toggle(QWidget* parent) : QCheckBox(parent) {
  setCursor(Qt::PointingHandCursor);
  connect(this, &QCheckBox::clicked, this, &Toggle::switched);
}

void Toggle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
  QColor fill = isChecked() ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText);
  if (!isChecked()) fill.setAlphaF(0.18f);
  if (!isEnabled()) fill.setAlphaF(fill.alphaF() * 0.5f);
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
  const double d = track.height() - 4;
  const double x = isChecked() ? track.right() - 2 - d : track.left() + 2;
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
  p.drawEllipse(QRectF(x, track.top() + 2, d, d));
  if (hasFocus()) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(palette().color(QPalette::Highlight), 1));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), height() / 2.0, height() / 2.0);
  }
}

void Toggle::load(bool on) {
  const QSignalBlocker quiet(this);
  setChecked(on);
}

}  // namespace tavolune
