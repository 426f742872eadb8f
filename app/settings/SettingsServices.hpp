#pragma once
// What the settings window reaches: the model, the desktop controller and
// the login item, the build's constants, and a few hooks the shell fills
// (the update check, the support report, the screen saver). Everything
// referenced outlives the window. GUI thread only.

#include "app/model/BuildInfo.hpp"
#include "app/model/Diagnostics.hpp"
#include "core/model/Artwork.hpp"

#include <QString>

#include <functional>
#include <vector>

class QThreadPool;

namespace tavolune {

class AppModel;
class DesktopController;
class LoginItem;
class Updater;

struct SettingsServices {
  AppModel& model;
  DesktopController& desktop;
  LoginItem& login;
  BuildInfo build{};
  // The updater once it exists; null (or no hook): no update check offered.
  std::function<Updater*()> updater{};
  // The support report, gathered when the user copies it.
  std::function<QString()> report{};
  // Starts the screen saver at once; "Preview" does nothing without it.
  std::function<void()> showScreenSaver{};
  // The works the screen saver shows; the desktop pool when not set.
  std::function<std::vector<Artwork>()> saverPool{};
  // Opens the feedback link; the desktop's browser when not set.
  Diagnostics::UrlOpener openURL{};
  // Where the cache is measured and cleared; the application's pool when null.
  QThreadPool* pool = nullptr;
};

}  // namespace tavolune
