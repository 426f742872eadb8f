#pragma once
// A placement as text with every value in it, the ratio included, for the
// render signature and the wallpaper file names. Thread-safe (pure).

#include "core/base/Enum.hpp"
#include "core/model/Placement.hpp"

#include <QString>

namespace tavolune {

inline QString placementText(const Placement& placement) {
  const auto number = [](double v) { return QString::number(v, 'g', 12); };
  const auto name = [](auto value) {
    const auto raw = rawValue(value);
    return QString::fromUtf8(raw.data(), qsizetype(raw.size()));
  };
  if (auto* f = placement.as<Placement::Framed>()) {
    return QStringLiteral("framed:%1:%2").arg(name(f->framing), number(f->ratio));
  }
  if (auto* f = placement.as<Placement::InFrame>()) {
    return QStringLiteral("inFrame:%1:%2").arg(name(f->style), f->ratio ? number(*f->ratio) : QStringLiteral("-"));
  }
  return QStringLiteral("fullBleed");
}

}  // namespace tavolune
