#include "core/indexers/EVMIndexer.hpp"

#include "core/concurrency/BatchWorkers.hpp"
#include "core/indexers/Heuristics.hpp"
#include "core/media/DataURL.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"
#include "core/text/Text.hpp"

#include <algorithm>
#include <cmath>

namespace tavolune {
namespace {

// A ratio of zero, below zero or not finite would break every layout.
std::optional<double> usableRatio(const JSONValue& value) {
  if (!value.isNumber() && !value.isString()) return std::nullopt;
  auto ratio = value.asDouble();
  if (!ratio || !std::isfinite(*ratio) || *ratio <= 0) return std::nullopt;
  return ratio;
}

OwnedArtwork applyDocument(const OwnedArtwork& listed, const JSONValue& doc) {
  OwnedArtwork out = listed;
  Artwork& a = out.artwork;
  if (!a.artist) {
    a.artist = doc["artist"].string();
    if (!a.artist) a.artist = doc["created_by"].string();
    if (!a.artist) {
      auto collection = doc["collection_name"].string();
      a.artist = Heuristics::artist(doc.get("attributes"), collection ? collection : a.collection);
    }
  }
  auto animation = doc["animation_url"].string();
  if (!animation) animation = doc["animation"].string();
  if (animation) {
    a.animationURI = animation;
    MediaKind kind = Heuristics::mediaKind(std::nullopt, animation);
    if (kind == MediaKind::generative || kind == MediaKind::video) a.mediaKind = kind;
  }
  if (!a.aspectRatio) a.aspectRatio = usableRatio(doc["aspect_ratio"]);
  auto image = doc["image"].string();
  if (!image) image = doc["image_url"].string();
  if (image) {
    a.imageURI = image;
    a.thumbnailURI = image;
  }
  if (!a.description) a.description = doc["description"].string();
  return out;
}

}  // namespace

EVMIndexer::EVMIndexer(OpenSeaProvider openSea, BlockscoutProvider blockscout, HTTPClient http, Clock clock,
                       std::vector<std::string> gateways)
    : openSea_(std::move(openSea)),
      blockscout_(std::move(blockscout)),
      http_(std::move(http)),
      clock_(std::move(clock)),
      gateways_(std::move(gateways)) {}

bool EVMIndexer::supports(Chain chain) const { return family(chain) == ChainFamily::evm; }

std::vector<OwnedArtwork> EVMIndexer::tokens(const std::string& owner, Chain chain, std::stop_token stop) const {
  std::vector<ListedNFT> listing = openSea_.owned(owner, chain, stop);
  std::vector<OwnedArtwork> result;
  if (listing.empty()) return result;
  result.reserve(listing.size());

  bool explorer = true;
  BatchWorkers workers(explorerBatch);
  for (std::size_t start = 0; start < listing.size(); start += explorerBatch) {
    const bool batchExplorer = explorer;
    const std::size_t count = std::min(explorerBatch, listing.size() - start);
    std::vector<std::optional<Outcome>> outcomes(count);
    auto errors = workers.run(count, [&](std::size_t i) {
      outcomes[i] = complete(listing[start + i], chain, batchExplorer, stop);
    });
    for (auto& e : errors) {
      if (e) std::rethrow_exception(e);
    }
    for (auto& outcome : outcomes) {
      explorer = explorer && outcome->explorerAnswered;
      result.push_back(std::move(outcome->artwork));
    }
    if (batchExplorer) {
      try {
        clock_.sleep(explorerPause, stop);
      } catch (const CancellationError&) {
        // A cancelled pause does not end the listing.
      }
    }
  }
  return result;
}

EVMIndexer::Outcome EVMIndexer::complete(const ListedNFT& item, Chain chain, bool useExplorer,
                                         std::stop_token stop) const {
  if (!useExplorer) return {enrich(item, http_, gateways_, stop), true};
  const Artwork& listed = item.owned.artwork;
  try {
    if (auto record = blockscout_.instance(listed.contract, listed.tokenId, chain, stop)) {
      return {merge(item.owned, record->artwork), true};
    }
  } catch (const TavoluneError& e) {
    if (e.isHTTP(403)) return {enrich(item, http_, gateways_, stop), false};
  } catch (...) {
    // Any other explorer failure: the metadata document instead.
  }
  return {enrich(item, http_, gateways_, stop), true};
}

OwnedArtwork EVMIndexer::enrich(const ListedNFT& item, const HTTPClient& http, const std::vector<std::string>& gateways,
                                std::stop_token stop) {
  if (!item.metadataURL) return item.owned;
  const std::string& uri = *item.metadataURL;
  try {
    // On-chain metadata: the document is inside the URI itself.
    if (text::lowercased(std::string_view(uri).substr(0, 5)) == "data:") {
      auto content = DataURL::decode(uri);
      if (!content) return item.owned;
      return applyDocument(item.owned, JSONValue::parse(content->data));
    }
    auto candidates = MediaResolver::httpCandidates(uri, gateways);
    if (candidates.size() > metadataCandidates) candidates.resize(metadataCandidates);
    // The token's maker names the address, or a folder on our gateways
    // whose redirects it names as well.
    HTTPClient client = http;
    client.publicAddressesOnly = true;
    client.ownServices = MediaResolver::onGateways(MediaResolver::parse(uri));
    for (const auto& candidate : candidates) {
      try {
        return applyDocument(item.owned, client.getJSON<JSONValue>(candidate, {}, metadataTimeout, stop));
      } catch (...) {
        // The next candidate.
      }
    }
  } catch (...) {
    // Nothing loads: the item stays as listed.
  }
  return item.owned;
}

std::vector<OwnedArtwork> EVMIndexer::enrichAll(const std::vector<ListedNFT>& items, const HTTPClient& http,
                                                const std::vector<std::string>& gateways, std::stop_token stop) {
  std::vector<OwnedArtwork> result;
  result.reserve(items.size());
  BatchWorkers workers(enrichBatch);
  for (std::size_t start = 0; start < items.size(); start += enrichBatch) {
    const std::size_t count = std::min(enrichBatch, items.size() - start);
    std::vector<std::optional<OwnedArtwork>> batch(count);
    auto errors = workers.run(count, [&](std::size_t i) { batch[i] = enrich(items[start + i], http, gateways, stop); });
    for (std::size_t i = 0; i < count; ++i) {
      // enrich never throws; should a thread fail to start, keep the item as listed.
      result.push_back(errors[i] || !batch[i] ? items[start + i].owned : std::move(*batch[i]));
    }
  }
  return result;
}

OwnedArtwork EVMIndexer::merge(const OwnedArtwork& listed, const Artwork& original) {
  OwnedArtwork out = listed;
  Artwork& a = out.artwork;
  if (original.artist) a.artist = original.artist;
  if (original.collection) a.collection = original.collection;
  if (original.platform != Platform::generic) a.platform = original.platform;
  if (original.animationURI) {
    a.animationURI = original.animationURI;
    a.mediaKind = original.mediaKind;
    if (original.mime) a.mime = original.mime;
  }
  if (original.imageURI) {
    a.imageURI = original.imageURI;
    a.thumbnailURI = original.thumbnailURI ? original.thumbnailURI : original.imageURI;
  }
  if (original.aspectRatio) a.aspectRatio = original.aspectRatio;
  if (original.editionNumber) a.editionNumber = original.editionNumber;
  a.isSpam = listed.artwork.isSpam || original.isSpam;
  if (original.description) a.description = original.description;
  return out;
}

}  // namespace tavolune
