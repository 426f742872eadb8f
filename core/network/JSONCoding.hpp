#pragma once

#include "core/base/Json.hpp"
#include "core/network/JSONValue.hpp"

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// Decoding answers and encoding bodies for HTTPClient. Types that must see
// exact big integers read from a JSONValue (`static T fromJSONValue(const
// JSONValue&)`); every other model type goes through its json::Coding.
namespace tavolune::jsoncoding {

template <class T>
concept ReadsJSONValue = requires(const JSONValue& v) {
  { T::fromJSONValue(v) } -> std::same_as<T>;
};
template <class T>
concept WritesJSONValue = requires(const T& t) {
  { t.toJSONValue() } -> std::same_as<JSONValue>;
};

template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};

template <class T>
constexpr bool nativeJSONValue() {
  if constexpr (std::is_same_v<T, JSONValue> || ReadsJSONValue<T>) {
    return true;
  } else if constexpr (IsVector<T>::value) {
    return nativeJSONValue<typename T::value_type>();
  } else {
    return false;
  }
}

// Throws json::DecodeError when v does not have T's shape.
template <class T>
T fromJSONValue(const JSONValue& v) {
  if constexpr (std::is_same_v<T, JSONValue>) {
    return v;
  } else if constexpr (ReadsJSONValue<T>) {
    return T::fromJSONValue(v);
  } else if constexpr (IsVector<T>::value && nativeJSONValue<T>()) {
    if (!v.isArray()) throw json::DecodeError("expected an array");
    T out;
    out.reserve(v.array().size());
    for (const auto& e : v.array()) out.push_back(fromJSONValue<typename T::value_type>(e));
    return out;
  } else {
    try {
      return json::decode<T>(v.toJson());
    } catch (const nlohmann::json::exception& e) {
      throw json::DecodeError(e.what());
    }
  }
}

// Throws json::DecodeError for malformed JSON or the wrong shape.
template <class T>
T decode(std::string_view body) {
  if constexpr (nativeJSONValue<T>()) {
    return fromJSONValue<T>(JSONValue::parse(body));
  } else {
    json::Json tree = json::parseWhole(body);
    try {
      return json::decode<T>(tree);
    } catch (const nlohmann::json::exception& e) {
      throw json::DecodeError(e.what());
    }
  }
}

// Throws what the encoder throws (JSONValue::EncodeError, nlohmann's
// type_error for text that is not UTF-8).
template <class T>
std::string encode(const T& value) {
  if constexpr (std::is_same_v<T, JSONValue>) {
    return value.serialized();
  } else if constexpr (WritesJSONValue<T>) {
    return value.toJSONValue().serialized();
  } else {
    return json::encode(value).dump();
  }
}

}  // namespace tavolune::jsoncoding
