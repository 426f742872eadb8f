#pragma once

#include "core/base/Json.hpp"
#include "core/network/JSONValue.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Strict member reading for the answer models of the providers: a required
// member must be present with the right type, an optional one may be
// missing or null, other members are ignored. Failures throw
// json::DecodeError naming the member.
namespace tavolune::keyed {

// Throws unless v is an object.
void expectObject(const JSONValue& v, std::string_view what);
// The member, or nullptr when missing or null.
const JSONValue* member(const JSONValue& object, std::string_view key);

std::string requiredString(const JSONValue& object, std::string_view key);
std::optional<std::string> optionalString(const JSONValue& object, std::string_view key);
// A JSON number holding a whole value that fits 64 bits.
std::int64_t requiredInt(const JSONValue& object, std::string_view key);
std::optional<std::int64_t> optionalInt(const JSONValue& object, std::string_view key);

}  // namespace tavolune::keyed
