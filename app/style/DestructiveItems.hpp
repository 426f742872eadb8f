#pragma once
// Menu items with the destructive role: the title in red, white on the
// highlight as every item. Qt 6.4 menus colour all their items alike, so a
// menu holding such an item gets a style of its own that knows its titles.
// GUI thread only.

class QAction;
class QColor;
class QMenu;
class QPalette;

namespace tavolune::DestructiveItems {

void mark(QMenu& menu, const QAction& action);
// The system red, lighter on a dark palette.
QColor red(const QPalette& palette);

}  // namespace tavolune::DestructiveItems
