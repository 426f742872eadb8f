#include "core/model/ScreenConfig.hpp"

namespace tavolune {

using json::Json;

ScreenConfig ScreenConfig::fromJson(const Json& j) {
  json::expectObject(j);
  ScreenConfig c;
  c.framing = json::required<Framing>(j, "framing");
  c.currentArtworkID = json::optional<std::string>(j, "currentArtworkID");
  c.lastChange = json::optional<Date>(j, "lastChange");
  return c;
}

Json ScreenConfig::toJson() const {
  Json j = Json::object();
  json::put(j, "framing", framing);
  json::put(j, "currentArtworkID", currentArtworkID);
  json::put(j, "lastChange", lastChange);
  return j;
}

}  // namespace tavolune
