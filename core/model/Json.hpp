#pragma once

#include "model/Date.hpp"
#include "model/Enum.hpp"
#include "model/Uuid.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Strict JSON coding for the model. Every type reads and writes through these
// helpers so that the rules are the same everywhere:
// - a required key missing or of the wrong type fails;
// - an optional key may be missing or null; a present value of the wrong
//   type fails;
// - enumerations accept only their raw values; integers reject fractions and
//   out-of-range values; booleans accept only true and false;
// - encoding writes keys in field order and leaves absent optionals out.
// A type takes part by providing `static T fromJson(const json::Json&)` and
// `json::Json toJson() const`.
namespace tavolune::json {

using Json = nlohmann::ordered_json;

class DecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <class T>
struct Coding;

template <class T>
concept SelfCoded = requires(const Json& j, const T& v) {
  { T::fromJson(j) } -> std::same_as<T>;
  { v.toJson() } -> std::same_as<Json>;
};

template <class T>
T decode(const Json& j) {
  return Coding<T>::decode(j);
}
template <class T>
Json encode(const T& v) {
  return Coding<T>::encode(v);
}

const char* typeName(const Json& j);
[[noreturn]] void fail(std::string_view expected, const Json& got);
void expectObject(const Json& j);

// The member named key of an object, or nullptr.
const Json* member(const Json& obj, std::string_view key);

template <class T>
T required(const Json& obj, std::string_view key) {
  const Json* m = member(obj, key);
  if (!m) throw DecodeError("missing key \"" + std::string(key) + "\"");
  try {
    return decode<T>(*m);
  } catch (const DecodeError& e) {
    throw DecodeError("\"" + std::string(key) + "\": " + e.what());
  }
}

template <class T>
std::optional<T> optional(const Json& obj, std::string_view key) {
  const Json* m = member(obj, key);
  if (!m || m->is_null()) return std::nullopt;
  try {
    return decode<T>(*m);
  } catch (const DecodeError& e) {
    throw DecodeError("\"" + std::string(key) + "\": " + e.what());
  }
}

// Missing, null and unreadable values all give nothing.
template <class T>
std::optional<T> lenient(const Json& obj, std::string_view key) {
  const Json* m = member(obj, key);
  if (!m || m->is_null()) return std::nullopt;
  try {
    return decode<T>(*m);
  } catch (const DecodeError&) {
    return std::nullopt;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

template <class T>
void put(Json& obj, std::string_view key, const T& value) {
  obj[std::string(key)] = encode(value);
}
template <class T>
void put(Json& obj, std::string_view key, const std::optional<T>& value) {
  if (value) obj[std::string(key)] = encode(*value);
}

// --- codings of the basic types ---

template <>
struct Coding<std::string> {
  static std::string decode(const Json& j) {
    if (!j.is_string()) fail("text", j);
    return j.get_ref<const std::string&>();
  }
  static Json encode(const std::string& v) { return v; }
};

template <>
struct Coding<bool> {
  static bool decode(const Json& j) {
    if (!j.is_boolean()) fail("true or false", j);
    return j.get<bool>();
  }
  static Json encode(bool v) { return v; }
};

template <>
struct Coding<std::int64_t> {
  static std::int64_t decode(const Json& j);
  static Json encode(std::int64_t v) { return v; }
};

template <>
struct Coding<double> {
  static double decode(const Json& j) {
    if (!j.is_number()) fail("a number", j);
    return checkedFinite(j.get<double>());
  }
  static double checkedFinite(double d);
  static Json encode(double v);
};

template <>
struct Coding<Date> {
  static Date decode(const Json& j);
  static Json encode(Date v) { return iso8601::format(v); }
};

template <>
struct Coding<Uuid> {
  static Uuid decode(const Json& j);
  static Json encode(const Uuid& v) { return v.string(); }
};

template <NamedEnum E>
struct Coding<E> {
  static E decode(const Json& j) {
    if (!j.is_string()) fail("text", j);
    if (auto e = fromRawValue<E>(j.get_ref<const std::string&>())) return *e;
    throw DecodeError("unknown value \"" + j.get<std::string>() + "\"");
  }
  static Json encode(E v) { return std::string(rawValue(v)); }
};

template <SelfCoded T>
struct Coding<T> {
  static T decode(const Json& j) { return T::fromJson(j); }
  static Json encode(const T& v) { return v.toJson(); }
};

template <class T>
struct Coding<std::vector<T>> {
  static std::vector<T> decode(const Json& j) {
    if (!j.is_array()) fail("array", j);
    std::vector<T> out;
    out.reserve(j.size());
    for (const auto& e : j) out.push_back(Coding<T>::decode(e));
    return out;
  }
  static Json encode(const std::vector<T>& v) {
    Json a = Json::array();
    for (const auto& e : v) a.push_back(Coding<T>::encode(e));
    return a;
  }
};

// Sets are arrays in no particular order; encoding sorts where it can so
// that equal sets write equal files.
template <class T, class C>
struct Coding<std::set<T, C>> {
  static std::set<T, C> decode(const Json& j) {
    if (!j.is_array()) fail("array", j);
    std::set<T, C> out;
    for (const auto& e : j) out.insert(Coding<T>::decode(e));
    return out;
  }
  static Json encode(const std::set<T, C>& v) {
    Json a = Json::array();
    for (const auto& e : v) a.push_back(Coding<T>::encode(e));
    return a;
  }
};

template <class T, class H, class E>
struct Coding<std::unordered_set<T, H, E>> {
  static std::unordered_set<T, H, E> decode(const Json& j) {
    if (!j.is_array()) fail("array", j);
    std::unordered_set<T, H, E> out;
    out.reserve(j.size());
    for (const auto& e : j) out.insert(Coding<T>::decode(e));
    return out;
  }
  static Json encode(const std::unordered_set<T, H, E>& v) {
    Json a = Json::array();
    for (const auto& e : v) a.push_back(Coding<T>::encode(e));
    return a;
  }
};

// Maps keyed by text are objects.
template <class T, class C>
struct Coding<std::map<std::string, T, C>> {
  static std::map<std::string, T, C> decode(const Json& j) {
    if (!j.is_object()) fail("object", j);
    std::map<std::string, T, C> out;
    for (const auto& [k, v] : j.items()) out.emplace(k, Coding<T>::decode(v));
    return out;
  }
  static Json encode(const std::map<std::string, T, C>& m) {
    Json o = Json::object();
    for (const auto& [k, v] : m) o[k] = Coding<T>::encode(v);
    return o;
  }
};

template <class T, class H, class E>
struct Coding<std::unordered_map<std::string, T, H, E>> {
  static std::unordered_map<std::string, T, H, E> decode(const Json& j) {
    if (!j.is_object()) fail("object", j);
    std::unordered_map<std::string, T, H, E> out;
    out.reserve(j.size());
    for (const auto& [k, v] : j.items()) out.emplace(k, Coding<T>::decode(v));
    return out;
  }
  static Json encode(const std::unordered_map<std::string, T, H, E>& m) {
    Json o = Json::object();
    for (const auto& [k, v] : m) o[k] = Coding<T>::encode(v);
    return o;
  }
};

}  // namespace tavolune::json
