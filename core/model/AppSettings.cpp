#include "core/model/AppSettings.hpp"

namespace tavolune {

using json::Json;

AppSettings AppSettings::fromJson(const Json& j) {
  json::expectObject(j);
  AppSettings s;
  auto take = [&j](auto& field, std::string_view key) {
    using T = std::remove_reference_t<decltype(field)>;
    if (auto v = json::lenient<T>(j, key)) field = *v;
  };
  take(s.rotationOrder, "rotationOrder");
  take(s.rotationInterval, "rotationInterval");
  take(s.onlyFitsScreen, "onlyFitsScreen");
  take(s.cartelMode, "cartelMode");
  take(s.sameArtworkOnAllScreens, "sameArtworkOnAllScreens");
  take(s.launchAtLogin, "launchAtLogin");
  take(s.hasCompletedOnboarding, "hasCompletedOnboarding");
  take(s.animation, "animation");
  take(s.screenSaverDelay, "screenSaverDelay");
  take(s.frame, "frame");
  take(s.cartelStyle, "cartelStyle");
  return s;
}

Json AppSettings::toJson() const {
  Json j = Json::object();
  json::put(j, "rotationOrder", rotationOrder);
  json::put(j, "rotationInterval", rotationInterval);
  json::put(j, "onlyFitsScreen", onlyFitsScreen);
  json::put(j, "cartelMode", cartelMode);
  json::put(j, "sameArtworkOnAllScreens", sameArtworkOnAllScreens);
  json::put(j, "launchAtLogin", launchAtLogin);
  json::put(j, "hasCompletedOnboarding", hasCompletedOnboarding);
  json::put(j, "animation", animation);
  json::put(j, "screenSaverDelay", screenSaverDelay);
  json::put(j, "frame", frame);
  json::put(j, "cartelStyle", cartelStyle);
  return j;
}

}  // namespace tavolune
