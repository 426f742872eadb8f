#pragma once

#include <string>
#include <string_view>

// Checks for outside text that goes into a request path. Addresses and token
// ids come from users and services; nothing unchecked may reach a path,
// where "../" or "?" would ask the service something else.
namespace tavolune::PathInput {

// "0x" and 40 hexadecimal digits of either case.
bool isEVMAddress(std::string_view text);
// One or more decimal digits, nothing else.
bool isTokenId(std::string_view text);

// The text unchanged when it is an EVM address; throws
// TavoluneError::invalidInput otherwise.
const std::string& evmAddress(const std::string& text);
// The text unchanged when it is a token id; throws
// TavoluneError::invalidInput otherwise.
const std::string& tokenId(const std::string& text);
// The text percent-encoded as one path segment (every byte outside the
// unreserved set escaped); throws TavoluneError::invalidInput for empty text.
std::string segment(std::string_view text);

}  // namespace tavolune::PathInput
