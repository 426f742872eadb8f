#include "app/style/KindBadge.hpp"

#include "app/style/Theme.hpp"

#include <QEvent>

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

KindBadge::KindBadge(MediaKind kind, bool animated, bool gif, QWidget* parent)
    : CapsuleBadge(parent), kind_(kind), animated_(animated), gif_(gif) {
  applyLook();
  setToolTip(helpText(kind, animated, gif));
}

CapsuleBadge::Look KindBadge::look(MediaKind kind, bool animated, bool gif, const QPalette& palette) {
  return {label(kind, gif), badgeFont(9), Qt::white, animated ? Theme::accent(palette) : QColor(0, 0, 0, 140), 2,
          animated};
}

void KindBadge::applyLook() { setLook(look(kind_, animated_, gif_, palette())); }

void KindBadge::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) applyLook();
  CapsuleBadge::changeEvent(event);
}

}  // namespace tavolune
