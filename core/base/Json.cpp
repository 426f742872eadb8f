#include "core/base/Json.hpp"

#include <cmath>
#include <limits>

namespace tavolune::json {

Json parseWhole(std::string_view text) {
  if (hasNul(text)) throw DecodeError("NUL byte in JSON text");
  try {
    return Json::parse(text.begin(), text.end());
  } catch (const nlohmann::json::exception& e) {
    throw DecodeError(e.what());
  }
}

std::string_view typeName(const Json& j) {
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

void failWith(std::string_view expected, std::string_view found) {
  throw DecodeError("expected " + std::string(expected) + ", found " + std::string(found));
}

const Json* member(const Json& obj, std::string_view key) {
  if (!obj.is_object()) return nullptr;
  for (const auto& entry : obj.get_ref<const Json::object_t&>()) {
    if (entry.first == key) return &entry.second;
  }
  return nullptr;
}

std::optional<std::int64_t> wholeNumberOf(const Json& j) {
  if (j.is_number_unsigned()) {
    auto u = j.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(u);
  }
  if (j.is_number_integer()) return j.get<std::int64_t>();
  double d = j.get<double>();
  // 2^63 is the first double past the range.
  if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(d);
}

void appendQuoted(std::string& out, std::string_view s) {
  out.push_back('"');
  std::size_t plain = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(s.substr(plain, i - plain));
    plain = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\u00";
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 15]);
      }
    }
  }
  out.append(s.substr(plain));
  out.push_back('"');
}

double Coding<double>::checkedFinite(double d) {
  if (!std::isfinite(d)) throw DecodeError("number out of range");
  return d;
}

Json Coding<double>::encode(double v) {
  if (!std::isfinite(v)) return nullptr;
  return v;
}

Date Coding<Date>::fromText(std::string_view text) {
  if (auto d = iso8601::parse(text)) return *d;
  throw DecodeError("date not in the form 2024-05-01T12:00:00Z: \"" + std::string(text) + "\"");
}

Uuid Coding<Uuid>::fromText(std::string_view text) {
  if (auto u = Uuid::parse(text)) return *u;
  throw DecodeError("not a UUID: \"" + std::string(text) + "\"");
}

}  // namespace tavolune::json
