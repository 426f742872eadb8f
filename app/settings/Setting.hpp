#pragma once
// The one write path of the settings window: a setting changed by the user
// is one operation of the app model, which saves and tells the desktop.
// Controls call it only on a user's action, never while
// loading their values. GUI thread only.

#include "app/model/AppModel.hpp"
#include "core/model/AppSettings.hpp"

namespace tavolune {

template <class T>
void setting(AppModel& model, T AppSettings::*field, T value) {
  model.setSetting(field, value);
}

}  // namespace tavolune
