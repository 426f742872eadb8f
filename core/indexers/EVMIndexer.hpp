#pragma once

#include "core/indexers/BlockscoutProvider.hpp"
#include "core/base/Clock.hpp"
#include "core/indexers/IndexerProvider.hpp"
#include "core/indexers/OpenSeaProvider.hpp"
#include "core/model/MediaResolver.hpp"
#include "core/network/HTTPClient.hpp"

#include <stop_token>
#include <string>
#include <vector>

namespace tavolune {

// The held tokens of the EVM chains: the wallet's OpenSea listing, each
// token completed from its explorer record or, where the explorer has none,
// from its metadata document.
class EVMIndexer : public IndexerProvider {
 public:
  using ListedNFT = OpenSeaProvider::ListedNFT;

  static constexpr std::size_t explorerBatch = 4;
  static constexpr double explorerPause = 0.2;
  static constexpr std::size_t enrichBatch = 6;
  static constexpr std::size_t metadataCandidates = 3;
  static constexpr double metadataTimeout = 20;

  // gateways: the IPFS gateways metadata documents are fetched through.
  EVMIndexer(OpenSeaProvider openSea, BlockscoutProvider blockscout, HTTPClient http, Clock clock,
             std::vector<std::string> gateways);

  std::string name() const override { return "OpenSea"; }
  bool supports(Chain chain) const override;
  // Throws what the listing throws and nothing else.
  std::vector<OwnedArtwork> tokens(const std::string& owner, Chain chain, std::stop_token stop = {}) const override;

  // The item completed from its metadata document, or its listed form when
  // there is none or none loads. Never throws. A "data:" metadata URI is
  // decoded here rather than fetched; any other reaches public addresses
  // only.
  static OwnedArtwork enrich(const ListedNFT& item, const HTTPClient& http, const std::vector<std::string>& gateways,
                             std::stop_token stop = {});
  // enrich() of every item, six at a time, in input order.
  static std::vector<OwnedArtwork> enrichAll(const std::vector<ListedNFT>& items, const HTTPClient& http,
                                             const std::vector<std::string>& gateways, std::stop_token stop = {});
  // A listed token completed with the explorer's record of it.
  static OwnedArtwork merge(const OwnedArtwork& listed, const Artwork& original);

  const OpenSeaProvider& openSea() const { return openSea_; }
  const BlockscoutProvider& blockscout() const { return blockscout_; }

 private:
  struct Outcome {
    OwnedArtwork artwork;
    bool explorerAnswered = true;  // false only when the explorer refused (403)
  };
  Outcome complete(const ListedNFT& item, Chain chain, bool useExplorer, std::stop_token stop) const;

  OpenSeaProvider openSea_;
  BlockscoutProvider blockscout_;
  HTTPClient http_;
  Clock clock_;
  std::vector<std::string> gateways_;
};

}  // namespace tavolune
