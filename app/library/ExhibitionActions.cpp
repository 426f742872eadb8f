#include "app/library/ExhibitionActions.hpp"

#include "app/model/AppModel.hpp"

namespace tavolune {

ExhibitionActions ExhibitionActions::make(AppModel& model, std::function<void(const Uuid&)> play,
                                          std::function<void(const Uuid&)> visit) {
  ExhibitionActions a;
  a.show = [play = std::move(play)](const Uuid& id) {
    if (play) play(id);
  };
  a.stop = [&model] { model.setActiveExhibition(std::nullopt); };
  a.visit = std::move(visit);
  return a;
}

}  // namespace tavolune
