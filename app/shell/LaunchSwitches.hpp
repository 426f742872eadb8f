#pragma once
// The launch switches, compared exactly as whole strings (this is not a
// command-line parser: "--ui-preview=1" or "--UI-PREVIEW" are not the
// switch). Pure; thread-safe.

#include <QStringList>

#include "app/model/SettingsTab.hpp"

namespace tavolune {

struct LaunchSwitches {
  static constexpr const char* uiPreviewSwitch = "--ui-preview";
  static constexpr const char* screenSaverSwitch = "--screen-saver";
  static constexpr const char* settingsTabPrefix = "--settings-tab=";

  // Open the preview windows instead of starting the desktop.
  bool uiPreview = false;
  // Show the screen saver after the preview windows; only with uiPreview.
  bool screenSaver = false;
  // The tab the preview's settings window opens on: the first argument that
  // begins with the prefix decides; an unknown or empty value is General.
  SettingsTab settingsTab = SettingsTab::general;

  // The process arguments as QCoreApplication::arguments() gives them; the
  // first (the program) is not a switch.
  static LaunchSwitches from(const QStringList& arguments);

  friend bool operator==(const LaunchSwitches&, const LaunchSwitches&) = default;
};

}  // namespace tavolune
