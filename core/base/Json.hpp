#pragma once

#include "core/base/Date.hpp"
#include "core/base/Enum.hpp"
#include "core/base/Uuid.hpp"

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

// Whether the text holds a NUL byte. No JSON text does (not even inside a
// string, where control characters must be escaped); the tree parser would
// take one for the end of the text and read only what comes before it.
inline bool hasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

// The tree of the whole text, by its length. Throws DecodeError for a NUL
// byte and for malformed JSON.
Json parseWhole(std::string_view text);

template <class T>
struct Coding;

// Appends s as a JSON string literal, escaped as the tree writer escapes it.
// s must be valid UTF-8.
void appendQuoted(std::string& out, std::string_view s);

// --- reading a parsed document ---
// Decoders are written once against these few functions, so that they read
// both a `Json` tree and the faster read-only document the library file is
// loaded with (model/FastJson.hpp).

inline bool isNull(const Json& j) { return j.is_null(); }
inline bool isString(const Json& j) { return j.is_string(); }
inline bool isBool(const Json& j) { return j.is_boolean(); }
inline bool isNumber(const Json& j) { return j.is_number(); }
inline bool isArray(const Json& j) { return j.is_array(); }
inline bool isObject(const Json& j) { return j.is_object(); }
inline std::string_view stringOf(const Json& j) { return j.get_ref<const std::string&>(); }
inline bool boolOf(const Json& j) { return j.get<bool>(); }
// The number as a whole number when it is one and in range.
std::optional<std::int64_t> wholeNumberOf(const Json& j);
inline double doubleOf(const Json& j) { return j.get<double>(); }
inline std::size_t sizeOf(const Json& j) { return j.size(); }
template <class F>
void forEachElement(const Json& j, F&& f) {
  for (const auto& e : j) f(e);
}
template <class F>
void forEachMember(const Json& j, F&& f) {
  for (const auto& entry : j.get_ref<const Json::object_t&>()) f(std::string_view(entry.first), entry.second);
}
// The member named key of an object, or nullptr.
const Json* member(const Json& obj, std::string_view key);
// What a type's decoder reads an object through (readers other than the
// tree may gather the members first).
inline const Json& objectView(const Json& j) { return j; }
std::string_view typeName(const Json& j);

[[noreturn]] void failWith(std::string_view expected, std::string_view found);

template <class N>
[[noreturn]] void fail(std::string_view expected, const N& got) {
  failWith(expected, typeName(got));
}
template <class N>
void expectObject(const N& j) {
  if (!isObject(j)) fail("an object", j);
}

template <class T>
concept SelfCoded = requires(const Json& j, const T& v) {
  { T::fromJson(j) } -> std::same_as<T>;
  { v.toJson() } -> std::same_as<Json>;
};

template <class T, class N>
T decode(const N& j) {
  return Coding<T>::decode(j);
}
template <class T>
Json encode(const T& v) {
  return Coding<T>::encode(v);
}

template <class T, class N>
T required(const N& obj, std::string_view key) {
  auto m = member(obj, key);
  if (!m) throw DecodeError("missing key \"" + std::string(key) + "\"");
  try {
    return decode<T>(*m);
  } catch (const DecodeError& e) {
    throw DecodeError("\"" + std::string(key) + "\": " + e.what());
  }
}

template <class T, class N>
std::optional<T> optional(const N& obj, std::string_view key) {
  auto m = member(obj, key);
  if (!m || isNull(*m)) return std::nullopt;
  try {
    return decode<T>(*m);
  } catch (const DecodeError& e) {
    throw DecodeError("\"" + std::string(key) + "\": " + e.what());
  }
}

// Missing, null and unreadable values all give nothing.
template <class T, class N>
std::optional<T> lenient(const N& obj, std::string_view key) {
  auto m = member(obj, key);
  if (!m || isNull(*m)) return std::nullopt;
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
  template <class N>
  static std::string decode(const N& j) {
    if (!isString(j)) fail("text", j);
    return std::string(stringOf(j));
  }
  static Json encode(const std::string& v) { return v; }
};

template <>
struct Coding<bool> {
  template <class N>
  static bool decode(const N& j) {
    if (!isBool(j)) fail("true or false", j);
    return boolOf(j);
  }
  static Json encode(bool v) { return v; }
};

template <>
struct Coding<std::int64_t> {
  template <class N>
  static std::int64_t decode(const N& j) {
    if (!isNumber(j)) fail("a whole number", j);
    if (auto v = wholeNumberOf(j)) return *v;
    throw DecodeError("expected a whole number in range");
  }
  static Json encode(std::int64_t v) { return v; }
};

template <>
struct Coding<double> {
  template <class N>
  static double decode(const N& j) {
    if (!isNumber(j)) fail("a number", j);
    return checkedFinite(doubleOf(j));
  }
  // JSON cannot carry infinity or NaN back; an overflowing literal is refused.
  static double checkedFinite(double d);
  static Json encode(double v);
};

template <>
struct Coding<Date> {
  template <class N>
  static Date decode(const N& j) {
    if (!isString(j)) fail("a date", j);
    return fromText(stringOf(j));
  }
  static Date fromText(std::string_view text);
  static Json encode(Date v) { return iso8601::format(v); }
};

template <>
struct Coding<Uuid> {
  template <class N>
  static Uuid decode(const N& j) {
    if (!isString(j)) fail("a UUID", j);
    return fromText(stringOf(j));
  }
  static Uuid fromText(std::string_view text);
  static Json encode(const Uuid& v) { return v.string(); }
};

template <NamedEnum E>
struct Coding<E> {
  template <class N>
  static E decode(const N& j) {
    if (!isString(j)) fail("text", j);
    auto text = stringOf(j);
    if (auto e = fromRawValue<E>(text)) return *e;
    throw DecodeError("unknown value \"" + std::string(text) + "\"");
  }
  static Json encode(E v) { return std::string(rawValue(v)); }
};

template <SelfCoded T>
struct Coding<T> {
  template <class N>
  static T decode(const N& j) {
    if constexpr (requires { T::fromJson(objectView(j)); }) {
      return T::fromJson(objectView(j));
    } else {
      // A decoder written only for the tree gets this value as a tree.
      return T::fromJson(toJson(j));
    }
  }
  static Json encode(const T& v) { return v.toJson(); }
};

template <class T>
struct Coding<std::vector<T>> {
  template <class N>
  static std::vector<T> decode(const N& j) {
    if (!isArray(j)) fail("an array", j);
    std::vector<T> out;
    out.reserve(sizeOf(j));
    forEachElement(j, [&out](const auto& e) { out.push_back(Coding<T>::decode(e)); });
    return out;
  }
  static Json encode(const std::vector<T>& v) {
    Json a = Json::array();
    for (const auto& e : v) a.push_back(Coding<T>::encode(e));
    return a;
  }
};

// Sets are arrays in no particular order.
template <class T, class C>
struct Coding<std::set<T, C>> {
  template <class N>
  static std::set<T, C> decode(const N& j) {
    if (!isArray(j)) fail("an array", j);
    std::set<T, C> out;
    forEachElement(j, [&out](const auto& e) { out.insert(Coding<T>::decode(e)); });
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
  template <class N>
  static std::unordered_set<T, H, E> decode(const N& j) {
    if (!isArray(j)) fail("an array", j);
    std::unordered_set<T, H, E> out;
    out.reserve(sizeOf(j));
    forEachElement(j, [&out](const auto& e) { out.insert(Coding<T>::decode(e)); });
    return out;
  }
  static Json encode(const std::unordered_set<T, H, E>& v) {
    Json a = Json::array();
    for (const auto& e : v) a.push_back(Coding<T>::encode(e));
    return a;
  }
};

// Maps keyed by text are objects.
// Decodes every member of an object into out. A repeated key means its last
// value, so an earlier unreadable value of that key does not count.
template <class T, class N, class Map>
void decodeMembers(const N& j, Map& out) {
  std::map<std::string, std::string> failed;
  forEachMember(j, [&](std::string_view k, const auto& v) {
    std::string key(k);
    try {
      out.insert_or_assign(key, Coding<T>::decode(v));
      if (!failed.empty()) failed.erase(key);
    } catch (const DecodeError& e) {
      out.erase(key);
      failed.insert_or_assign(std::move(key), e.what());
    }
  });
  if (!failed.empty()) throw DecodeError("\"" + failed.begin()->first + "\": " + failed.begin()->second);
}

template <class T, class C>
struct Coding<std::map<std::string, T, C>> {
  template <class N>
  static std::map<std::string, T, C> decode(const N& j) {
    if (!isObject(j)) fail("an object", j);
    std::map<std::string, T, C> out;
    decodeMembers<T>(j, out);
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
  template <class N>
  static std::unordered_map<std::string, T, H, E> decode(const N& j) {
    if (!isObject(j)) fail("an object", j);
    std::unordered_map<std::string, T, H, E> out;
    out.reserve(sizeOf(j));
    decodeMembers<T>(j, out);
    return out;
  }
  static Json encode(const std::unordered_map<std::string, T, H, E>& m) {
    Json o = Json::object();
    for (const auto& [k, v] : m) o[k] = Coding<T>::encode(v);
    return o;
  }
};

}  // namespace tavolune::json
