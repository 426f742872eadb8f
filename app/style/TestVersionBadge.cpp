#include "app/style/TestVersionBadge.hpp"

namespace tavolune {

TestVersionBadge::TestVersionBadge(QWidget* parent) : CapsuleBadge(parent) {
  QFont f = badgeFont(9);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
  const QColor orange(255, 149, 0);
  QColor tint = orange;
  tint.setAlphaF(0.15f);
  setLook({tr("TEST"), f, orange, tint, 1.5});
  setToolTip(tr("This is a test version: things may change or break. Send Feedback tells the developer what you "
                "find."));
}

}  // namespace tavolune
