#pragma once

#include "core/model/DisplayChoices.hpp"
#include "core/base/Json.hpp"

namespace tavolune {

// The user's settings, stored inside the library file. Reading is lenient:
// any missing or unreadable key takes its default.
struct AppSettings {
  PlaybackOrder rotationOrder = PlaybackOrder::shuffle;
  double rotationInterval = 3600;  // seconds
  bool onlyFitsScreen = false;
  CartelMode cartelMode = CartelMode::onChange;
  bool sameArtworkOnAllScreens = false;
  bool launchAtLogin = true;
  bool hasCompletedOnboarding = false;
  AnimationPolicy animation = AnimationPolicy::selected;
  double screenSaverDelay = 0;  // seconds; 0 means never
  FrameStyle frame = FrameStyle::none;
  CartelStyle cartelStyle = CartelStyle::classic;

  static AppSettings fromJson(const json::Json& j);
  json::Json toJson() const;

  friend bool operator==(const AppSettings&, const AppSettings&) = default;
};

}  // namespace tavolune
