#include "core/indexers/BlockscoutProvider.hpp"

#include "core/concurrency/BatchWorkers.hpp"
#include "core/indexers/EVMContracts.hpp"
#include "core/indexers/Heuristics.hpp"
#include "core/indexers/PathInput.hpp"
#include "core/base/Hosts.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/network/URLMake.hpp"
#include "core/text/Text.hpp"

#include <charconv>
#include <cmath>

namespace tavolune {
namespace {

// Image storage of a generative-art platform whose full-size renders sit
// under "/max/" beside thumbnails under "/thumb/".
constexpr std::string_view generativeImageHosts[] = {hosts::artBlocksMedia, hosts::artBlocksOldMedia};

constexpr std::string_view htmlMIME = "text/html";

std::optional<std::string> textOf(const JSONValue& v) { return v.string(); }

template <class... More>
std::optional<std::string> firstText(const JSONValue& v, const More&... more) {
  if (auto t = v.string()) return t;
  if constexpr (sizeof...(More) > 0) {
    return firstText(more...);
  } else {
    return std::nullopt;
  }
}

// A signed decimal integer, whole text; "+" allowed as sign.
std::optional<std::int64_t> readInteger(std::string_view s) {
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return std::nullopt;
  }
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return value;
}

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
}

Url parseOrThrow(const std::string& text) {
  auto url = Url::parse(text);
  if (!url) throw TavoluneError::invalidInput(text);
  return *url;
}

Url makeOrThrow(const std::string& base, const url::QueryPairs& pairs) {
  auto url = url::make(base, pairs);
  if (!url) throw TavoluneError::invalidInput(base);
  return *url;
}

}  // namespace

BlockscoutProvider::Page BlockscoutProvider::Page::fromJSONValue(const JSONValue& value) {
  if (!value.isObject()) throw json::DecodeError("a page must be an object");
  const JSONValue* items = value.get("items");
  if (!items || !items->isArray()) throw json::DecodeError("\"items\" must be a list");
  Page page;
  page.items = *items->arrayValue();
  if (const JSONValue* next = value.get("next_page_params"); next && !next->isNull()) {
    if (!next->isObject()) throw json::DecodeError("\"next_page_params\" must be an object or null");
    page.next_page_params = *next->objectValue();
  }
  return page;
}

BlockscoutProvider::BlockscoutProvider(HTTPClient http, Explorers explorers, Clock clock)
    : http_(std::move(http)), clock_(std::move(clock)) {
  for (auto& [chain, base] : explorers) explorers_.emplace(chain, url::withoutTrailingSlash(std::move(base)));
}

const BlockscoutProvider::Explorers& BlockscoutProvider::defaultExplorers() {
  static const Explorers explorers{
      {Chain::ethereum, std::string(hosts::blockscoutEthereum)},
      {Chain::base, std::string(hosts::blockscoutBase)},
      {Chain::optimism, std::string(hosts::blockscoutOptimism)},
      {Chain::arbitrum, std::string(hosts::blockscoutArbitrum)},
      {Chain::polygon, std::string(hosts::blockscoutPolygon)},
  };
  return explorers;
}

bool BlockscoutProvider::supports(Chain chain) const { return family(chain) == ChainFamily::evm; }

std::optional<std::string> BlockscoutProvider::base(Chain chain) const {
  if (family(chain) != ChainFamily::evm) return std::nullopt;
  auto it = explorers_.find(chain);
  if (it == explorers_.end()) return std::nullopt;
  return it->second;
}

std::vector<OwnedArtwork> BlockscoutProvider::tokens(const std::string& owner, Chain chain,
                                                     std::stop_token stop) const {
  auto host = base(chain);
  if (!host) return {};
  const std::string path = *host + "/api/v2/addresses/" + PathInput::evmAddress(owner) + "/nft";

  std::vector<OwnedArtwork> result;
  url::QueryPairs cursor;
  std::optional<JSONValue::Object> previous;
  for (int page = 0;; ++page) {
    url::QueryPairs pairs{{"type", "ERC-721,ERC-1155"}};
    pairs.insert(pairs.end(), cursor.begin(), cursor.end());
    auto answer = http_.getJSON<Page>(makeOrThrow(path, pairs), {}, listTimeout, stop);
    for (const auto& item : answer.items) {
      if (auto owned = map(item, chain)) result.push_back(std::move(*owned));
    }
    if (!answer.next_page_params || answer.next_page_params->empty()) return result;
    // A service that hands back the cursor it was just given would repeat
    // the same page until the page limit; the map compare ignores key order.
    if (previous && *previous == *answer.next_page_params) return result;
    cursor.clear();
    for (const auto& [key, value] : *answer.next_page_params) {
      if (auto t = value.string()) cursor.emplace_back(key, *t);
    }
    if (page == maxTokenPages - 1) return result;
    previous = std::move(answer.next_page_params);
  }
}

std::vector<OwnedArtwork> BlockscoutProvider::collection(const std::string& contract, Chain chain,
                                                         std::int64_t limit, std::stop_token stop) const {
  auto host = base(chain);
  if (!host || limit <= 0) return {};
  const std::string path = *host + "/api/v2/tokens/" + PathInput::evmAddress(contract) + "/instances";

  std::vector<OwnedArtwork> result;
  std::optional<std::string> cursor;
  while (true) {
    url::QueryPairs pairs;
    if (cursor) pairs.emplace_back("unique_token", *cursor);
    auto answer = http_.getJSON<Page>(makeOrThrow(path, pairs), {}, listTimeout, stop);
    for (const auto& item : answer.items) {
      if (auto owned = map(item, chain)) {
        owned->quantity = 1;
        result.push_back(std::move(*owned));
      }
    }
    if (!answer.next_page_params || answer.next_page_params->empty() || answer.items.empty()) return result;
    auto next = answer.items.back()["id"].string();
    if (!next || (cursor && *cursor == *next)) return result;
    cursor = std::move(next);
    if (static_cast<std::int64_t>(result.size()) >= limit) return result;
  }
}

std::vector<OwnedArtwork> BlockscoutProvider::project(const std::string& contract, Chain chain,
                                                      std::int64_t project, std::int64_t limit,
                                                      std::stop_token stop) const {
  auto host = base(chain);
  if (!host) return {};
  if (limit <= 0) return {};
  PathInput::evmAddress(contract);

  // The token id of number n, or nothing when project * 1,000,000 + n does
  // not fit in 64 bits or is negative: such a work is left out unasked.
  auto tokenNumber = [project](std::int64_t n) -> std::optional<std::int64_t> {
    std::int64_t baseId = 0;
    std::int64_t id = 0;
    if (__builtin_mul_overflow(project, projectStride, &baseId)) return std::nullopt;
    if (__builtin_add_overflow(baseId, n, &id)) return std::nullopt;
    if (id < 0) return std::nullopt;
    return id;
  };

  std::vector<OwnedArtwork> result;
  int misses = 0;
  std::int64_t start = 0;
  std::int64_t end = std::min<std::int64_t>(limit, static_cast<std::int64_t>(projectBatch));
  BatchWorkers workers(projectBatch);
  while (true) {
    const auto count = static_cast<std::size_t>(end - start);
    std::vector<std::optional<OwnedArtwork>> found(count);
    std::stop_source batchStop;
    std::stop_callback forward(stop, [&batchStop] { batchStop.request_stop(); });
    auto errors = workers.run(count, [&](std::size_t i) {
      auto id = tokenNumber(start + static_cast<std::int64_t>(i));
      if (!id) return;
      try {
        found[i] = instance(contract, std::to_string(*id), chain, batchStop.get_token());
      } catch (...) {
        batchStop.request_stop();
        throw;
      }
    });
    // The first real failure wins over the cancellations it caused.
    std::exception_ptr failure;
    for (auto& e : errors) {
      if (!e) continue;
      try {
        std::rethrow_exception(e);
      } catch (const CancellationError&) {
        if (!failure) failure = e;
      } catch (...) {
        failure = e;
        break;
      }
    }
    if (failure) std::rethrow_exception(failure);

    for (auto& artwork : found) {
      if (artwork) {
        result.push_back(std::move(*artwork));
        misses = 0;
      } else if (++misses >= projectMissesToStop) {
        break;
      }
    }
    clock_.sleep(projectPause, stop);
    if (end >= limit || misses >= projectMissesToStop) return result;
    start = end;
    end = end + std::min<std::int64_t>(limit - end, static_cast<std::int64_t>(projectBatch));
  }
}

std::optional<OwnedArtwork> BlockscoutProvider::instance(const std::string& contract, const std::string& id,
                                                         Chain chain, std::stop_token stop) const {
  auto host = base(chain);
  if (!host) return std::nullopt;
  Url url = parseOrThrow(*host + "/api/v2/tokens/" + PathInput::evmAddress(contract) + "/instances/" +
                         PathInput::tokenId(id));
  try {
    return map(http_.getJSON<JSONValue>(url, {}, instanceTimeout, stop), chain);
  } catch (const TavoluneError& e) {
    if (e.isHTTP(404)) return std::nullopt;
    throw;
  }
}

std::optional<std::string> BlockscoutProvider::explorerURL(Chain chain, std::string_view contract,
                                                           std::string_view tokenId) {
  const auto& explorers = defaultExplorers();
  auto it = explorers.find(chain);
  if (it == explorers.end()) return std::nullopt;
  std::string link = it->second;
  link += "/token/";
  link += contract;
  link += "/instance/";
  link += tokenId;
  return link;
}

std::optional<OwnedArtwork> BlockscoutProvider::map(const JSONValue& item, Chain chain) {
  const auto* members = item.objectValue();
  if (!members || members->empty()) return std::nullopt;
  const JSONValue& token = item["token"];
  if (!token.isObject()) return std::nullopt;
  // Newer explorers name the contract "address_hash", older ones "address".
  auto contract = firstText(token["address_hash"], token["address"]);
  auto tokenId = textOf(item["id"]);
  if (!contract || !tokenId) return std::nullopt;

  const bool hasMetadata = item.get("metadata") != nullptr;
  const JSONValue& md = item["metadata"];  // null (no members) when not an object

  auto collection = firstText(md["collection_name"], token["name"]);

  std::string title;
  if (auto name = textOf(md["name"])) title = text::trimHorizontalWhitespace(*name);
  if (title.empty()) title = collection.value_or("Token") + " #" + *tokenId;

  auto image = firstText(md["image"], md["image_url"], item["image_url"]);

  auto animation = firstText(md["animation_url"], item["animation_url"]);
  if (!animation && md["is_static"].asBool() == false) animation = textOf(md["generator_url"]);

  auto external = firstText(md["external_url"], md["website"]);

  std::optional<std::string> thumbnail;
  if (image) {
    bool generativeStorage = false;
    for (auto host : generativeImageHosts) generativeStorage = generativeStorage || image->find(host) != std::string::npos;
    thumbnail = *image;
    if (generativeStorage) {
      replaceAll(*thumbnail, "/max/", "/thumb/");
      if (!animation && external && external->find("/html_files/") != std::string::npos) animation = external;
    }
  }

  auto symbol = textOf(token["symbol"]);
  Platform platform = EVMContracts::platform(*contract, symbol, animation, external);

  std::optional<std::string> mime;
  if (auto format = textOf(md["animation_details"]["format"])) {
    std::string f = text::lowercased(*format);
    if (f == "mp4" || f == "webm" || f == "mov") {
      mime = "video/mp4";
    } else if (f == "html") {
      mime = std::string(htmlMIME);
    }
  }

  MediaKind kind = Heuristics::mediaKind(mime, animation);

  auto artist = firstText(md["artist"], md["created_by"], md["creator"]);
  if (!artist) artist = Heuristics::artist(md.get("attributes"), collection);

  bool spam = false;
  auto reputation = textOf(token["reputation"]);
  if ((reputation && (text::lowercased(*reputation) == "scam" || text::lowercased(*reputation) == "spam")) ||
      item["is_scam"].asBool() == true || token["is_scam"].asBool() == true) {
    spam = true;
  } else if (!hasMetadata && !image && !animation) {
    spam = true;
  } else if (artist) {
    spam = false;
  } else {
    spam = Heuristics::looksLikeSpam({title, collection, textOf(md["description"])});
  }

  auto edition = Heuristics::editionNumber(title);
  if (!edition && (platform == Platform::artBlocks || platform == Platform::brightMoments)) {
    if (auto number = readInteger(*tokenId)) edition = std::to_string(*number % projectStride);
  }

  std::optional<double> aspect;
  if (const JSONValue& ratio = md["aspect_ratio"]; ratio.isNumber() || ratio.isString()) aspect = ratio.asDouble();
  // A ratio of zero, below zero or not finite would break every layout.
  if (aspect && (!std::isfinite(*aspect) || *aspect <= 0)) aspect.reset();

  std::int64_t quantity = readInteger(textOf(item["value"]).value_or("1")).value_or(1);

  std::string lowerContract = text::lowercased(*contract);
  Artwork artwork = Artwork::make({
      .chain = chain,
      .contract = lowerContract,
      .tokenId = *tokenId,
      .title = std::move(title),
      .artist = std::move(artist),
      .collection = std::move(collection),
      .platform = platform,
      .mediaKind = kind,
      .mime = std::move(mime),
      .imageURI = std::move(image),
      .thumbnailURI = std::move(thumbnail),
      .animationURI = kind == MediaKind::image ? std::nullopt : std::move(animation),
      .externalURL = external ? std::move(external) : explorerURL(chain, *contract, *tokenId),
      .aspectRatio = aspect,
      .editionNumber = std::move(edition),
      .isSpam = spam,
      .description = textOf(md["description"]),
  });
  return OwnedArtwork{std::move(artwork), quantity};
}

}  // namespace tavolune
