#include "app/library/ExhibitionActions.hpp"

#include "app/model/AppModel.hpp"

namespace tavolune {

ExhibitionActions ExhibitionActions::make(AppModel& model, std::function<void(const Uuid&)> play,
                                          std::function<void()> desktopChanged, std::function<void(const Uuid&)> visit) {
  ExhibitionActions a;
  a.show = [play = std::move(play)](const Uuid& id) {
    if (play) play(id);
  };
  a.stop = [&model, desktopChanged = std::move(desktopChanged)] {
    model.edit([](LibraryState& s) { s.activeExhibition.reset(); });
    model.scheduleSave();
    model.schedulePendingSeriesCount();
    if (desktopChanged) desktopChanged();
  };
  a.visit = std::move(visit);
  return a;
}

}  // namespace tavolune
