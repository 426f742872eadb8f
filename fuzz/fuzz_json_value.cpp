// Any bytes as a JSON document: parsing either fails cleanly or gives a
// value that writes back to text which parses to an equal value with an
// equal hash.
#include "core/network/JSONValue.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using tavolune::JSONValue;

static void touch(const JSONValue& v, int depth) {
  (void)v.string();
  (void)v.asDouble();
  (void)v.asInt();
  (void)v.asBool();
  if (depth > 8) return;
  for (const auto& e : v.array()) touch(e, depth + 1);
  if (const auto* obj = v.objectValue()) {
    for (const auto& [k, e] : *obj) {
      if (v.get(k) != &e) std::abort();
      touch(e, depth + 1);
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  JSONValue value;
  try {
    value = JSONValue::parse(text);
  } catch (const tavolune::json::DecodeError&) {
    return 0;
  }
  touch(value, 0);
  std::string written = value.serialized();
  JSONValue again = JSONValue::parse(written);
  if (!(again == value)) std::abort();
  if (again.hash() != value.hash()) std::abort();
  if (again.serialized() != written) std::abort();
  return 0;
}
