#pragma once
// The Display tab: the framing of every display (shown as the main
// display's), which works run live, when the wall label shows and in which
// style, and the frames. Every control writes at once; values are read
// back from the model and the desktop controller whenever they change.
// GUI thread only.

#include "core/model/DisplayChoices.hpp"

#include <QWidget>

#include <vector>

namespace tavolune {

class AppModel;
class DesktopController;
class FramesSettings;
class FramingCard;
class LabelStyleRow;
class RowLabel;
class ValuePicker;

class DisplaySettings final : public QWidget {
  Q_OBJECT
 public:
  // Both outlive the tab.
  DisplaySettings(AppModel& model, DesktopController& desktop, QWidget* parent = nullptr);

  // The main display's framing; fit with no display or no stored config.
  Framing framing() const;

  const std::vector<FramingCard*>& framingCards() const { return framingCards_; }
  ValuePicker* livePicker() const { return live_; }
  RowLabel* liveLabel() const { return liveLabel_; }
  ValuePicker* labelPicker() const { return cartelMode_; }
  LabelStyleRow* labelStyleRow() const { return labelStyle_; }
  FramesSettings* frames() const { return frames_; }

  void load();

 private:
  AppModel& model_;
  DesktopController& desktop_;
  std::vector<FramingCard*> framingCards_;
  ValuePicker* live_;
  RowLabel* liveLabel_;
  ValuePicker* cartelMode_;
  LabelStyleRow* labelStyle_;
  FramesSettings* frames_;
};

}  // namespace tavolune
