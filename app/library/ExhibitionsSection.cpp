#include "app/library/ExhibitionsSection.hpp"

#include "app/library/ExhibitionRow.hpp"
#include "app/library/LibrarySidebar.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/library/SidebarRow.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/Theme.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavolune {

ExhibitionsSection::ExhibitionsSection(LibraryWindow& window, ExhibitionActions actions, QWidget* parent)
    : QWidget(parent), window_(window), actions_(std::move(actions)) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(LibrarySidebar::sectionHeader(QStringLiteral("Exhibitions"), this));
  rowsLayout_ = new QVBoxLayout;
  rowsLayout_->setContentsMargins(0, 0, 0, 0);
  rowsLayout_->setSpacing(0);
  column->addLayout(rowsLayout_);

  auto* add = new QToolButton(this);
  add->setObjectName(QStringLiteral("newExhibition"));
  add->setText(QStringLiteral("New Exhibition"));
  add->setIcon(Symbols::icon("plus"));
  add->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  add->setAutoRaise(true);
  QPalette secondary = add->palette();
  secondary.setColor(QPalette::ButtonText, secondary.color(QPalette::PlaceholderText));
  add->setPalette(secondary);
  add->setToolTip(QStringLiteral("A titled set of artworks that plays in order on the desktop. Selected artworks go in it."));
  auto* addRow = new QHBoxLayout;
  addRow->setContentsMargins(6, 2, 6, 2);
  addRow->addWidget(add);
  addRow->addStretch(1);
  column->addLayout(addRow);
  connect(add, &QToolButton::clicked, this, &ExhibitionsSection::newExhibition);

  connect(&window_.model(), &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.exhibitions || change.anyArtwork(LibraryChange::hidden)) refresh();
  });
  connect(&window_.windowState(), &LibraryWindowState::sidebarChanged, this, &ExhibitionsSection::refresh);
  refresh();
}

void ExhibitionsSection::newExhibition() {
  const auto& selection = window_.windowState().selection();
  const std::vector<std::string> ids(selection.begin(), selection.end());
  const Uuid id = window_.model().newExhibition(ids);
  window_.windowState().setSidebar(SidebarItem::exhibition(id));
}

void ExhibitionsSection::refresh() {
  const LibraryState& state = window_.model().state();
  bool same = rows_.size() == state.exhibitions.size();
  for (std::size_t i = 0; same && i < rows_.size(); ++i) same = rows_[i]->exhibition() == state.exhibitions[i].id;
  if (!same) {
    // Later: a row's own menu may be running the edit that removed it.
    for (auto* row : rows_) {
      row->hide();
      rowsLayout_->removeWidget(row);
      row->deleteLater();
    }
    rows_.clear();
    for (const auto& e : state.exhibitions) {
      auto* row = new ExhibitionRow(window_.model(), window_.windowState(), actions_, e.id, this);
      rowsLayout_->addWidget(row);
      rows_.push_back(row);
    }
  }
  const Exhibition* shown = state.shownExhibition();
  const auto& item = window_.windowState().sidebar();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const Exhibition& e = state.exhibitions[i];
    SidebarRow& row = rows_[i]->row();
    row.setTitle(QString::fromStdString(e.title));
    LibraryFilter only;
    only.exhibitionID = e.id;
    row.setCount(window_.listing().count(only));
    const bool onDesktop = shown && shown->id == e.id;
    row.setBadge(onDesktop ? QStringLiteral("play.fill") : QString());
    row.setHelp(onDesktop ? QStringLiteral("On the desktop") : QString());
    row.setSelected(item && item->kind == SidebarItem::Kind::exhibition && item->id == e.id);
  }
}

}  // namespace tavolune
