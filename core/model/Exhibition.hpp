#pragma once

#include "core/base/Json.hpp"
#include "core/base/Uuid.hpp"

#include <string>
#include <vector>

namespace tavolune {

// A titled, ordered selection of works that can be put on show.
struct Exhibition {
  Uuid id{};
  std::string title{};                 // as typed: not trimmed, may be empty
  std::vector<std::string> artworkIDs{};  // order of showing

  static Exhibition fromJson(const json::Json& j);
  json::Json toJson() const;

  friend bool operator==(const Exhibition&, const Exhibition&) = default;
};

}  // namespace tavolune

template <>
struct std::hash<tavolune::Exhibition> {
  std::size_t operator()(const tavolune::Exhibition& e) const noexcept;
};
