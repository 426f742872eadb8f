#include "model/Json.hpp"

#include <cmath>
#include <limits>

namespace tavolune::json {

const char* typeName(const Json& j) {
  switch (j.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "a boolean";
    case Json::value_t::string: return "text";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: return "a number";
    default: return "an unreadable value";
  }
}

void fail(std::string_view expected, const Json& got) {
  throw DecodeError("expected " + std::string(expected) + ", found " + typeName(got));
}

void expectObject(const Json& j) {
  if (!j.is_object()) fail("an object", j);
}

const Json* member(const Json& obj, std::string_view key) {
  if (!obj.is_object()) return nullptr;
  for (const auto& entry : obj.get_ref<const Json::object_t&>()) {
    if (entry.first == key) return &entry.second;
  }
  return nullptr;
}

std::int64_t Coding<std::int64_t>::decode(const Json& j) {
  if (j.is_number_integer() && !j.is_number_unsigned()) return j.get<std::int64_t>();
  if (j.is_number_unsigned()) {
    auto u = j.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      throw DecodeError("integer out of range");
    }
    return static_cast<std::int64_t>(u);
  }
  if (j.is_number_float()) {
    double d = j.get<double>();
    // 2^63 is the first double past the range.
    if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0) {
      throw DecodeError("expected a whole number in range");
    }
    return static_cast<std::int64_t>(d);
  }
  fail("a whole number", j);
}

double Coding<double>::checkedFinite(double d) {
  // JSON cannot carry infinity or NaN back; an overflowing literal is refused.
  if (!std::isfinite(d)) throw DecodeError("number out of range");
  return d;
}

Json Coding<double>::encode(double v) {
  // JSON has no infinity or NaN; null is what a reader can survive.
  if (!std::isfinite(v)) return nullptr;
  return v;
}

Date Coding<Date>::decode(const Json& j) {
  if (!j.is_string()) fail("a date", j);
  if (auto d = iso8601::parse(j.get_ref<const std::string&>())) return *d;
  throw DecodeError("date not in the form 2024-05-01T12:00:00Z: \"" + j.get<std::string>() + "\"");
}

Uuid Coding<Uuid>::decode(const Json& j) {
  if (!j.is_string()) fail("a UUID", j);
  if (auto u = Uuid::parse(j.get_ref<const std::string&>())) return *u;
  throw DecodeError("not a UUID: \"" + j.get<std::string>() + "\"");
}

}  // namespace tavolune::json
