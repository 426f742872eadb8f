#pragma once
// The label-style picker of the Display tab. Choosing a style writes it and
// shows the current work's wall label on every display in that style at
// once, whatever the label mode. GUI thread only.

#include <QWidget>

namespace tavolune {

class AppModel;
class DesktopController;
class ValuePicker;

class LabelStyleRow final : public QWidget {
  Q_OBJECT
 public:
  // Both outlive the row.
  LabelStyleRow(AppModel& model, DesktopController& desktop, QWidget* parent = nullptr);

  ValuePicker* picker() const { return picker_; }
  // Shows the stored style without writing it.
  void load();

 private:
  AppModel& model_;
  DesktopController& desktop_;
  ValuePicker* picker_;
};

}  // namespace tavolune
