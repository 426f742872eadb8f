#include "app/library/LibraryGridAccessible.hpp"

#include "app/library/LibraryGridView.hpp"

#include <QAccessibleWidget>
#include <QPointer>

#include <map>

namespace tavolune {
namespace {

// One tile, by its row: it reads the row's data whenever asked.
class TileAccessible final : public QAccessibleInterface {
 public:
  TileAccessible(LibraryGridView* view, int row) : view_(view), row_(row) {}

  bool isValid() const override { return view_ && row_ < view_->model()->rowCount(); }
  QObject* object() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    return view_->model()->index(row_, 0).data(Qt::AccessibleTextRole).toString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect cell = view_->cellRect(row_);
    return QRect(view_->viewport()->mapToGlobal(cell.topLeft()), cell.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.selectable = true;
    s.invisible = !isValid() || !view_->viewport()->rect().intersects(view_->cellRect(row_));
    return s;
  }
  int row() const { return row_; }

 private:
  QPointer<LibraryGridView> view_;
  int row_;
};

class GridAccessible final : public QAccessibleWidget {
 public:
  explicit GridAccessible(LibraryGridView* view) : QAccessibleWidget(view, QAccessible::List) {}
  ~GridAccessible() override {
    for (const auto& [row, id] : tiles_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return view()->model()->rowCount(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    // Registered once per row, so each tile keeps one identity.
    if (auto it = tiles_.find(index); it != tiles_.end()) return QAccessible::accessibleInterface(it->second);
    auto* tile = new TileAccessible(view(), index);
    tiles_.emplace(index, QAccessible::registerAccessibleInterface(tile));
    return tile;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* tile = dynamic_cast<const TileAccessible*>(child);
    return tile && tile->isValid() ? tile->row() : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const int row = view()->rowAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
    return row >= 0 ? child(row) : nullptr;
  }

 private:
  LibraryGridView* view() const { return static_cast<LibraryGridView*>(widget()); }

  mutable std::map<int, QAccessible::Id> tiles_;
};

QAccessibleInterface* describe(const QString& className, QObject* object) {
  if (className != QLatin1String(LibraryGridView::staticMetaObject.className())) return nullptr;
  auto* view = qobject_cast<LibraryGridView*>(object);
  return view ? new GridAccessible(view) : nullptr;
}

}  // namespace

void installLibraryGridAccessible() {
  static const bool installed = [] {
    QAccessible::installFactory(&describe);
    return true;
  }();
  (void)installed;
}

}  // namespace tavolune
