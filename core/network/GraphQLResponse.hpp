#pragma once

#include "core/network/JSONCoding.hpp"
#include "core/network/JSONValue.hpp"

#include <optional>
#include <string>
#include <vector>

namespace tavolune {

// The envelope of a GraphQL answer. "data" absent or null gives no data;
// present, it must decode as T. "errors" absent or null gives no errors;
// present, it must be an array of objects that each carry a text
// "message". Anything else fails the whole answer. What errors or missing
// data mean is the caller's decision.
template <class T>
struct GraphQLResponse {
  struct GQLError {
    std::string message;
    friend bool operator==(const GQLError&, const GQLError&) = default;
  };

  std::optional<T> data{};
  std::optional<std::vector<GQLError>> errors{};

  static GraphQLResponse fromJSONValue(const JSONValue& v) {
    if (!v.isObject()) throw json::DecodeError("expected an object");
    GraphQLResponse out;
    if (const JSONValue* d = v.get("data"); d && !d->isNull()) {
      try {
        out.data = jsoncoding::fromJSONValue<T>(*d);
      } catch (const json::DecodeError& e) {
        throw json::DecodeError(std::string("\"data\": ") + e.what());
      }
    }
    if (const JSONValue* errs = v.get("errors"); errs && !errs->isNull()) {
      if (!errs->isArray()) throw json::DecodeError("\"errors\": expected an array");
      std::vector<GQLError> list;
      for (const auto& entry : errs->array()) {
        const JSONValue* message = entry.get("message");
        if (!message || !message->isString()) throw json::DecodeError("\"errors\": an entry without a text \"message\"");
        list.push_back({*message->stringValue()});
      }
      out.errors = std::move(list);
    }
    return out;
  }
};

}  // namespace tavolune
