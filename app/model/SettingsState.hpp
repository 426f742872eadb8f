#pragma once
// The settings window's open tab, shared by whoever opens the window and the
// window itself. Never persisted. GUI thread only.

#include <QObject>

#include "app/model/SettingsTab.hpp"

namespace tavolune {

class SettingsState final : public QObject {
  Q_OBJECT
 public:
  // Created on first use with the General tab; lives as long as the process.
  static SettingsState& shared();

  explicit SettingsState(QObject* parent = nullptr) : QObject(parent) {}

  SettingsTab tab() const { return tab_; }
  void setTab(SettingsTab tab);

 signals:
  void tabChanged(tavolune::SettingsTab tab);

 private:
  SettingsTab tab_ = SettingsTab::general;
};

}  // namespace tavolune
