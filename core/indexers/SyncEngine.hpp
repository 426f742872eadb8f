#pragma once

#include "core/indexers/BlockscoutProvider.hpp"
#include "core/base/Clock.hpp"
#include "core/indexers/IndexerProvider.hpp"
#include "core/indexers/ObjktProvider.hpp"
#include "core/indexers/OpenSeaProvider.hpp"
#include "core/model/OwnedArtwork.hpp"
#include "core/model/SyncResult.hpp"
#include "core/model/Chain.hpp"
#include "core/model/Wallet.hpp"
#include "core/network/HTTPClient.hpp"

#include <cstddef>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

// Reads one wallet from the indexer services into a SyncResult. For a
// collector every chain is offered to the providers in list order and the
// first that answers wins; the chains run in parallel. An artist wallet
// stands for the works the artist made (created tokens, created
// collections, discovered series, hand-entered contracts). Never throws.
class SyncEngine {
 public:
  using Providers = std::vector<std::shared_ptr<const IndexerProvider>>;

  // The answer for one chain: the winning provider's list, or the error to
  // report (the last supporting provider's).
  struct ChainOutcome {
    std::vector<OwnedArtwork> owned{};
    std::exception_ptr error{};
    bool succeeded() const { return !error; }
  };

  // Where the standard engine's providers reach their services; real()
  // holds the public hosts. Tests and benchmarks point these at loopback
  // fakes and take the pauses out through the clock.
  struct Services {
    std::string objktEndpoint;
    std::string tzktAPI;
    std::string openSeaAPI;
    BlockscoutProvider::Explorers explorers;
    std::filesystem::path openSeaKeyFile;
    // The IPFS gateways the EVM indexer fetches metadata documents through.
    std::vector<std::string> gateways;
    Clock clock{};

    static Services real();
  };

  // Chains of one wallet read at the same time; a wallet has at most seven.
  static constexpr std::size_t maxParallelChains = 7;
  // The caps below keep one sync to minutes and one library to a size the
  // desktop can show; a wallet beyond them is read in part, never refused.
  // An artist's Tezos creations: more than any one artist mints by hand,
  // and 20 pages of objkt's answers at most.
  static constexpr std::int64_t objktCreationsLimit = 10000;
  // Works listed in one OpenSea collection: each costs a metadata fetch.
  static constexpr std::int64_t listedLimit = 2000;
  // Editions of one generative project: a long series, read one token at a
  // time from the explorer.
  static constexpr std::int64_t projectLimit = 1000;
  // Tokens of one collection contract read from the explorer.
  static constexpr std::int64_t collectionLimit = 5000;
  // Inscriptions of one Bitcoin wallet: each is a request of its own to the
  // indexer, and ordinals wallets hold thousands of tiny ones.
  static constexpr std::int64_t maxInscriptions = 300;

  // The sources of the artist path; an absent one is skipped there.
  struct ArtistSources {
    // The Tezos creations.
    std::shared_ptr<const ObjktProvider> objkt{};
    // Discovered series and hand-entered contracts.
    std::shared_ptr<const BlockscoutProvider> blockscout{};
    // The collections the artist created on OpenSea.
    std::optional<OpenSeaProvider> openSea{};
    // The IPFS gateways the listed works' metadata documents come through.
    std::vector<std::string> gateways{};
  };

  explicit SyncEngine(Providers providers) : providers(std::move(providers)) {}
  SyncEngine(Providers providers, ArtistSources artistSources)
      : providers(std::move(providers)), artistSources(std::move(artistSources)) {}

  Providers providers;
  ArtistSources artistSources{};

  // objkt, TzKT, the EVM indexer, Blockscout and the Ordinals provider, in
  // that order, on one client, plus the artist path's sources: the same
  // objkt and Blockscout, and an OpenSea client sharing the key store and
  // name cache with the EVM indexer's.
  static SyncEngine standard(const HTTPClient& http, std::string_view bitcoinIndexer);
  static SyncEngine standard(const HTTPClient& http, std::string_view bitcoinIndexer, const Services& services);

  // The artist path for an artist wallet, else sync(address, chains).
  SyncResult sync(const Wallet& wallet, std::stop_token stop = {}) const;
  // The collector result of the address on those chains.
  SyncResult sync(const std::string& address, const std::vector<Chain>& chains, std::stop_token stop = {}) const;
  // The first provider that succeeds on the chain, or the error to report.
  ChainOutcome syncChain(const std::string& address, Chain chain, std::stop_token stop = {}) const;

  // "<label>: <plain sentence of the error>".
  static std::string errorLine(std::string_view label, std::exception_ptr error);

  // The chain and contract of a hand-entered collection contract: "base:0x…"
  // or a bare address (read on Ethereum).
  struct ContractEntry {
    Chain chain = Chain::ethereum;
    std::string contract{};
    friend bool operator==(const ContractEntry&, const ContractEntry&) = default;
  };
  static ContractEntry parseContractEntry(std::string_view entry);
  // "Base 0x1234ab…": the chain's name and the contract's first 8 characters.
  static std::string contractLabel(const ContractEntry& entry);

 private:
  SyncResult syncArtist(const Wallet& wallet, std::stop_token stop) const;
};

}  // namespace tavolune
