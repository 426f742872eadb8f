#pragma once

#include "core/base/Json.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tavolune {

// Any JSON value, for answers whose shape varies from token to token
// (metadata documents, explorer items, paging tokens) and for GraphQL
// variables.
//
// Integral numbers keep the digits they were written with: token ids reach
// 256 bits and cursors exceed 2^53, so "123456789012345678901234567890"
// reads and writes back exactly. Equality is numeric: 3 and 3.0 are equal,
// 2^53 + 1 (exact digits) and the double 2^53 are not.
class JSONValue {
 public:
  enum class Kind { string, number, boolean, object, array, null };

  using Object = std::map<std::string, JSONValue, std::less<>>;
  using Array = std::vector<JSONValue>;

  struct Number {
    double value = 0;     // rounded to the nearest double
    std::string digits{}; // exact integer digits when known, else empty
  };

  // Thrown by serialized() for a value JSON cannot carry: a string that is
  // not UTF-8, or a number that is not finite.
  class EncodeError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  JSONValue() = default;  // null
  JSONValue(std::nullptr_t) {}
  JSONValue(const char* s) : value_(std::string(s)) {}
  JSONValue(std::string s) : value_(std::move(s)) {}
  JSONValue(std::string_view s) : value_(std::string(s)) {}
  JSONValue(bool b) : value_(b) {}
  JSONValue(int n) : JSONValue(static_cast<std::int64_t>(n)) {}
  JSONValue(std::int64_t n);
  JSONValue(double d) : value_(Number{d, {}}) {}
  JSONValue(Object o) : value_(std::move(o)) {}
  JSONValue(Array a) : value_(std::move(a)) {}

  // An integer given by its decimal digits (optional "-"); nothing for any
  // other text.
  static std::optional<JSONValue> integer(std::string_view digits);

  // Parses one JSON document. Throws json::DecodeError for malformed JSON,
  // trailing content or nesting deeper than maxDepth.
  static constexpr std::size_t maxDepth = 512;
  static JSONValue parse(std::string_view text);

  // Compact JSON text; integral numbers of ordinary size are written as
  // integers (500, not 500.0).
  std::string serialized() const;

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool isNull() const { return kind() == Kind::null; }
  bool isObject() const { return kind() == Kind::object; }
  bool isArray() const { return kind() == Kind::array; }
  bool isString() const { return kind() == Kind::string; }
  bool isNumber() const { return kind() == Kind::number; }
  bool isBool() const { return kind() == Kind::boolean; }

  // The payloads; nullptr for another case.
  const std::string* stringValue() const { return std::get_if<std::string>(&value_); }
  const Number* numberValue() const { return std::get_if<Number>(&value_); }
  const Object* objectValue() const { return std::get_if<Object>(&value_); }
  const Array* arrayValue() const { return std::get_if<Array>(&value_); }

  // The member of an object / element of an array; nullptr when absent,
  // out of range or not of that case.
  const JSONValue* get(std::string_view key) const;
  const JSONValue* get(std::ptrdiff_t index) const;

  // As get(), but absent reads as null, so lookups chain:
  //   item["metadata"]["name"].string()
  const JSONValue& operator[](std::string_view key) const;
  const JSONValue& operator[](const char* key) const { return (*this)[std::string_view(key)]; }
  const JSONValue& operator[](std::ptrdiff_t index) const;
  const JSONValue& operator[](int index) const { return (*this)[static_cast<std::ptrdiff_t>(index)]; }

  // Lenient accessors.
  // string: a non-empty string; a number as text (integers as their digits);
  //   "true"/"false"; nothing otherwise.
  std::optional<std::string> string() const;
  // asDouble: a number, or a string that reads whole as a number.
  std::optional<double> asDouble() const;
  // asInt: as asDouble, truncated toward zero; integer digits are read
  //   exactly; nothing outside the signed 64-bit range.
  std::optional<std::int64_t> asInt() const;
  // asBool: a Boolean, or exactly "true" / "false".
  std::optional<bool> asBool() const;
  // array: the elements of an array, empty for any other case.
  const Array& array() const;

  // Bridges to the model's JSON tree; fromJson keeps the digits of every
  // integer nlohmann read exactly (up to 64 bits).
  static JSONValue fromJson(const json::Json& j);
  json::Json toJson() const;

  friend bool operator==(const JSONValue& a, const JSONValue& b);
  std::size_t hash() const;

 private:
  friend class JSONValueBuilder;
  std::variant<std::string, Number, bool, Object, Array, std::nullptr_t> value_{nullptr};
};

}  // namespace tavolune

template <>
struct std::hash<tavolune::JSONValue> {
  std::size_t operator()(const tavolune::JSONValue& v) const noexcept { return v.hash(); }
};
