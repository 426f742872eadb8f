#include "app/library/ExhibitionRow.hpp"

#include "app/library/ArtworkDrag.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/library/SidebarRow.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/DestructiveItems.hpp"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QVBoxLayout>

namespace tavolune {

ExhibitionRow::ExhibitionRow(AppModel& model, LibraryWindowState& state, const ExhibitionActions& actions,
                             Uuid exhibition, QWidget* parent)
    : QWidget(parent), model_(model), state_(state), actions_(actions), id_(exhibition),
      row_(new SidebarRow(QStringLiteral("rectangle.on.rectangle.angled"), QString(), this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(row_);
  setAcceptDrops(true);
  connect(row_, &SidebarRow::clicked, this, [this] { state_.setSidebar(SidebarItem::exhibition(id_)); });
}

bool ExhibitionRow::isShown() const {
  const Exhibition* shown = model_.state().shownExhibition();
  return shown && shown->id == id_;
}

QMenu* ExhibitionRow::buildMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  if (isShown()) {
    menu->addAction(QStringLiteral("Stop Showing on Desktop"), this, [this] {
      if (actions_.stop) actions_.stop();
    });
  } else {
    menu->addAction(QStringLiteral("Show on Desktop"), this, [this] {
      if (actions_.show) actions_.show(id_);
    });
  }
  menu->addAction(QStringLiteral("Visit Exhibition"), this, [this] {
    if (actions_.visit) actions_.visit(id_);
  });
  menu->addSeparator();
  QAction* erase = menu->addAction(QStringLiteral("Delete Exhibition"), this, [this] {
    // Leave the page first, so nothing shows an exhibition that is gone.
    const auto& item = state_.sidebar();
    if (item && item->kind == SidebarItem::Kind::exhibition && item->id == id_) state_.setSidebar(SidebarItem::all());
    model_.editExhibitions(AppModel::ExhibitionEdit::erase(id_));
  });
  DestructiveItems::mark(*menu, *erase);
  return menu;
}

void ExhibitionRow::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = buildMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void ExhibitionRow::dragEnterEvent(QDragEnterEvent* event) {
  if (!ArtworkDrag::isOurs(*event->mimeData())) return;
  row_->setTargeted(true);
  event->acceptProposedAction();
}

void ExhibitionRow::dragLeaveEvent(QDragLeaveEvent*) { row_->setTargeted(false); }

void ExhibitionRow::dropEvent(QDropEvent* event) {
  row_->setTargeted(false);
  const auto ids = ArtworkDrag::decode(*event->mimeData(), model_.state());
  if (ids.empty()) return;
  model_.editExhibitions(AppModel::ExhibitionEdit::add(ids, id_));
  event->acceptProposedAction();
}

}  // namespace tavolune
