#include "core/indexers/TzKTProvider.hpp"

#include "core/indexers/Heuristics.hpp"
#include "core/indexers/KeyedDecoding.hpp"
#include "core/indexers/TezosContracts.hpp"
#include "core/indexers/TezosTokenText.hpp"
#include "core/base/NumberText.hpp"
#include "core/base/Hosts.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/network/URLMake.hpp"
#include "core/text/Text.hpp"

#include <chrono>
#include <cmath>

namespace tavolune {

TzKTProvider::Balance TzKTProvider::Balance::fromJSONValue(const JSONValue& v) {
  keyed::expectObject(v, "balance");
  Balance b;
  b.balance = keyed::requiredString(v, "balance");
  const JSONValue* token = keyed::member(v, "token");
  if (!token) throw json::DecodeError("\"token\": missing");
  keyed::expectObject(*token, "token");
  const JSONValue* contract = keyed::member(*token, "contract");
  if (!contract) throw json::DecodeError("\"contract\": missing");
  keyed::expectObject(*contract, "contract");
  b.token.contract.address = keyed::requiredString(*contract, "address");
  b.token.contract.alias = keyed::optionalString(*contract, "alias");
  b.token.tokenId = keyed::requiredString(*token, "tokenId");
  b.token.totalSupply = keyed::optionalString(*token, "totalSupply");
  if (const JSONValue* metadata = keyed::member(*token, "metadata")) b.token.metadata = *metadata;
  b.token.firstTime = keyed::optionalString(*token, "firstTime");
  return b;
}

TzKTProvider::TzKTProvider(HTTPClient http, std::string apiBase)
    : http_(std::move(http)), apiBase_(url::withoutTrailingSlash(std::move(apiBase))) {}

std::string TzKTProvider::defaultAPIBase() { return std::string(hosts::tzktAPI); }

Url TzKTProvider::pageURL(const std::string& owner, std::int64_t offset) const {
  auto url = url::make(apiBase_ + "/v1/tokens/balances", {{"account", owner},
                                                          {"balance.gt", "0"},
                                                          {"token.standard", "fa2"},
                                                          {"limit", std::to_string(pageSize)},
                                                          {"offset", std::to_string(offset)},
                                                          {"sort.desc", std::string(sortField)}});
  if (!url) throw TavoluneError::invalidInput("TzKT: bad address " + apiBase_);
  return *url;
}

std::vector<OwnedArtwork> TzKTProvider::tokens(const std::string& owner, Chain, std::stop_token stop) const {
  std::vector<OwnedArtwork> result;
  std::vector<Balance> previous;
  for (std::int64_t offset = 0;; offset += pageSize) {
    auto page = http_.getJSON<std::vector<Balance>>(pageURL(owner, offset), {}, timeout, stop);
    if (offset > 0 && !page.empty() && page == previous) break;
    for (const auto& balance : page) {
      if (auto work = map(balance, owner)) result.push_back(std::move(*work));
    }
    if (page.size() < static_cast<std::size_t>(pageSize)) break;
    previous = std::move(page);
  }
  return result;
}

namespace {

// "decimals" above zero marks a currency-like token. A number or a text
// that reads as one counts; infinity counts as above zero, NaN does not.
bool isFungible(const JSONValue* metadata) {
  if (!metadata || !metadata->isObject()) return false;
  const JSONValue* decimals = metadata->get("decimals");
  if (!decimals) return false;
  std::optional<double> value;
  if (const auto* n = decimals->numberValue()) {
    value = n->value;
  } else if (const auto* s = decimals->stringValue()) {
    value = numbers::readDouble(*s);
  }
  return value && std::trunc(*value) > 0;
}

std::optional<std::string> textOf(const JSONValue* metadata, std::string_view key) {
  if (!metadata) return std::nullopt;
  const JSONValue* m = metadata->get(key);
  return m ? m->string() : std::nullopt;
}

std::optional<std::string> mimeFromFormats(const JSONValue* metadata, const std::optional<std::string>& artifact) {
  if (!metadata) return std::nullopt;
  const JSONValue* formats = metadata->get("formats");
  if (!formats || !formats->isArray() || formats->array().empty()) return std::nullopt;
  for (const auto& format : formats->array()) {
    if (format["uri"].string() == artifact) {
      if (auto mime = format["mimeType"].string()) return mime;
      break;
    }
  }
  return formats->array().front()["mimeType"].string();
}

// The year of a TZIP-21 "date": an ISO 8601 date, alone or followed by a
// time ("2021-06-01T12:00:00.000Z"); nothing for any other text.
std::optional<std::int64_t> dateYear(const std::optional<std::string>& date) {
  if (!date || date->size() < 10 || (*date)[4] != '-' || (*date)[7] != '-') return std::nullopt;
  if (date->size() > 10 && (*date)[10] != 'T' && (*date)[10] != ' ') return std::nullopt;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if ((*date)[i] < '0' || (*date)[i] > '9') return std::nullopt;
  }
  const auto y = TezosTokenText::decimalInteger(std::string_view(*date).substr(0, 4));
  const auto m = TezosTokenText::decimalInteger(std::string_view(*date).substr(5, 2));
  const auto d = TezosTokenText::decimalInteger(std::string_view(*date).substr(8, 2));
  if (!y || !m || !d || *m < 1 || *d < 1) return std::nullopt;
  const std::chrono::year_month_day day{std::chrono::year(static_cast<int>(*y)),
                                        std::chrono::month(static_cast<unsigned>(*m)),
                                        std::chrono::day(static_cast<unsigned>(*d))};
  if (!day.ok()) return std::nullopt;
  return TezosTokenText::year(date);
}

}  // namespace

std::optional<OwnedArtwork> TzKTProvider::map(const Balance& balance, std::string_view owner) {
  const Balance::Token& t = balance.token;
  const JSONValue* m = t.metadata ? &*t.metadata : nullptr;
  if (isFungible(m)) return std::nullopt;

  const std::optional<std::string> artifact = textOf(m, "artifactUri");
  const std::optional<std::string> display = textOf(m, "displayUri");
  const std::optional<std::string> thumbnailURI = textOf(m, "thumbnailUri");
  const std::optional<std::string> mime = mimeFromFormats(m, artifact);

  // The first creator is free text: an address, or a name as written
  // ("Jane Doe (@jane)"), which is never shortened as an address.
  std::optional<std::string> creator;
  std::optional<std::string> creatorAddress;
  if (m) {
    if (const JSONValue* creators = m->get("creators"); creators && creators->isArray() && !creators->array().empty()) {
      creator = creators->array().front().string();
      if (creator && TezosContracts::isAddress(*creator)) {
        creatorAddress = creator;
        creator = TezosTokenText::shortCredit(*creatorAddress);
      } else if (creator && text::trimWhitespaceAndNewlines(*creator).empty()) {
        creator.reset();
      }
    }
  }

  const std::string title = TezosTokenText::title(textOf(m, "name"), t.contract.alias.value_or("Token"), t.tokenId);
  const Platform platform = TezosContracts::platform(t.contract.address, std::nullopt, artifact, std::nullopt);
  // fxhash metadata names no formats: its works are generative pages.
  const MediaKind kind =
      !mime && platform == Platform::fxhash ? MediaKind::generative : Heuristics::mediaKind(mime, std::nullopt);

  std::optional<std::string> animation;
  if (artifact && (kind == MediaKind::generative || kind == MediaKind::video)) {
    animation = t.contract.address == TezosContracts::henContract
                    ? TezosContracts::henInteractiveURI(*artifact, creatorAddress, owner)
                    : *artifact;
  }

  std::optional<std::string> image;
  if (display) {
    image = display;
  } else if (kind == MediaKind::image && artifact) {
    image = artifact;
  } else {
    image = thumbnailURI;
  }
  std::optional<std::string> thumbnail = thumbnailURI ? thumbnailURI : image;

  // TzKT's token object rarely has a first time; the metadata's TZIP-21
  // date stands in. Never the balance's own: that is when the wallet got it.
  std::optional<std::int64_t> year = TezosTokenText::year(t.firstTime);
  if (!year) year = dateYear(textOf(m, "date"));
  const bool spam = !image && !animation;

  Artwork work = Artwork::make({
      .chain = Chain::tezos,
      .contract = t.contract.address,
      .tokenId = t.tokenId,
      .title = title,
      .artist = std::move(creator),
      .artistAddress = std::move(creatorAddress),
      .collection = t.contract.alias,
      .platform = platform,
      .mediaKind = kind,
      .mime = mime,
      .imageURI = std::move(image),
      .thumbnailURI = std::move(thumbnail),
      .animationURI = std::move(animation),
      .externalURL = TezosTokenText::objktTokenPage(t.contract.address, t.tokenId),
      .year = year,
      .editionNumber = Heuristics::editionNumber(title),
      .editionSize = t.totalSupply ? TezosTokenText::decimalInteger(*t.totalSupply) : std::nullopt,
      .isSpam = spam,
      .description = textOf(m, "description"),
  });

  const auto quantity = TezosTokenText::decimalInteger(balance.balance);
  return OwnedArtwork{std::move(work), quantity.value_or(1)};
}

}  // namespace tavolune
