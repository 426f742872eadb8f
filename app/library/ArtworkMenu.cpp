#include "app/library/ArtworkMenu.hpp"

#include "app/components/ArtworkPage.hpp"
#include "app/library/LibraryEdits.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/style/Symbols.hpp"

#include <QDesktopServices>

#include <algorithm>

namespace tavolune {

ArtworkMenu::ArtworkMenu(const Context& context, const Artwork& artwork, std::optional<Uuid> exhibition,
                         QWidget* parent)
    : QMenu(parent) {
  AppModel& model = context.model;
  const auto& selection = context.windowState.selection();
  if (selection.contains(artwork.id)) {
    targets_.assign(selection.begin(), selection.end());
    std::sort(targets_.begin(), targets_.end());
  } else {
    targets_ = {artwork.id};
  }
  const LibraryState& state = model.state();

  if (context.actions.primary) {
    auto primary = context.actions.primary;
    addAction(Symbols::icon(qt::str(context.actions.primarySymbol)), context.actions.primaryTitle, this,
              [primary, artwork] { primary(artwork); });
    addSeparator();
  }

  if (artwork.isLive()) {
    QAction* animate = addAction(QStringLiteral("Animate on Desktop"));
    animate->setCheckable(true);
    animate->setChecked(state.animatedArtworks.contains(artwork.id));
    // setAnimated saves and tells the desktop itself: nothing more here.
    connect(animate, &QAction::toggled, this, [&model, artwork](bool on) { model.setAnimated(artwork, on); });
  }

  const IdSet targetSet(targets_.begin(), targets_.end());
  addAction(mySelectionTitle(LibraryEdits::allInMySelection(state, targetSet), targets_.size()), this,
            [&model, targetSet] { LibraryEdits::toggleMySelection(model, targetSet); });

  if (context.exhibitions.menuItems) context.exhibitions.menuItems(*this, targets_, exhibition);

  if (const auto page = artworkPage(artwork.externalURL)) {
    auto open = context.openURL ? context.openURL : [](const QUrl& url) { QDesktopServices::openUrl(url); };
    addAction(QStringLiteral("View Artwork Page"), this, [open, url = *page] { open(url); });
  }

  addSeparator();
  const bool visible = state.isVisible(artwork);
  addAction(visible ? QStringLiteral("Hide Artwork") : QStringLiteral("Unhide"), this,
            [&model, id = artwork.id, visible] { model.setHidden({id}, visible); });
  if (visible) {
    addAction(hideCollectionTitle(artwork), this, [&model, artwork] { LibraryEdits::hideCollection(model, artwork); });
  }
}

QAction* ArtworkMenu::item(const QString& text) const {
  for (QAction* a : actions()) {
    if (a->text() == text) return a;
  }
  return nullptr;
}

QString ArtworkMenu::mySelectionTitle(bool allIncluded, std::size_t targets) {
  if (allIncluded) return QStringLiteral("Remove from My Selection");
  if (targets >= 2) return QStringLiteral("Add %1 to My Selection").arg(targets);
  return QStringLiteral("Add to My Selection");
}

QString ArtworkMenu::hideCollectionTitle(const Artwork& artwork) {
  QString name = artwork.collection ? qt::str(*artwork.collection) : QStringLiteral("Untitled");
  name.replace(QLatin1Char('&'), QStringLiteral("&&"));  // not a mnemonic
  return QStringLiteral("Hide Collection \u201C%1\u201D").arg(name);
}

}  // namespace tavolune
