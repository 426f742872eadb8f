#pragma once

#include "core/base/Json.hpp"

#include <optional>
#include <string>

namespace tavolune {

// One measurement of a page: the window and the largest drawing in it, as
// the measuring script reports them.
struct LayoutSample {
  double vw = 0;
  double vh = 0;
  double w = 0;
  double h = 0;
  std::optional<std::string> bg{};

  static LayoutSample fromJson(const json::Json& j);
  // Read-only in practice; written for tests and tools.
  json::Json toJson() const;

  friend bool operator==(const LayoutSample&, const LayoutSample&) = default;
};

}  // namespace tavolune
