#include "app/style/DestructiveItems.hpp"

#include "app/style/Theme.hpp"

#include <QAction>
#include <QMenu>
#include <QProxyStyle>
#include <QSet>
#include <QStyleOptionMenuItem>

namespace tavolune::DestructiveItems {
namespace {

class MenuStyle final : public QProxyStyle {
 public:
  explicit MenuStyle(QObject* parent) : QProxyStyle() { setParent(parent); }

  QSet<QString> titles;

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item || (item->state & State_Selected) || !titles.contains(item->text)) {
      return QProxyStyle::drawControl(element, option, painter, widget);
    }
    QStyleOptionMenuItem marked(*item);
    const QColor colour = red(marked.palette);
    for (auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) {
      marked.palette.setColor(role, colour);
    }
    QProxyStyle::drawControl(element, &marked, painter, widget);
  }
};

}  // namespace

void mark(QMenu& menu, const QAction& action) {
  auto* style = menu.findChild<MenuStyle*>(QString(), Qt::FindDirectChildrenOnly);
  if (!style) {
    style = new MenuStyle(&menu);
    menu.setStyle(style);
  }
  style->titles.insert(action.text());
}

QColor red(const QPalette& palette) { return Theme::isDark(palette) ? QColor(255, 69, 58) : QColor(255, 59, 48); }

}  // namespace tavolune::DestructiveItems
