#pragma once
// A framing card of the Display tab: a miniature 2:3 portrait placed on a
// dark card as the framing places a work on a display (fit as tall as the
// card, fill covering it, a mat leaving a margin). GUI thread only.

#include "app/settings/FrameCard.hpp"

#include <array>

namespace tavolune {

class FramingCard final : public SettingsCard {
  Q_OBJECT
 public:
  // The cards' order, which is not the declaration order of Framing.
  static constexpr std::array<Framing, 3> order{Framing::fit, Framing::fill, Framing::passePartout};

  explicit FramingCard(Framing framing, QWidget* parent = nullptr);
  Framing framing() const { return framing_; }

  // The miniature inside area (in the card's own pixels).
  static void paintArt(QPainter& painter, const QRectF& area, Framing framing);

 protected:
  void paintPicture(QPainter& painter, const QRectF& area) override;

 private:
  Framing framing_;
};

}  // namespace tavolune
