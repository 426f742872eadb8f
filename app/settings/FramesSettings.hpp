#pragma once
// The Display tab's last section: one card per frame style, the stored one
// ringed, and under the strip the stored style's explanation. Choosing a
// card writes the style. GUI thread only.

#include "core/model/DisplayChoices.hpp"

#include <QWidget>

#include <vector>

namespace tavolune {

class AppModel;
class FormSection;
class FrameCard;

class FramesSettings final : public QWidget {
  Q_OBJECT
 public:
  // The model outlives the section.
  explicit FramesSettings(AppModel& model, QWidget* parent = nullptr);

  const std::vector<FrameCard*>& cards() const { return cards_; }
  QString footerText() const { return footer_; }
  // Shows the stored style without writing it.
  void load();

  static QString footer(FrameStyle stored);

 private:
  AppModel& model_;
  FormSection* section_;
  std::vector<FrameCard*> cards_;
  QString footer_;
};

}  // namespace tavolune
