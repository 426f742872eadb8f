#pragma once

#include "core/network/JSONValue.hpp"

#include <optional>
#include <string>

namespace tavolune {

// The body of a GraphQL POST: {"query": ..., "variables": {...}}; the
// variables member is left out when absent.
struct GraphQLRequest {
  std::string query;
  std::optional<JSONValue::Object> variables{};

  JSONValue toJSONValue() const;

  friend bool operator==(const GraphQLRequest&, const GraphQLRequest&) = default;
};

}  // namespace tavolune
