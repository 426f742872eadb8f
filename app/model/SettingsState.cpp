#include "app/model/SettingsState.hpp"

namespace tavolune {

SettingsState& SettingsState::shared() {
  static SettingsState* state = new SettingsState();  // outlives every window
  return *state;
}

void SettingsState::setTab(SettingsTab tab) {
  if (tab == tab_) return;
  tab_ = tab;
  emit tabChanged(tab);
}

}  // namespace tavolune
