#include "core/base/FastJson.hpp"

#include <cmath>
#include <limits>

namespace tavolune::json {

using simdjson::dom::element_type;

std::optional<FastDocument> FastDocument::parse(std::string_view text) {
  FastDocument doc;
  doc.parser_ = std::make_unique<simdjson::dom::parser>();
  // parse() copies into padded memory owned by the parser.
  auto result = doc.parser_->parse(text.data(), text.size(), true);
  if (result.error()) return std::nullopt;
  doc.root_ = result.value_unsafe();
  return doc;
}

std::optional<FastDocument> FastDocument::parseInPlace(const std::string& text) {
  if (text.capacity() - text.size() < simdjson::SIMDJSON_PADDING) return parse(std::string_view(text));
  FastDocument doc;
  doc.parser_ = std::make_unique<simdjson::dom::parser>();
  auto result = doc.parser_->parse(text.data(), text.size(), false);
  if (result.error()) return std::nullopt;
  doc.root_ = result.value_unsafe();
  return doc;
}

FastObject::FastObject(const FastNode& node) {
  simdjson::dom::object object;
  if (node.element.get_object().get(object)) return;
  isObject_ = true;
  members_.reserve(object.size());
  for (simdjson::dom::key_value_pair kv : object) {
    bool repeated = false;
    for (auto& m : members_) {
      if (m.key == kv.key) {
        m.value = kv.value;
        repeated = true;
        break;
      }
    }
    if (!repeated) members_.push_back({kv.key, kv.value});
  }
}

std::optional<FastNode> FastObject::find(std::string_view key) const {
  // Decoders ask in field order, which is usually the file's order: start
  // where the last lookup ended.
  const std::size_t n = members_.size();
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t at = hint_ + i < n ? hint_ + i : hint_ + i - n;
    if (members_[at].key == key) {
      hint_ = at + 1 == n ? 0 : at + 1;
      return FastNode{members_[at].value};
    }
  }
  return std::nullopt;
}

std::optional<std::int64_t> wholeNumberOf(const FastNode& n) {
  switch (n.element.type()) {
    case element_type::INT64: return n.element.get_int64().value_unsafe();
    case element_type::UINT64: {
      auto u = n.element.get_uint64().value_unsafe();
      if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
      return static_cast<std::int64_t>(u);
    }
    default: break;
  }
  double d = doubleOf(n);
  if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(d);
}

std::size_t sizeOf(const FastNode& n) {
  simdjson::dom::array array;
  if (!n.element.get_array().get(array)) return array.size();
  simdjson::dom::object object;
  if (!n.element.get_object().get(object)) return object.size();
  return 0;
}

std::string_view typeName(const FastNode& n) {
  switch (n.element.type()) {
    case element_type::NULL_VALUE: return "null";
    case element_type::BOOL: return "a boolean";
    case element_type::STRING: return "text";
    case element_type::ARRAY: return "an array";
    case element_type::OBJECT: return "an object";
    default: return "a number";
  }
}

std::optional<FastNode> member(const FastNode& obj, std::string_view key) {
  simdjson::dom::object object;
  if (obj.element.get_object().get(object)) return std::nullopt;
  // A repeated key means its last value, as in the tree.
  std::optional<FastNode> found;
  for (simdjson::dom::key_value_pair kv : object) {
    if (kv.key == key) found = FastNode{kv.value};
  }
  return found;
}

Json toJson(const FastNode& n) {
  switch (n.element.type()) {
    case element_type::ARRAY: {
      Json a = Json::array();
      a.get_ref<Json::array_t&>().reserve(sizeOf(n));
      forEachElement(n, [&a](const FastNode& e) { a.push_back(toJson(e)); });
      return a;
    }
    case element_type::OBJECT: {
      Json o = Json::object();
      forEachMember(n, [&o](std::string_view k, const FastNode& v) { o[std::string(k)] = toJson(v); });
      return o;
    }
    case element_type::STRING: return std::string(stringOf(n));
    case element_type::INT64: return n.element.get_int64().value_unsafe();
    case element_type::UINT64: return n.element.get_uint64().value_unsafe();
    case element_type::DOUBLE: return doubleOf(n);
    case element_type::BOOL: return boolOf(n);
    case element_type::NULL_VALUE: break;
  }
  return nullptr;
}

}  // namespace tavolune::json
