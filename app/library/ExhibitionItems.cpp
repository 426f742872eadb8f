#include "app/library/ExhibitionItems.hpp"

#include "app/components/PlainText.hpp"
#include "app/library/ArtworkDrag.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/model/AppModel.hpp"
#include "app/style/Symbols.hpp"

#include <QMenu>

namespace tavolune {
namespace ExhibitionItems {

std::vector<std::string> ordered(const LibraryWindowState& state, const IdSet& ids) {
  std::vector<std::string> out;
  IdSet seen;
  for (const auto& id : state.listed()) {
    if (ids.contains(id) && seen.insert(id)) out.push_back(id);
  }
  return out;
}

void addTo(QMenu& menu, AppModel& model, const LibraryWindowState& state, const IdSet& targets,
           const std::optional<Uuid>& current) {
  const auto works = ordered(state, targets);
  QMenu* add = menu.addMenu(QStringLiteral("Add to Exhibition"));
  bool any = false;
  for (const auto& e : model.state().exhibitions) {
    if (current && e.id == *current) continue;
    any = true;
    add->addAction(plaintext::title(QString::fromStdString(e.title)), &menu, [&model, works, id = e.id] {
      model.editExhibitions(AppModel::ExhibitionEdit::add(works, id));
    });
  }
  if (any) add->addSeparator();
  add->addAction(QStringLiteral("New Exhibition"), &menu, [&model, works] { model.newExhibition(works); });
  if (current) {
    const QString title = targets.size() < 2 ? QStringLiteral("Remove from Exhibition")
                                             : QStringLiteral("Remove %1 from Exhibition").arg(targets.size());
    menu.addAction(title, &menu, [&model, targets, id = *current] {
      model.editExhibitions(AppModel::ExhibitionEdit::remove({targets.begin(), targets.end()}, id));
    });
  }
}

bool dropOnTile(AppModel& model, const QMimeData& data, const Uuid& exhibition, const std::string& before) {
  const auto ids = ArtworkDrag::decode(data, model.state());
  if (ids.empty()) return false;
  model.editExhibitions(AppModel::ExhibitionEdit::move(ids, exhibition, before));
  return true;
}

}  // namespace ExhibitionItems

ExhibitionSelectionButton::ExhibitionSelectionButton(AppModel& model, LibraryWindowState& state,
                                                     std::optional<Uuid> exhibition, QWidget* parent)
    : QToolButton(parent), model_(model), state_(state) {
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  setAutoRaise(true);
  setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
  addMenu_ = new QMenu(this);
  connect(addMenu_, &QMenu::aboutToShow, this, &ExhibitionSelectionButton::rebuildMenu);
  connect(this, &QToolButton::clicked, this, [this] {
    if (!exhibition_) return;
    const auto& ids = state_.selection();
    model_.editExhibitions(AppModel::ExhibitionEdit::remove({ids.begin(), ids.end()}, *exhibition_));
    state_.setSelection({});
    state_.setFocused({});
  });
  exhibition_ = exhibition;
  setExhibition(exhibition);
}

void ExhibitionSelectionButton::setExhibition(std::optional<Uuid> exhibition) {
  exhibition_ = exhibition;
  if (exhibition_) {
    setText(QStringLiteral("Remove from Exhibition"));
    setIcon(Symbols::icon("rectangle.stack.badge.minus"));
    setToolTip(QString());
    setMenu(nullptr);
  } else {
    setText(QStringLiteral("Add to Exhibition"));
    setIcon(Symbols::icon("rectangle.stack.badge.plus"));
    setToolTip(QStringLiteral("Add the selected artworks to an exhibition"));
    setMenu(addMenu_);
    setPopupMode(QToolButton::InstantPopup);
  }
}

void ExhibitionSelectionButton::rebuildMenu() {
  QMenu* m = addMenu_;
  m->clear();
  const auto works = ExhibitionItems::ordered(state_, state_.selection());
  for (const auto& e : model_.state().exhibitions) {
    m->addAction(plaintext::title(QString::fromStdString(e.title)), this, [this, works, id = e.id] {
      model_.editExhibitions(AppModel::ExhibitionEdit::add(works, id));
    });
  }
  if (!model_.state().exhibitions.empty()) m->addSeparator();
  m->addAction(QStringLiteral("New Exhibition"), this, [this, works] { model_.newExhibition(works); });
}

}  // namespace tavolune
