#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Small text rules both Tezos providers apply the same way.
namespace tavolune::TezosTokenText {

// The trimmed name, or "<fallback> #<token id>" when the name is missing or
// blank (spaces and tabs; line breaks count as content).
std::string title(const std::optional<std::string>& name, std::string_view fallback, std::string_view tokenId);

// The year of an ISO 8601 time stamp: its first four characters as a
// number from 2009 to 2100; nothing otherwise.
std::optional<std::int64_t> year(const std::optional<std::string>& timestamp);

// An address as an artist credit: "tz1abc…wxyz" from 13 characters on.
std::string shortCredit(std::string_view address);

// The token's page on the objkt web site.
std::string objktTokenPage(std::string_view contract, std::string_view tokenId);

// A decimal integer (optional sign, digits only) that fits 64 bits.
std::optional<std::int64_t> decimalInteger(std::string_view text);

}  // namespace tavolune::TezosTokenText
