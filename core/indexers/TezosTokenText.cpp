#include "core/indexers/TezosTokenText.hpp"

#include "core/model/Wallet.hpp"
#include "core/base/Hosts.hpp"
#include "core/text/Text.hpp"

#include <charconv>

namespace tavolune::TezosTokenText {

std::string title(const std::optional<std::string>& name, std::string_view fallback, std::string_view tokenId) {
  if (name) {
    std::string trimmed = text::trimHorizontalWhitespace(*name);
    if (!trimmed.empty()) return trimmed;
  }
  std::string out(fallback);
  out += " #";
  out += tokenId;
  return out;
}

std::optional<std::int64_t> year(const std::optional<std::string>& timestamp) {
  if (!timestamp) return std::nullopt;
  // Four user-perceived characters: "2021" followed by a combining mark is
  // not a year.
  if (text::characterCount(*timestamp) < 4) return std::nullopt;
  auto value = decimalInteger(text::prefixCharacters(*timestamp, 4));
  if (!value || *value < 2009 || *value > 2100) return std::nullopt;
  return value;
}

std::string shortCredit(std::string_view address) { return shortAddress(address); }

std::string objktTokenPage(std::string_view contract, std::string_view tokenId) {
  std::string out(hosts::objktWeb);
  out += "/tokens/";
  out += contract;
  out += "/";
  out += tokenId;
  return out;
}

std::optional<std::int64_t> decimalInteger(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return std::nullopt;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // Read with the sign so that the most negative value fits.
  std::string signedDigits = negative ? "-" + std::string(digits) : std::string(digits);
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(signedDigits.data(), signedDigits.data() + signedDigits.size(), value);
  if (ec != std::errc() || end != signedDigits.data() + signedDigits.size()) return std::nullopt;
  return value;
}

}  // namespace tavolune::TezosTokenText
