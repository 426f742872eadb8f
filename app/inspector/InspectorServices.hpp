#pragma once
// What the inspector and the previews need of the application: the app
// model, the desktop controller, the image services for stills and the way
// a link is opened. Handed in by the library window's host; everything
// outlives the views. GUI thread only.

#include "app/components/ImageServices.hpp"

#include <QUrl>

#include <functional>

namespace tavolune {

class AppModel;
class DesktopController;

struct InspectorServices {
  AppModel& model;
  DesktopController& desktop;
  ImageServices images;
  // Opens a checked http(s) URL; the system's browser when empty.
  std::function<void(const QUrl&)> openURL{};
};

}  // namespace tavolune
