#pragma once

#include "core/indexers/IndexerProvider.hpp"
#include "core/model/OwnedArtwork.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/network/JSONValue.hpp"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

// Tezos holdings from the TzKT API's token balances, with each token's
// metadata as the indexer holds it. Fungible tokens are left out.
// Immutable; keeps nothing between calls.
class TzKTProvider : public IndexerProvider {
 public:
  struct Balance {
    struct Contract {
      std::string address{};
      std::optional<std::string> alias{};
      friend bool operator==(const Contract&, const Contract&) = default;
    };
    struct Token {
      Contract contract{};
      std::string tokenId{};
      std::optional<std::string> totalSupply{};
      std::optional<JSONValue> metadata{};
      std::optional<std::string> firstTime{};
      friend bool operator==(const Token&, const Token&) = default;
    };

    std::string balance{};
    Token token{};

    static Balance fromJSONValue(const JSONValue& v);
    friend bool operator==(const Balance&, const Balance&) = default;
  };

  static constexpr std::int64_t pageSize = 1000;
  static constexpr double timeout = 60;
  // The balance field the pages are ordered by, newest change first.
  static constexpr std::string_view sortField = "lastLevel";

  // apiBase: "https://host" of the API; tests pass a loopback one.
  explicit TzKTProvider(HTTPClient http, std::string apiBase);

  static std::string defaultAPIBase();

  std::string name() const override { return "TzKT"; }
  bool supports(Chain chain) const override { return chain == Chain::tezos; }
  // The non-fungible holdings, page after page until a short page. A
  // service that ignores the offset would answer the same page for ever:
  // a page equal to the one before also ends the call.
  std::vector<OwnedArtwork> tokens(const std::string& owner, Chain chain, std::stop_token stop = {}) const override;

  // One balance as a work of the owner; nothing for a fungible token.
  static std::optional<OwnedArtwork> map(const Balance& balance, std::string_view owner);

  // The URL of the page at offset.
  Url pageURL(const std::string& owner, std::int64_t offset) const;

  const HTTPClient& http() const { return http_; }

 private:
  HTTPClient http_;
  std::string apiBase_;
};

}  // namespace tavolune
