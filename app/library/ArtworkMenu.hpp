#pragma once
// The context menu of a grid tile: the primary action, "Animate on
// Desktop" for a live work, My Selection and the exhibition items for the
// targets (the whole selection when the work belongs to it, else the work
// alone), the work's page, and hiding the work or its collection. Built
// each time it opens, so its titles reflect the library at that moment.
// GUI thread only.

#include "app/components/ArtworkActions.hpp"
#include "app/library/ExhibitionHooks.hpp"
#include "core/model/Artwork.hpp"

#include <QMenu>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavolune {

class AppModel;
class LibraryWindowState;

class ArtworkMenu final : public QMenu {
  Q_OBJECT
 public:
  struct Context {
    AppModel& model;
    const LibraryWindowState& windowState;
    ArtworkActions actions{};
    std::function<void(const QUrl&)> openURL{};
    ExhibitionHooks exhibitions{};
  };

  ArtworkMenu(const Context& context, const Artwork& artwork, std::optional<Uuid> exhibition,
              QWidget* parent = nullptr);

  // The works the My Selection and exhibition items act on.
  const std::vector<std::string>& targets() const { return targets_; }
  // The action titled `text`, or null.
  QAction* item(const QString& text) const;

  static QString mySelectionTitle(bool allIncluded, std::size_t targets);
  static QString hideCollectionTitle(const Artwork& artwork);

 private:
  std::vector<std::string> targets_;
};

}  // namespace tavolune
