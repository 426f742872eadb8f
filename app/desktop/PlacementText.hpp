#pragma once
// A placement as text: its label ("Mat", "Fit", the frame's name…) and the
// ratio it lays the work out at, for the render signature and the wallpaper
// file names. The ratio is there because a ratio learnt later changes the
// picture under the same label. Thread-safe (pure).

#include "core/model/Placement.hpp"

#include <QString>

namespace tavolune {

inline QString placementText(const Placement& placement) {
  const auto number = [](double v) { return QString::number(v, 'g', 12); };
  QString ratio = QStringLiteral("-");
  if (auto* f = placement.as<Placement::Framed>()) ratio = number(f->ratio);
  if (auto* f = placement.as<Placement::InFrame>(); f && f->ratio) ratio = number(*f->ratio);
  return QString::fromStdString(placement.label()) + QLatin1Char('@') + ratio;
}

}  // namespace tavolune
