#include "core/model/Exhibition.hpp"

#include "core/base/Hash.hpp"

namespace tavolune {

using json::Json;

Exhibition Exhibition::fromJson(const Json& j) {
  json::expectObject(j);
  Exhibition e;
  e.id = json::required<Uuid>(j, "id");
  e.title = json::required<std::string>(j, "title");
  e.artworkIDs = json::required<std::vector<std::string>>(j, "artworkIDs");
  return e;
}

Json Exhibition::toJson() const {
  Json j = Json::object();
  json::put(j, "id", id);
  json::put(j, "title", title);
  json::put(j, "artworkIDs", artworkIDs);
  return j;
}

}  // namespace tavolune

std::size_t std::hash<tavolune::Exhibition>::operator()(const tavolune::Exhibition& e) const noexcept {
  return tavolune::hashFields(e.id, e.title, e.artworkIDs);
}
