#pragma once

#include "core/indexers/OpenSeaKeyStore.hpp"
#include "core/model/OwnedArtwork.hpp"
#include "core/model/Chain.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/network/JSONValue.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

// The client of the OpenSea API (version 2) for EVM chains: an artist's
// created collections and their listings, a wallet's NFTs, collection
// names. Every request carries a key from the shared key store. Copies
// share the key store and the name cache.
class OpenSeaProvider {
 public:
  // Collection slug -> display name, for the life of the provider.
  class CollectionNames {
   public:
    std::optional<std::string> name(const std::string& slug) const;
    // A later store for the same slug replaces the earlier one.
    void store(const std::string& slug, std::string name);

   private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string, std::less<>> names_;
  };

  struct CreatedCollection {
    std::string slug;
    std::string name;
    Chain chain = Chain::ethereum;
    std::string contract;  // lower-cased

    friend bool operator==(const CreatedCollection&, const CreatedCollection&) = default;
  };

  // One entry of a listing, with the URI of its metadata document when the
  // listing gives one.
  struct ListedNFT {
    OwnedArtwork owned{};
    std::optional<std::string> metadataURL{};

    friend bool operator==(const ListedNFT&, const ListedNFT&) = default;
  };

  static constexpr double requestTimeout = 30;
  // Collections of one account: each becomes a read of its own in the sync.
  static constexpr std::size_t maxCreatedCollections = 500;
  // NFTs of one wallet on one chain: stops a listing whose cursor never ends.
  static constexpr std::size_t maxOwnedEntries = 10'000;

  // apiBase is the API endpoint ("https://host"); tests pass a loopback one.
  OpenSeaProvider(HTTPClient http, std::shared_ptr<OpenSeaKeyStore> keys, std::string apiBase);

  // The authenticated GET: "X-API-KEY" from the key store; on a first 401
  // the key is dropped and the request made once more with a new one.
  JSONValue getJSON(const std::string& url, std::stop_token stop = {}) const;

  // The collection's display name, from the cache or the API; never throws.
  std::optional<std::string> collectionName(const std::string& slug, std::stop_token stop = {}) const;

  // The collections the OpenSea account of the address created; empty when
  // the account has no user name.
  std::vector<CreatedCollection> createdCollections(const std::string& address, std::stop_token stop = {}) const;

  // The collection's NFTs, page by page until at least limit are gathered.
  std::vector<ListedNFT> listed(const CreatedCollection& collection, const std::optional<std::string>& artist,
                                std::int64_t limit, std::stop_token stop = {}) const;

  // listed() completed from the items' metadata documents, fetched through
  // the given IPFS gateways.
  std::vector<OwnedArtwork> artworks(const CreatedCollection& collection, const std::optional<std::string>& artist,
                                     std::int64_t limit, const std::vector<std::string>& gateways,
                                     std::stop_token stop = {}) const;

  // The NFTs the address holds on the chain, in listing order; empty off
  // the EVM chains.
  std::vector<ListedNFT> owned(const std::string& address, Chain chain, std::stop_token stop = {}) const;

  // One OpenSea NFT object as a library artwork, or nothing.
  static std::optional<OwnedArtwork> map(const JSONValue& item, const CreatedCollection& collection,
                                         const std::optional<std::string>& artist);

  // "ethereum", "base", "optimism", "arbitrum", "matic"/"polygon".
  static std::optional<Chain> chain(std::string_view identifier);
  // The identifier the API uses for a chain in paths ("matic" for polygon).
  static std::optional<std::string_view> identifier(Chain chain);

  const HTTPClient& http() const { return http_; }
  const std::shared_ptr<OpenSeaKeyStore>& keys() const { return keys_; }
  const std::shared_ptr<CollectionNames>& names() const { return names_; }
  const std::string& apiBase() const { return apiBase_; }

 private:
  HTTPClient http_;
  std::shared_ptr<OpenSeaKeyStore> keys_;
  std::shared_ptr<CollectionNames> names_;
  std::string apiBase_;
};

}  // namespace tavolune
