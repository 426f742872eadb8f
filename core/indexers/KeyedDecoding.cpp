#include "core/indexers/KeyedDecoding.hpp"

#include <cmath>

namespace tavolune::keyed {
namespace {

[[noreturn]] void fail(std::string_view key, std::string_view why) {
  throw json::DecodeError("\"" + std::string(key) + "\": " + std::string(why));
}

std::int64_t readInt(const JSONValue& v, std::string_view key) {
  const auto* n = v.numberValue();
  if (!n) fail(key, "expected a number");
  if (!n->digits.empty()) {
    if (auto exact = v.asInt()) return *exact;
    fail(key, "number out of range");
  }
  const double d = n->value;
  // 2^63 itself does not fit.
  if (!std::isfinite(d) || std::trunc(d) != d || d < -9223372036854775808.0 || d >= 9223372036854775808.0) {
    fail(key, "expected a whole number");
  }
  return static_cast<std::int64_t>(d);
}

}  // namespace

void expectObject(const JSONValue& v, std::string_view what) {
  if (!v.isObject()) throw json::DecodeError(std::string(what) + ": expected an object");
}

const JSONValue* member(const JSONValue& object, std::string_view key) {
  const JSONValue* m = object.get(key);
  return (m && !m->isNull()) ? m : nullptr;
}

std::string requiredString(const JSONValue& object, std::string_view key) {
  const JSONValue* m = member(object, key);
  if (!m) fail(key, "missing");
  if (!m->isString()) fail(key, "expected a text");
  return *m->stringValue();
}

std::optional<std::string> optionalString(const JSONValue& object, std::string_view key) {
  const JSONValue* m = member(object, key);
  if (!m) return std::nullopt;
  if (!m->isString()) fail(key, "expected a text");
  return *m->stringValue();
}

std::int64_t requiredInt(const JSONValue& object, std::string_view key) {
  const JSONValue* m = member(object, key);
  if (!m) fail(key, "missing");
  return readInt(*m, key);
}

std::optional<std::int64_t> optionalInt(const JSONValue& object, std::string_view key) {
  const JSONValue* m = member(object, key);
  if (!m) return std::nullopt;
  return readInt(*m, key);
}

}  // namespace tavolune::keyed
