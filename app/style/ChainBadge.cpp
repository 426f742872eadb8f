#include "app/style/ChainBadge.hpp"

#include "app/qt/Convert.hpp"
#include "app/style/Theme.hpp"

namespace tavolune {

QString ChainBadge::label(Chain chain) { return qt::str(shortName(chain)); }

CapsuleBadge::Look ChainBadge::look(Chain chain) {
  QColor fill = Theme::chainColor(chain);
  fill.setAlphaF(0.9f);
  return {label(chain), badgeFont(9), Qt::white, fill};
}

ChainBadge::ChainBadge(Chain chain, QWidget* parent) : CapsuleBadge(parent), chain_(chain) { setLook(look(chain)); }

}  // namespace tavolune
