#pragma once
// The one write path of the settings window: a setting changed by the user
// is written into the library as one state change, then the save and the
// unmeasured-series count are scheduled and the desktop is told (when it
// has started). Controls call it only on a user's action, never while
// loading their values. GUI thread only.

#include "app/model/AppModel.hpp"
#include "core/model/AppSettings.hpp"

namespace tavolune {

template <class T>
void setting(AppModel& model, T AppSettings::*field, T value) {
  // The patch runs again on the writer's copy: it captures only values.
  model.edit([field, value](LibraryState& state) { state.settings.*field = value; });
  model.scheduleSave();
  model.schedulePendingSeriesCount();
  model.libraryChanged();
}

}  // namespace tavolune
