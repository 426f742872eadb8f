#pragma once
// The settings window's pickers. Each shows the value it is loaded with and
// reports only the user's choice: load() never signals, so a refresh from
// the model is never written back. A value none of the options has shows
// blank, and stays unwritten until the user picks one. GUI thread only.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QWidget>

#include <optional>

namespace tavolune {

// A pop-up list of labelled values.
class ValuePicker final : public QComboBox {
  Q_OBJECT
 public:
  explicit ValuePicker(QWidget* parent = nullptr);

  void addOption(const QString& label, double value);
  void load(double value);
  // The shown option's value; nothing while blank.
  std::optional<double> value() const;

 signals:
  void picked(double value);
};

// A row of joined buttons, one per option, exactly one lit.
class SegmentedPicker final : public QWidget {
  Q_OBJECT
 public:
  explicit SegmentedPicker(QWidget* parent = nullptr);

  void addOption(const QString& label, int value);
  void load(int value);
  std::optional<int> value() const;
  QAbstractButton* button(int value) const { return group_->button(value); }

 signals:
  void picked(int value);

 private:
  QButtonGroup* group_;
};

// An on-off switch: a capsule, the accent colour when on, with its knob.
class Toggle final : public QCheckBox {
  Q_OBJECT
 public:
  explicit Toggle(QWidget* parent = nullptr);
  void load(bool on);
  QSize sizeHint() const override { return {36, 20}; }
  QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  void switched(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace tavolune
