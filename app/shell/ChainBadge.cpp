#include "app/shell/ChainBadge.hpp"

#include "app/qt/Convert.hpp"
#include "app/shell/Theme.hpp"

namespace tavolune {

QString ChainBadge::label(Chain chain) { return qt::str(shortName(chain)); }

ChainBadge::ChainBadge(Chain chain, QWidget* parent) : CapsuleBadge(parent), chain_(chain) {
  QColor fill = Theme::chainColor(chain);
  fill.setAlphaF(0.9f);
  setLook({label(chain), badgeFont(9), Qt::white, fill});
}

}  // namespace tavolune
