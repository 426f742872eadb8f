#pragma once
// A clickable card of the Display tab: a 128 by 80 picture over its
// caption, with a ring that marks the chosen card and brightens under the
// pointer; a change of the chosen card plays ring and caption with a
// spring (response 0.2, damping 0.85), hover changes show at once. FrameCard shows one frame style around a placeholder work,
// drawn once per style by the frame renderer and kept for the process;
// FramingCard (FramingCard.hpp) shares the look. GUI thread only.

#include "app/style/Motion.hpp"
#include "core/model/DisplayChoices.hpp"

#include <QAbstractButton>
#include <QImage>

namespace tavolune {

class SettingsCard : public QAbstractButton {
  Q_OBJECT
 public:
  static constexpr QSize pictureSize{128, 80};

  SettingsCard(const QString& caption, QWidget* parent = nullptr);

  bool isSelected() const { return selected_; }
  // 0 not chosen, 1 chosen; between while the spring plays.
  double selection() const { return chosen_.value(); }
  void setSelected(bool selected);
  QSize sizeHint() const override;

 protected:
  // The picture inside the card's rounded rectangle.
  virtual void paintPicture(QPainter& painter, const QRectF& area) = 0;
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool selected_ = false;
  bool hover_ = false;
  MotionValue chosen_{0};
};

class FrameCard final : public SettingsCard {
  Q_OBJECT
 public:
  static constexpr QSize previewPixels{256, 160};  // shown at scale 2

  explicit FrameCard(FrameStyle style, QWidget* parent = nullptr);
  FrameStyle style() const { return style_; }

  // The style's picture: a portrait placeholder, violet at its top left and
  // coral at its bottom right, in the style's frame; drawn on first use.
  static QImage preview(FrameStyle style);
  // Pictures drawn so far (at most one per style).
  static std::size_t previewsDrawn();

 protected:
  void paintPicture(QPainter& painter, const QRectF& area) override;

 private:
  FrameStyle style_;
};

}  // namespace tavolune
