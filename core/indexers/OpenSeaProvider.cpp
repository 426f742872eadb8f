#include "core/indexers/OpenSeaProvider.hpp"

#include "core/indexers/EVMContracts.hpp"
#include "core/indexers/EVMIndexer.hpp"
#include "core/indexers/Heuristics.hpp"
#include "core/indexers/PathInput.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/network/URLMake.hpp"
#include "core/text/Text.hpp"

#include <unordered_set>

namespace tavolune {
namespace {

std::string pageURL(const std::string& base, const url::QueryPairs& pairs) {
  auto url = url::make(base, pairs);
  if (!url) throw TavoluneError::invalidInput(base);
  return url->string();
}

}  // namespace

std::optional<std::string> OpenSeaProvider::CollectionNames::name(const std::string& slug) const {
  std::lock_guard lock(mutex_);
  auto it = names_.find(slug);
  if (it == names_.end()) return std::nullopt;
  return it->second;
}

void OpenSeaProvider::CollectionNames::store(const std::string& slug, std::string name) {
  std::lock_guard lock(mutex_);
  names_[slug] = std::move(name);
}

OpenSeaProvider::OpenSeaProvider(HTTPClient http, std::shared_ptr<OpenSeaKeyStore> keys, std::string apiBase)
    : http_(std::move(http)),
      keys_(std::move(keys)),
      names_(std::make_shared<CollectionNames>()),
      apiBase_(url::withoutTrailingSlash(std::move(apiBase))) {}

JSONValue OpenSeaProvider::getJSON(const std::string& url, std::stop_token stop) const {
  for (int attempt = 0;; ++attempt) {
    std::string key = keys_->key(http_, stop);
    auto parsed = Url::parse(url);
    if (!parsed) throw TavoluneError::invalidInput(url);
    try {
      return http_.getJSON<JSONValue>(*parsed, {{"X-API-KEY", key}}, requestTimeout, stop);
    } catch (const TavoluneError& e) {
      if (!e.isHTTP(401) || attempt > 0) throw;
      keys_->invalidate();
    }
  }
}

std::optional<std::string> OpenSeaProvider::collectionName(const std::string& slug, std::stop_token stop) const {
  if (auto known = names_->name(slug)) return known;
  std::optional<std::string> name;
  try {
    name = getJSON(apiBase_ + "/api/v2/collections/" + PathInput::segment(slug), stop)["name"].string();
  } catch (...) {
    return std::nullopt;
  }
  if (!name) return std::nullopt;
  names_->store(slug, *name);
  return name;
}

std::vector<OpenSeaProvider::CreatedCollection> OpenSeaProvider::createdCollections(const std::string& address,
                                                                                  std::stop_token stop) const {
  JSONValue account = getJSON(apiBase_ + "/api/v2/accounts/" + PathInput::evmAddress(address), stop);
  auto username = account["username"].string();
  if (!username) return {};

  const std::string base = apiBase_ + "/api/v2/collections";
  const url::QueryPairs first{{"creator_username", *username}, {"limit", "100"}};
  std::vector<CreatedCollection> result;
  std::optional<std::string> cursor;
  while (true) {
    url::QueryPairs pairs = first;
    if (cursor) pairs.emplace_back("next", *cursor);
    JSONValue page = getJSON(pageURL(base, pairs), stop);
    for (const auto& element : page["collections"].array()) {
      const auto* members = element.objectValue();
      if (!members || members->empty()) continue;
      auto slug = element["collection"].string();
      const JSONValue& entry = element["contracts"][0];
      const auto* entryMembers = entry.objectValue();
      if (!slug || !entryMembers || entryMembers->empty()) continue;
      auto chainText = entry["chain"].string();
      auto chainValue = chainText ? chain(*chainText) : std::nullopt;
      auto contract = entry["address"].string();
      if (!chainValue || !contract) continue;
      result.push_back({.slug = *slug,
                        .name = element["name"].string().value_or(*slug),
                        .chain = *chainValue,
                        .contract = text::lowercased(*contract)});
    }
    auto next = page["next"].string();
    // A cursor handed back unchanged would return the same page forever.
    if (!next || next == cursor || result.size() >= maxCreatedCollections) return result;
    cursor = std::move(next);
  }
}

std::vector<OpenSeaProvider::ListedNFT> OpenSeaProvider::listed(const CreatedCollection& collection,
                                                                const std::optional<std::string>& artist,
                                                                std::int64_t limit, std::stop_token stop) const {
  const std::string base = apiBase_ + "/api/v2/collection/" + PathInput::segment(collection.slug) + "/nfts";
  std::vector<ListedNFT> result;
  std::optional<std::string> cursor;
  while (true) {
    url::QueryPairs pairs{{"limit", "200"}};
    if (cursor) pairs.emplace_back("next", *cursor);
    JSONValue page = getJSON(pageURL(base, pairs), stop);
    for (const auto& element : page["nfts"].array()) {
      if (auto owned = map(element, collection, artist)) {
        result.push_back({std::move(*owned), element["metadata_url"].string()});
      }
    }
    auto next = page["next"].string();
    if (!next || next == cursor || static_cast<std::int64_t>(result.size()) >= limit) return result;
    cursor = std::move(next);
  }
}

std::vector<OwnedArtwork> OpenSeaProvider::artworks(const CreatedCollection& collection,
                                                    const std::optional<std::string>& artist, std::int64_t limit,
                                                    const std::vector<std::string>& gateways,
                                                    std::stop_token stop) const {
  return EVMIndexer::enrichAll(listed(collection, artist, limit, stop), http_, gateways, stop);
}

std::vector<OpenSeaProvider::ListedNFT> OpenSeaProvider::owned(const std::string& address, Chain chainValue,
                                                               std::stop_token stop) const {
  auto id = identifier(chainValue);
  if (!id) return {};
  const std::string base =
      apiBase_ + "/api/v2/chain/" + std::string(*id) + "/account/" + PathInput::evmAddress(address) + "/nfts";

  std::vector<JSONValue> entries;
  std::optional<std::string> cursor;
  while (true) {
    url::QueryPairs pairs{{"limit", "200"}};
    if (cursor) pairs.emplace_back("next", *cursor);
    JSONValue page = getJSON(pageURL(base, pairs), stop);
    if (!page.isObject()) break;
    for (const auto& entry : page["nfts"].array()) entries.push_back(entry);
    auto next = page["next"].string();
    if (!next || next == cursor || entries.size() >= maxOwnedEntries) break;
    cursor = std::move(next);
  }

  // Names of the collections met, one look-up at a time.
  std::map<std::string, std::string> remembered;
  std::unordered_set<std::string> asked;
  for (const auto& entry : entries) {
    if (!entry.isObject()) continue;
    auto slug = entry["collection"].string();
    if (!slug || !asked.insert(*slug).second) continue;
    if (auto name = collectionName(*slug, stop)) remembered.emplace(*slug, std::move(*name));
  }

  std::vector<ListedNFT> result;
  result.reserve(entries.size());
  for (const auto& entry : entries) {
    const auto* members = entry.objectValue();
    if (!members || members->empty()) continue;
    auto contract = entry["contract"].string();
    if (!contract) continue;
    auto slug = entry["collection"].string();
    std::string name;
    if (slug) {
      auto it = remembered.find(*slug);
      name = it != remembered.end() ? it->second : *slug;
    }
    CreatedCollection collection{.slug = slug.value_or(*contract),
                                 .name = name,
                                 .chain = chainValue,
                                 .contract = text::lowercased(*contract)};
    auto owned = map(entry, collection, std::nullopt);
    if (!owned) continue;
    if (name.empty()) owned->artwork.collection.reset();
    result.push_back({std::move(*owned), entry["metadata_url"].string()});
  }
  return result;
}

std::optional<OwnedArtwork> OpenSeaProvider::map(const JSONValue& item, const CreatedCollection& collection,
                                                 const std::optional<std::string>& artist) {
  const auto* members = item.objectValue();
  if (!members || members->empty()) return std::nullopt;
  auto tokenId = item["identifier"].string();
  if (!tokenId) return std::nullopt;
  if (item["is_disabled"].asBool() == true) return std::nullopt;

  std::string contract = text::lowercased(item["contract"].string().value_or(collection.contract));
  auto animation = item["display_animation_url"].string();
  if (!animation) animation = item["animation_url"].string();
  auto image = item["display_image_url"].string();
  if (!image) image = item["image_url"].string();
  auto page = item["opensea_url"].string();

  MediaKind kind = Heuristics::mediaKind(std::nullopt, animation);
  if (kind == MediaKind::other) kind = MediaKind::image;

  std::string title;
  if (auto name = item["name"].string()) title = text::trimHorizontalWhitespace(*name);
  if (title.empty()) title = collection.name + " #" + *tokenId;

  std::optional<std::string> credited = artist ? artist : Heuristics::artist(nullptr, collection.name);
  Platform platform = EVMContracts::platform(contract, std::nullopt, animation, page);
  if (kind == MediaKind::image) animation.reset();
  auto edition = Heuristics::editionNumber(title);

  Artwork artwork = Artwork::make({
      .chain = collection.chain,
      .contract = contract,
      .tokenId = *tokenId,
      .title = std::move(title),
      .artist = std::move(credited),
      .collection = collection.name,
      .platform = platform,
      .mediaKind = kind,
      .imageURI = image,
      .thumbnailURI = image,
      .animationURI = std::move(animation),
      .externalURL = std::move(page),
      .editionNumber = std::move(edition),
      .isSpam = false,
      .description = item["description"].string(),
  });
  return OwnedArtwork{std::move(artwork), 1};
}

std::optional<Chain> OpenSeaProvider::chain(std::string_view identifier) {
  if (identifier == "ethereum") return Chain::ethereum;
  if (identifier == "base") return Chain::base;
  if (identifier == "optimism") return Chain::optimism;
  if (identifier == "arbitrum") return Chain::arbitrum;
  if (identifier == "matic" || identifier == "polygon") return Chain::polygon;
  return std::nullopt;
}

std::optional<std::string_view> OpenSeaProvider::identifier(Chain chain) {
  switch (chain) {
    case Chain::ethereum: return "ethereum";
    case Chain::base: return "base";
    case Chain::optimism: return "optimism";
    case Chain::arbitrum: return "arbitrum";
    case Chain::polygon: return "matic";
    case Chain::tezos:
    case Chain::bitcoin: return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace tavolune
