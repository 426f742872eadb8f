#pragma once

#include "core/base/Clock.hpp"
#include "core/indexers/IndexerProvider.hpp"
#include "core/model/OwnedArtwork.hpp"
#include "core/model/Chain.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/network/JSONValue.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

// NFTs of the EVM chains from each chain's Blockscout explorer (REST API
// version 2): what an address holds, the instances of a contract, the
// tokens of one numbered project of a multi-project contract, and single
// token instances. Stateless: every call reads the explorer again.
class BlockscoutProvider : public IndexerProvider {
 public:
  // Base URL ("https://host") of each chain's explorer; a chain without an
  // entry has no explorer.
  using Explorers = std::map<Chain, std::string>;

  // One page of a list endpoint.
  struct Page {
    std::vector<JSONValue> items{};
    std::optional<JSONValue::Object> next_page_params{};

    // Throws json::DecodeError without an "items" list, or with
    // "next_page_params" that is neither null nor an object.
    static Page fromJSONValue(const JSONValue& value);
  };

  // Pages of one wallet's token list: stops a list whose cursor never ends.
  static constexpr int maxTokenPages = 200;
  static constexpr double listTimeout = 60;
  static constexpr double instanceTimeout = 30;
  static constexpr std::size_t projectBatch = 4;
  static constexpr double projectPause = 0.25;
  // Missing tokens in a row that end a project: its ids are dense, so a run
  // of gaps means the series is over.
  static constexpr int projectMissesToStop = 3;
  static constexpr std::int64_t projectStride = 1'000'000;

  explicit BlockscoutProvider(HTTPClient http, Explorers explorers, Clock clock = {});

  // The real explorers of the five EVM chains.
  static const Explorers& defaultExplorers();

  std::string name() const override { return "Blockscout"; }
  bool supports(Chain chain) const override;

  // The NFTs the address holds on the chain, in the explorer's order, each
  // with its held amount. At most 200 pages.
  std::vector<OwnedArtwork> tokens(const std::string& owner, Chain chain, std::stop_token stop = {}) const override;

  // The instances of a contract, each with quantity 1; stops after the page
  // that brings the count to limit or more.
  std::vector<OwnedArtwork> collection(const std::string& contract, Chain chain, std::int64_t limit,
                                       std::stop_token stop = {}) const;

  // Tokens project * 1,000,000 + n for n below limit, ascending, probed four
  // at a time with a pause after each batch, until three numbers in a row
  // have no token.
  std::vector<OwnedArtwork> project(const std::string& contract, Chain chain, std::int64_t project,
                                    std::int64_t limit, std::stop_token stop = {}) const;

  // One token instance; nothing when the explorer does not know it (404) or
  // the record does not map. Other failures are thrown.
  std::optional<OwnedArtwork> instance(const std::string& contract, const std::string& id, Chain chain,
                                       std::stop_token stop = {}) const;

  // The token's page on the chain's real explorer; nothing off the EVM
  // chains. The contract is used unchanged.
  static std::optional<std::string> explorerURL(Chain chain, std::string_view contract, std::string_view tokenId);

  // One explorer token record as an owned artwork, or nothing.
  static std::optional<OwnedArtwork> map(const JSONValue& item, Chain chain);

  const HTTPClient& http() const { return http_; }

 private:
  std::optional<std::string> base(Chain chain) const;

  HTTPClient http_;
  Explorers explorers_;
  Clock clock_;
};

}  // namespace tavolune
