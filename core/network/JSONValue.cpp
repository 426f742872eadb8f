#include "core/network/JSONValue.hpp"

#include "core/base/Hash.hpp"
#include "core/base/NumberText.hpp"
#include "core/text/Text.hpp"

#include <charconv>
#include <cmath>

namespace tavolune {

namespace {

const JSONValue& nullValue() {
  static const JSONValue value;
  return value;
}

// "-007" -> "-7", "-0" -> "0".
std::string normalisedDigits(std::string_view text) {
  bool negative = text.starts_with('-');
  if (negative) text.remove_prefix(1);
  std::size_t nz = text.find_first_not_of('0');
  std::string out;
  if (nz == std::string_view::npos) return "0";
  if (negative) out += '-';
  out.append(text.substr(nz));
  return out;
}

std::optional<std::int64_t> exactInt64(std::string_view digits) {
  std::int64_t v = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
  return v;
}

bool isIntegral(double d) { return std::isfinite(d) && d == std::trunc(d); }

// [-2^63, 2^63): the doubles that convert to int64 without overflow.
bool inInt64Range(double d) { return d >= -9223372036854775808.0 && d < 9223372036854775808.0; }

std::optional<std::int64_t> truncated(double d) {
  if (!std::isfinite(d)) return std::nullopt;
  double t = std::trunc(d);
  if (!inInt64Range(t)) return std::nullopt;
  return static_cast<std::int64_t>(t);
}

bool numbersEqual(const JSONValue::Number& a, const JSONValue::Number& b) {
  if (!a.digits.empty() && !b.digits.empty()) return a.digits == b.digits;
  if (a.digits.empty() && b.digits.empty()) return a.value == b.value;
  const auto& exact = a.digits.empty() ? b : a;
  const auto& floating = a.digits.empty() ? a : b;
  if (exact.value != floating.value || !isIntegral(floating.value)) return false;
  return numbers::exactIntegerText(floating.value) == exact.digits;
}

void writeString(std::string& out, const std::string& s) {
  if (!text::isValidUTF8(s)) throw JSONValue::EncodeError("text is not valid UTF-8");
  json::appendQuoted(out, s);
}

void writeNumber(std::string& out, const JSONValue::Number& n) {
  if (!n.digits.empty()) {
    out += n.digits;
    return;
  }
  if (!std::isfinite(n.value)) throw JSONValue::EncodeError("a number that is not finite cannot be written as JSON");
  // Up to 2^53 every integer is exact; services declare page sizes and
  // offsets as integers.
  if (isIntegral(n.value) && std::fabs(n.value) <= 9007199254740992.0) {
    out += std::to_string(static_cast<std::int64_t>(n.value));
  } else {
    out += numbers::shortest(n.value);
  }
}

void write(std::string& out, const JSONValue& v) {
  switch (v.kind()) {
    case JSONValue::Kind::string: writeString(out, *v.stringValue()); break;
    case JSONValue::Kind::number: writeNumber(out, *v.numberValue()); break;
    case JSONValue::Kind::boolean: out += *v.asBool() ? "true" : "false"; break;
    case JSONValue::Kind::null: out += "null"; break;
    case JSONValue::Kind::array: {
      out += '[';
      bool first = true;
      for (const auto& e : *v.arrayValue()) {
        if (!first) out += ',';
        first = false;
        write(out, e);
      }
      out += ']';
      break;
    }
    case JSONValue::Kind::object: {
      out += '{';
      bool first = true;
      for (const auto& [k, e] : *v.objectValue()) {
        if (!first) out += ',';
        first = false;
        writeString(out, k);
        out += ':';
        write(out, e);
      }
      out += '}';
      break;
    }
  }
}

}  // namespace

// Builds the tree from nlohmann's SAX events, which hand over the literal
// text of every number that did not fit 64 bits.
class JSONValueBuilder {
 public:
  using number_integer_t = nlohmann::json::number_integer_t;
  using number_unsigned_t = nlohmann::json::number_unsigned_t;
  using number_float_t = nlohmann::json::number_float_t;
  using string_t = nlohmann::json::string_t;
  using binary_t = nlohmann::json::binary_t;

  JSONValue root;
  std::string error;

  bool null() { return put(JSONValue()); }
  bool boolean(bool b) { return put(JSONValue(b)); }
  bool number_integer(number_integer_t v) { return put(JSONValue(static_cast<std::int64_t>(v))); }
  bool number_unsigned(number_unsigned_t v) {
    JSONValue n;
    n.value_ = JSONValue::Number{static_cast<double>(v), std::to_string(v)};
    return put(std::move(n));
  }
  bool number_float(number_float_t v, const string_t& literal) {
    JSONValue n;
    n.value_ = JSONValue::Number{v, numbers::isIntegerLiteral(literal) ? normalisedDigits(literal) : std::string()};
    return put(std::move(n));
  }
  bool string(string_t& s) { return put(JSONValue(std::move(s))); }
  bool binary(binary_t&) { return put(JSONValue()); }
  bool start_object(std::size_t) { return open(JSONValue(JSONValue::Object{})); }
  bool key(string_t& k) {
    keys_.back() = std::move(k);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(JSONValue(JSONValue::Array{})); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& e) {
    std::string what = e.what();
    // "[json.exception.parse_error.101] parse error at ..." -> "parse error at ..."
    if (auto close = what.find("] "); what.starts_with("[json.exception") && close != std::string::npos) {
      what.erase(0, close + 2);
    }
    error = what;
    return false;
  }

 private:
  JSONValue* put(JSONValue v) {
    if (stack_.empty()) {
      root = std::move(v);
      return &root;
    }
    JSONValue* top = stack_.back();
    if (auto* arr = std::get_if<JSONValue::Array>(&top->value_)) {
      arr->push_back(std::move(v));
      return &arr->back();
    }
    auto& obj = std::get<JSONValue::Object>(top->value_);
    // A repeated key: the last one wins.
    auto [it, inserted] = obj.insert_or_assign(std::move(keys_.back()), std::move(v));
    return &it->second;
  }
  bool open(JSONValue container) {
    if (stack_.size() >= JSONValue::maxDepth) {
      error = "JSON nested more than " + std::to_string(JSONValue::maxDepth) + " levels deep";
      return false;
    }
    stack_.push_back(put(std::move(container)));
    keys_.emplace_back();
    return true;
  }
  bool close() {
    stack_.pop_back();
    keys_.pop_back();
    return true;
  }

  std::vector<JSONValue*> stack_;
  std::vector<std::string> keys_;
};

JSONValue::JSONValue(std::int64_t n) : value_(Number{static_cast<double>(n), std::to_string(n)}) {}

std::optional<JSONValue> JSONValue::integer(std::string_view digits) {
  if (!numbers::isIntegerLiteral(digits)) return std::nullopt;
  JSONValue v;
  std::string normal = normalisedDigits(digits);
  v.value_ = Number{numbers::readDouble(normal).value_or(0), normal};
  return v;
}

JSONValue JSONValue::parse(std::string_view text) {
  if (json::hasNul(text)) throw json::DecodeError("NUL byte in JSON text");
  JSONValueBuilder builder;
  bool ok = false;
  try {
    ok = nlohmann::json::sax_parse(text.begin(), text.end(), &builder);
  } catch (const nlohmann::json::exception& e) {
    throw json::DecodeError(e.what());
  }
  if (!ok) throw json::DecodeError(builder.error.empty() ? "malformed JSON" : builder.error);
  return std::move(builder.root);
}

std::string JSONValue::serialized() const {
  std::string out;
  write(out, *this);
  return out;
}

const JSONValue* JSONValue::get(std::string_view key) const {
  const auto* obj = objectValue();
  if (!obj) return nullptr;
  auto it = obj->find(key);
  return it == obj->end() ? nullptr : &it->second;
}

const JSONValue* JSONValue::get(std::ptrdiff_t index) const {
  const auto* arr = arrayValue();
  if (!arr || index < 0 || static_cast<std::size_t>(index) >= arr->size()) return nullptr;
  return &(*arr)[static_cast<std::size_t>(index)];
}

const JSONValue& JSONValue::operator[](std::string_view key) const {
  const JSONValue* v = get(key);
  return v ? *v : nullValue();
}

const JSONValue& JSONValue::operator[](std::ptrdiff_t index) const {
  const JSONValue* v = get(index);
  return v ? *v : nullValue();
}

std::optional<std::string> JSONValue::string() const {
  switch (kind()) {
    case Kind::string: {
      const auto& s = *stringValue();
      if (s.empty()) return std::nullopt;
      return s;
    }
    case Kind::number: {
      const auto& n = *numberValue();
      if (!n.digits.empty()) return n.digits;
      if (isIntegral(n.value) && inInt64Range(n.value)) return std::to_string(static_cast<std::int64_t>(n.value));
      return numbers::shortest(n.value);
    }
    case Kind::boolean: return std::get<bool>(value_) ? "true" : "false";
    default: return std::nullopt;
  }
}

std::optional<double> JSONValue::asDouble() const {
  if (const auto* n = numberValue()) return n->value;
  if (const auto* s = stringValue()) return numbers::readDouble(*s);
  return std::nullopt;
}

std::optional<std::int64_t> JSONValue::asInt() const {
  if (const auto* n = numberValue()) {
    if (!n->digits.empty()) return exactInt64(n->digits);
    return truncated(n->value);
  }
  if (const auto* s = stringValue()) {
    if (numbers::isIntegerLiteral(*s)) {
      if (auto exact = exactInt64(*s)) return exact;
    }
    if (auto d = numbers::readDouble(*s)) return truncated(*d);
  }
  return std::nullopt;
}

std::optional<bool> JSONValue::asBool() const {
  if (const auto* b = std::get_if<bool>(&value_)) return *b;
  if (const auto* s = stringValue()) {
    if (*s == "true") return true;
    if (*s == "false") return false;
  }
  return std::nullopt;
}

const JSONValue::Array& JSONValue::array() const {
  static const Array empty;
  const auto* arr = arrayValue();
  return arr ? *arr : empty;
}

JSONValue JSONValue::fromJson(const json::Json& j) {
  switch (j.type()) {
    case json::Json::value_t::null: return JSONValue();
    case json::Json::value_t::boolean: return JSONValue(j.get<bool>());
    case json::Json::value_t::number_integer: return JSONValue(j.get<std::int64_t>());
    case json::Json::value_t::number_unsigned: {
      JSONValue v;
      auto u = j.get<std::uint64_t>();
      v.value_ = Number{static_cast<double>(u), std::to_string(u)};
      return v;
    }
    case json::Json::value_t::number_float: return JSONValue(j.get<double>());
    case json::Json::value_t::string: return JSONValue(j.get<std::string>());
    case json::Json::value_t::array: {
      Array a;
      a.reserve(j.size());
      for (const auto& e : j) a.push_back(fromJson(e));
      return JSONValue(std::move(a));
    }
    case json::Json::value_t::object: {
      Object o;
      for (const auto& [k, e] : j.items()) o.insert_or_assign(k, fromJson(e));
      return JSONValue(std::move(o));
    }
    default: return JSONValue();
  }
}

json::Json JSONValue::toJson() const {
  switch (kind()) {
    case Kind::string: return *stringValue();
    case Kind::boolean: return std::get<bool>(value_);
    case Kind::null: return nullptr;
    case Kind::number: {
      const auto& n = *numberValue();
      if (!n.digits.empty()) {
        if (auto i = exactInt64(n.digits)) return *i;
        std::uint64_t u = 0;
        auto [ptr, ec] = std::from_chars(n.digits.data(), n.digits.data() + n.digits.size(), u);
        if (ec == std::errc() && ptr == n.digits.data() + n.digits.size()) return u;
      }
      if (!std::isfinite(n.value)) return nullptr;
      return n.value;
    }
    case Kind::array: {
      json::Json a = json::Json::array();
      for (const auto& e : *arrayValue()) a.push_back(e.toJson());
      return a;
    }
    case Kind::object: {
      json::Json o = json::Json::object();
      for (const auto& [k, e] : *objectValue()) o[k] = e.toJson();
      return o;
    }
  }
  return nullptr;
}

bool operator==(const JSONValue& a, const JSONValue& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case JSONValue::Kind::number: return numbersEqual(*a.numberValue(), *b.numberValue());
    case JSONValue::Kind::string: return *a.stringValue() == *b.stringValue();
    case JSONValue::Kind::boolean: return *a.asBool() == *b.asBool();
    case JSONValue::Kind::null: return true;
    case JSONValue::Kind::array: return *a.arrayValue() == *b.arrayValue();
    case JSONValue::Kind::object: return *a.objectValue() == *b.objectValue();
  }
  return false;
}

std::size_t JSONValue::hash() const {
  std::size_t seed = value_.index();
  switch (kind()) {
    case Kind::string: hashField(seed, *stringValue()); break;
    case Kind::number: {
      // Numerically equal values round to the same double; 0 and -0 agree.
      double d = numberValue()->value;
      hashField(seed, d == 0 ? 0.0 : d);
      break;
    }
    case Kind::boolean: hashField(seed, std::get<bool>(value_)); break;
    case Kind::null: break;
    case Kind::array:
      hashCombine(seed, arrayValue()->size());
      for (const auto& e : *arrayValue()) hashCombine(seed, e.hash());
      break;
    case Kind::object:
      hashCombine(seed, objectValue()->size());
      for (const auto& [k, e] : *objectValue()) {
        hashField(seed, k);
        hashCombine(seed, e.hash());
      }
      break;
  }
  return seed;
}

}  // namespace tavolune
