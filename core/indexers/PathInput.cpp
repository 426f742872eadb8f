#include "core/indexers/PathInput.hpp"

#include "core/base/Url.hpp"
#include "core/base/TavoluneError.hpp"

#include <algorithm>

namespace tavolune::PathInput {
namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

bool isEVMAddress(std::string_view text) {
  return text.size() == 42 && text[0] == '0' && text[1] == 'x' &&
         std::all_of(text.begin() + 2, text.end(), isHexDigit);
}

bool isTokenId(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const std::string& evmAddress(const std::string& text) {
  if (!isEVMAddress(text)) throw TavoluneError::invalidInput(text);
  return text;
}

const std::string& tokenId(const std::string& text) {
  if (!isTokenId(text)) throw TavoluneError::invalidInput(text);
  return text;
}

std::string segment(std::string_view text) {
  if (text.empty()) throw TavoluneError::invalidInput(std::string(text));
  return url::percentEncode(text);
}

}  // namespace tavolune::PathInput
