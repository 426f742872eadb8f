#pragma once

#include "core/base/Json.hpp"

#include <simdjson.h>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// A read-only parsed document for large files. The model's decoders read it
// through the same helpers as a json::Json tree (see model/Json.hpp), only
// without building that tree first.
namespace tavolune::json {

struct FastNode {
  simdjson::dom::element element;
};

class FastDocument {
 public:
  // Nothing when the text is not JSON this parser takes (callers fall back to
  // json::Json::parse, which also reads integers too large for 64 bits).
  static std::optional<FastDocument> parse(std::string_view text);
  // The same without copying text when its spare capacity holds the padding
  // the parser reads past the end.
  static std::optional<FastDocument> parseInPlace(const std::string& text);
  FastNode root() const { return FastNode{root_}; }

 private:
  std::unique_ptr<simdjson::dom::parser> parser_;
  simdjson::dom::element root_;
};

inline bool isNull(const FastNode& n) { return n.element.is_null(); }
inline bool isString(const FastNode& n) { return n.element.type() == simdjson::dom::element_type::STRING; }
inline bool isBool(const FastNode& n) { return n.element.type() == simdjson::dom::element_type::BOOL; }
inline bool isNumber(const FastNode& n) { return n.element.is_number(); }
inline bool isArray(const FastNode& n) { return n.element.type() == simdjson::dom::element_type::ARRAY; }
inline bool isObject(const FastNode& n) { return n.element.type() == simdjson::dom::element_type::OBJECT; }
inline std::string_view stringOf(const FastNode& n) { return n.element.get_string().value_unsafe(); }
inline bool boolOf(const FastNode& n) { return n.element.get_bool().value_unsafe(); }
inline double doubleOf(const FastNode& n) { return n.element.get_double().value_unsafe(); }
std::optional<std::int64_t> wholeNumberOf(const FastNode& n);
std::size_t sizeOf(const FastNode& n);
std::string_view typeName(const FastNode& n);
std::optional<FastNode> member(const FastNode& obj, std::string_view key);

template <class F>
void forEachElement(const FastNode& n, F&& f) {
  simdjson::dom::array array;
  if (n.element.get_array().get(array)) return;
  for (simdjson::dom::element e : array) f(FastNode{e});
}
template <class F>
void forEachMember(const FastNode& n, F&& f) {
  simdjson::dom::object object;
  if (n.element.get_object().get(object)) return;
  for (simdjson::dom::key_value_pair kv : object) f(kv.key, FastNode{kv.value});
}

// The same document as a json::Json tree, for decoders that only take one.
Json toJson(const FastNode& n);

// One object's members gathered once, so that a decoder's lookups of its
// fields, made in field order, need not walk the object again each time.
// A repeated key means its last value.
class FastObject {
 public:
  explicit FastObject(const FastNode& node);
  bool isObject() const { return isObject_; }
  std::optional<FastNode> find(std::string_view key) const;

 private:
  struct Member {
    std::string_view key;
    simdjson::dom::element value;
  };
  bool isObject_ = false;
  std::vector<Member> members_;
  mutable std::size_t hint_ = 0;
};

inline bool isObject(const FastObject& o) { return o.isObject(); }
inline std::string_view typeName(const FastObject& o) { return o.isObject() ? "an object" : "not an object"; }
inline std::optional<FastNode> member(const FastObject& o, std::string_view key) { return o.find(key); }
inline FastObject objectView(const FastNode& n) { return FastObject(n); }

}  // namespace tavolune::json
