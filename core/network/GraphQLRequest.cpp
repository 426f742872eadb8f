#include "core/network/GraphQLRequest.hpp"

namespace tavolune {

JSONValue GraphQLRequest::toJSONValue() const {
  JSONValue::Object body;
  body.emplace("query", JSONValue(query));
  if (variables) body.emplace("variables", JSONValue(*variables));
  return JSONValue(std::move(body));
}

}  // namespace tavolune
