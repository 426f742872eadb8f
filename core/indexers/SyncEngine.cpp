#include "core/indexers/SyncEngine.hpp"

#include "core/concurrency/SlidingWindow.hpp"
#include "core/indexers/ArtistDiscovery.hpp"
#include "core/indexers/EVMIndexer.hpp"
#include "core/indexers/OpenSeaKeyStore.hpp"
#include "core/indexers/OrdProvider.hpp"
#include "core/indexers/TzKTProvider.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"
#include "core/text/Text.hpp"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tavolune {
namespace {

bool isCancellation(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const CancellationError&) {
    return true;
  } catch (...) {
    return false;
  }
}

// 429 (rate limit) and 403 (refused): the service did not let us look.
bool isRefusal(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const TavoluneError& e) {
    return e.isHTTP(429) || e.isHTTP(403);
  } catch (...) {
    return false;
  }
}

// A failed read on these chains may hide most of a collection; on the
// others the merge only keeps what it could not confirm chain by chain.
bool failureMakesPartial(Chain chain) {
  return chain == Chain::ethereum || chain == Chain::tezos || chain == Chain::bitcoin;
}

// Works keyed by artwork id, in the order first stored.
class WorkSet {
 public:
  // Keeps the stored entry; the larger quantity wins.
  void keepFirst(const OwnedArtwork& work) {
    auto [it, inserted] = index_.try_emplace(work.artwork.id, works_.size());
    if (inserted) {
      works_.push_back(work);
    } else {
      auto& stored = works_[it->second];
      stored.quantity = std::max(stored.quantity, work.quantity);
    }
  }
  // The later entry replaces the stored one, quantity included.
  void replace(OwnedArtwork work) {
    auto [it, inserted] = index_.try_emplace(work.artwork.id, works_.size());
    if (inserted) {
      works_.push_back(std::move(work));
    } else {
      works_[it->second] = std::move(work);
    }
  }
  std::vector<OwnedArtwork> take() && { return std::move(works_); }

 private:
  std::vector<OwnedArtwork> works_;
  std::unordered_map<std::string, std::size_t> index_;
};

std::vector<Chain> inCaseOrder(const std::vector<Chain>& chains) {
  std::vector<Chain> out;
  for (Chain c : allCases<Chain>()) {
    if (std::find(chains.begin(), chains.end(), c) != chains.end()) out.push_back(c);
  }
  return out;
}

}  // namespace

SyncEngine::Services SyncEngine::Services::real() {
  return {.objktEndpoint = ObjktProvider::defaultEndpoint(),
          .tzktAPI = TzKTProvider::defaultAPIBase(),
          .openSeaAPI = OpenSeaKeyStore::defaultAPIBase(),
          .explorers = BlockscoutProvider::defaultExplorers(),
          .openSeaKeyFile = OpenSeaKeyStore::defaultURL(),
          .gateways = IPFSGateways::defaults(),
          .clock = Clock()};
}

SyncEngine SyncEngine::standard(const HTTPClient& http, std::string_view bitcoinIndexer) {
  return standard(http, bitcoinIndexer, Services::real());
}

SyncEngine SyncEngine::standard(const HTTPClient& http, std::string_view bitcoinIndexer, const Services& services) {
  // One key store and one name cache, shared by both OpenSea clients.
  auto keys = std::make_shared<OpenSeaKeyStore>(services.openSeaKeyFile, services.openSeaAPI, services.clock);
  const OpenSeaProvider openSea(http, keys, services.openSeaAPI);
  auto blockscout = std::make_shared<const BlockscoutProvider>(http, services.explorers, services.clock);
  auto objkt = std::make_shared<const ObjktProvider>(http, services.objktEndpoint);

  auto ord = std::make_shared<OrdProvider>(std::string(bitcoinIndexer), http);
  ord->maxInscriptions = static_cast<std::size_t>(maxInscriptions);

  return SyncEngine({objkt, std::make_shared<TzKTProvider>(http, services.tzktAPI),
                     std::make_shared<EVMIndexer>(openSea, *blockscout, http, services.clock, services.gateways),
                     blockscout, std::move(ord)},
                    ArtistSources{.objkt = objkt, .blockscout = blockscout, .openSea = openSea,
                                  .gateways = services.gateways});
}

std::string SyncEngine::errorLine(std::string_view label, std::exception_ptr error) {
  std::string line(label);
  line += ": ";
  line += TavoluneError::plain(std::move(error));
  return line;
}

SyncEngine::ChainOutcome SyncEngine::syncChain(const std::string& address, Chain chain, std::stop_token stop) const {
  ChainOutcome outcome;
  outcome.error = std::make_exception_ptr(TavoluneError::allProvidersFailed(std::string(displayName(chain))));
  for (const auto& provider : providers) {
    if (!provider || !provider->supports(chain)) continue;
    if (stop.stop_requested()) {
      outcome.error = std::make_exception_ptr(CancellationError());
      return outcome;
    }
    try {
      outcome.owned = provider->tokens(address, chain, stop);
      outcome.error = nullptr;
      return outcome;
    } catch (...) {
      outcome.error = std::current_exception();
      // A cancelled sync asks nobody else.
      if (isCancellation(outcome.error)) return outcome;
    }
  }
  return outcome;
}

SyncResult SyncEngine::sync(const std::string& address, const std::vector<Chain>& chains, std::stop_token stop) const {
  struct Finished {
    std::size_t index;
    ChainOutcome outcome;
  };
  std::vector<Finished> finished;
  try {
    finished = slidingWindow<Finished>(
        chains.size(), maxParallelChains,
        [&](std::size_t i, std::stop_token token) -> std::optional<Finished> {
          return Finished{i, syncChain(address, chains[i], token)};
        },
        stop);
  } catch (...) {
    // syncChain catches what providers throw; only resource exhaustion
    // lands here. Whatever finished is lost, so every chain counts as failed.
    finished.clear();
    const auto error = std::current_exception();
    for (std::size_t i = 0; i < chains.size(); ++i) finished.push_back({i, {{}, error}});
  }
  // Chains a stop request kept from starting count as failed, never as
  // read and empty.
  std::vector<bool> seen(chains.size(), false);
  for (const auto& f : finished) seen[f.index] = true;
  for (std::size_t i = 0; i < chains.size(); ++i) {
    if (!seen[i]) finished.push_back({i, {{}, std::make_exception_ptr(CancellationError())}});
  }

  WorkSet works;
  SyncResult result;
  std::vector<Chain> unchecked;
  std::vector<Chain> failed;
  for (const auto& [index, outcome] : finished) {
    const Chain chain = chains[index];
    if (outcome.succeeded()) {
      for (const auto& work : outcome.owned) works.keepFirst(work);
      continue;
    }
    if (failureMakesPartial(chain)) {
      result.errors.push_back(errorLine(displayName(chain), outcome.error));
      result.partial = true;
      failed.push_back(chain);
    } else if (isRefusal(outcome.error)) {
      unchecked.push_back(chain);
    } else {
      result.errors.push_back(errorLine(displayName(chain), outcome.error));
      failed.push_back(chain);
    }
  }
  result.owned = std::move(works).take();
  std::sort(result.errors.begin(), result.errors.end());
  result.unchecked = inCaseOrder(unchecked);
  result.failedChains = inCaseOrder(failed);
  return result;
}

SyncResult SyncEngine::sync(const Wallet& wallet, std::stop_token stop) const {
  try {
    if (wallet.role == WalletRole::artist) return syncArtist(wallet, stop);
    return sync(wallet.address, wallet.chains, stop);
  } catch (...) {
    // Only resource exhaustion gets here; the engine reports, never throws.
    return SyncResult({}, {errorLine(wallet.label, std::current_exception())}, true);
  }
}

SyncEngine::ContractEntry SyncEngine::parseContractEntry(std::string_view entry) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start <= entry.size()) {
    std::size_t colon = entry.find(':', start);
    if (colon == std::string_view::npos) colon = entry.size();
    if (colon > start) pieces.push_back(entry.substr(start, colon - start));
    start = colon + 1;
  }
  ContractEntry out;
  if (pieces.size() == 2) {
    if (auto chain = fromRawValue<Chain>(pieces.front())) out.chain = *chain;
  }
  out.contract = pieces.empty() ? std::string(entry) : std::string(pieces.back());
  return out;
}

std::string SyncEngine::contractLabel(const ContractEntry& entry) {
  std::string label(displayName(entry.chain));
  label += ' ';
  label += text::prefixCharacters(entry.contract, 8);
  label += "\u2026";
  return label;
}

SyncResult SyncEngine::syncArtist(const Wallet& wallet, std::stop_token stop) const {
  using Job = std::function<std::vector<OwnedArtwork>(std::stop_token)>;
  struct Read {
    std::string label;
    Job job;
  };
  std::vector<Read> reads;
  std::vector<std::string> discovered;

  if (wallet.family == ChainFamily::tezos) {
    if (auto objkt = artistSources.objkt) {
      reads.push_back({"Tezos", [objkt, address = wallet.address](std::stop_token token) {
                         return objkt->creations(address, objktCreationsLimit, token);
                       }});
    }
  }

  const auto& blockscout = artistSources.blockscout;
  const auto& openSea = artistSources.openSea;
  if (blockscout) {
    if (wallet.family == ChainFamily::evm) {
      const std::vector<std::string> names = ArtistDiscovery::names(wallet);
      const SyncResult held = sync(wallet.address, wallet.chains, stop);
      std::unordered_set<std::string> signedContracts;
      if (wallet.collectionContracts) {
        for (const auto& entry : *wallet.collectionContracts) {
          signedContracts.insert(text::lowercased(parseContractEntry(entry).contract));
        }
      }
      const auto series = ArtistDiscovery::series(held.owned, names);
      std::unordered_set<std::string> seenNames;

      if (openSea) {
        std::optional<std::vector<OpenSeaProvider::CreatedCollection>> collections;
        try {
          collections = openSea->createdCollections(wallet.address, stop);
        } catch (...) {
          // Without the created collections the series still get read.
        }
        if (collections) {
          std::optional<std::string> credit;
          for (const auto& o : held.owned) {
            const auto& artist = o.artwork.artist;
            if (artist && ArtistDiscovery::isSigned(artist, names) && artist->find(" x ") == std::string::npos) {
              credit = artist;
              break;
            }
          }
          if (!credit) credit = wallet.label;
          for (const auto& collection : *collections) {
            if (signedContracts.contains(collection.contract)) continue;
            seenNames.insert(ArtistDiscovery::normalize(collection.name));
            discovered.push_back(collection.name);
            reads.push_back({collection.name, [client = *openSea, collection, credit,
                                               gateways = artistSources.gateways](std::stop_token token) {
                               return client.artworks(collection, credit, listedLimit, gateways, token);
                             }});
          }
        }
      }

      for (const auto& s : series) {
        if (signedContracts.contains(s.contract)) continue;
        if (seenNames.contains(ArtistDiscovery::normalize(s.name))) continue;
        discovered.push_back(s.name);
        if (s.project) {
          reads.push_back({s.name, [blockscout, s](std::stop_token token) {
                             return blockscout->project(s.contract, s.chain, *s.project, projectLimit, token);
                           }});
        } else {
          reads.push_back({s.name, [blockscout, s, names](std::stop_token token) {
                             auto works = blockscout->collection(s.contract, s.chain, collectionLimit, token);
                             std::erase_if(works, [&](const OwnedArtwork& o) {
                               return o.artwork.artist && !ArtistDiscovery::isSigned(o.artwork.artist, names);
                             });
                             return works;
                           }});
        }
      }
    }

    if (wallet.collectionContracts) {
      for (const auto& text : *wallet.collectionContracts) {
        const ContractEntry entry = parseContractEntry(text);
        reads.push_back({contractLabel(entry), [blockscout, entry](std::stop_token token) {
                           return blockscout->collection(entry.contract, entry.chain, collectionLimit, token);
                         }});
      }
    }
  }

  WorkSet merged;
  SyncResult result;
  for (const auto& read : reads) {
    if (stop.stop_requested()) {
      // Nothing more is read; the merge must not take this as complete.
      result.errors.push_back(errorLine(read.label, std::make_exception_ptr(CancellationError())));
      continue;
    }
    try {
      for (auto& work : read.job(stop)) merged.replace(std::move(work));
    } catch (...) {
      result.errors.push_back(errorLine(read.label, std::current_exception()));
    }
  }
  result.owned = std::move(merged).take();
  std::sort(result.errors.begin(), result.errors.end());
  result.partial = !result.errors.empty();
  result.discovered = std::move(discovered);
  return result;
}

}  // namespace tavolune
