#include "app/shell/KindBadge.hpp"

#include "app/shell/Theme.hpp"

namespace tavolune {

QString KindBadge::label(MediaKind kind, bool gif) {
  if (gif) return tr("GIF");
  if (kind == MediaKind::video) return tr("Video");
  return tr("Live");
}

QString KindBadge::helpText(MediaKind kind, bool animated, bool gif) {
  if (animated) return tr("Runs live on the desktop");
  if (gif) return tr("An animated GIF: it can play on the desktop");
  if (kind == MediaKind::video) return tr("A video artwork");
  return tr("A generative artwork: its code can run live on the desktop");
}

KindBadge::KindBadge(MediaKind kind, bool animated, bool gif, QWidget* parent) : CapsuleBadge(parent) {
  setLook({label(kind, gif), badgeFont(9), Qt::white, animated ? Theme::accent(palette()) : QColor(0, 0, 0, 140),
           2, animated});
  setToolTip(helpText(kind, animated, gif));
}

}  // namespace tavolune
