#pragma once
// The settings window's content ("settings", 580 by 640): the General,
// Display and Screen Saver tabs, kept in step with the shared open tab both
// ways, over the about footer. GUI thread only.

#include "app/model/SettingsTab.hpp"
#include "app/settings/SettingsServices.hpp"

#include <QWidget>

class QTabWidget;

namespace tavolune {

class AboutFooter;
class DisplaySettings;
class GeneralSettings;
class ScreenSaverSettings;
class SettingsState;
class WindowManager;

class SettingsView final : public QWidget {
  Q_OBJECT
 public:
  static const QString windowID;

  // The state and everything the services name outlive the view.
  explicit SettingsView(const SettingsServices& services, SettingsState& state, QWidget* parent = nullptr);

  // Builds the view for the "settings" window each time it opens, and
  // points the shared tab at the tab each opener names (General for an
  // unknown name).
  static void registerWindow(WindowManager& windows, const SettingsServices& services);

  QTabWidget* tabs() const { return tabs_; }
  SettingsTab tab() const;
  GeneralSettings* general() const { return general_; }
  DisplaySettings* display() const { return display_; }
  ScreenSaverSettings* screenSaver() const { return screenSaver_; }
  AboutFooter* footer() const { return footer_; }

 private:
  void showTab(SettingsTab tab);

  SettingsState& state_;
  QTabWidget* tabs_;
  GeneralSettings* general_;
  DisplaySettings* display_;
  ScreenSaverSettings* screenSaver_;
  AboutFooter* footer_;
};

}  // namespace tavolune
