#include "core/indexers/ObjktProvider.hpp"

#include "core/indexers/Heuristics.hpp"
#include "core/indexers/KeyedDecoding.hpp"
#include "core/indexers/TezosContracts.hpp"
#include "core/indexers/TezosTokenText.hpp"
#include "core/network/GraphQLRequest.hpp"
#include "core/network/GraphQLResponse.hpp"
#include "core/base/Hosts.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/network/URLMake.hpp"

namespace tavolune {

const std::string ObjktProvider::holdingsQuery =
    "query($owner: String!, $limit: Int!, $offset: Int!) {\n"
    "  token_holder(where: {holder_address: {_eq: $owner}, quantity: {_gt: 0}},\n"
    "               limit: $limit, offset: $offset, order_by: {last_incremented_at: desc}) {\n"
    "    quantity\n"
    "    token {\n"
    "      token_id name description mime artifact_uri display_uri thumbnail_uri timestamp supply flag\n"
    "      creators { holder { alias address } }\n"
    "      fa { contract name collection_type path }\n"
    "    }\n"
    "  }\n"
    "}";

const std::string ObjktProvider::creationsQuery =
    "query($artist: String!, $limit: Int!, $offset: Int!) {\n"
    "  token(where: {creators: {creator_address: {_eq: $artist}}, supply: {_gt: 0}},\n"
    "        limit: $limit, offset: $offset, order_by: {timestamp: desc}) {\n"
    "    token_id name description mime artifact_uri display_uri thumbnail_uri timestamp supply flag\n"
    "    creators { holder { alias address } }\n"
    "    fa { contract name collection_type path }\n"
    "  }\n"
    "}";

ObjktProvider::Token ObjktProvider::Token::fromJSONValue(const JSONValue& v) {
  keyed::expectObject(v, "token");
  Token t;
  t.token_id = keyed::requiredString(v, "token_id");
  t.name = keyed::optionalString(v, "name");
  t.description = keyed::optionalString(v, "description");
  t.mime = keyed::optionalString(v, "mime");
  t.artifact_uri = keyed::optionalString(v, "artifact_uri");
  t.display_uri = keyed::optionalString(v, "display_uri");
  t.thumbnail_uri = keyed::optionalString(v, "thumbnail_uri");
  t.timestamp = keyed::optionalString(v, "timestamp");
  t.supply = keyed::optionalInt(v, "supply");
  t.flag = keyed::optionalString(v, "flag");
  if (const JSONValue* creators = keyed::member(v, "creators")) {
    if (!creators->isArray()) throw json::DecodeError("\"creators\": expected an array");
    std::vector<Creator> list;
    for (const auto& entry : creators->array()) {
      keyed::expectObject(entry, "creator");
      Creator c;
      if (const JSONValue* holder = keyed::member(entry, "holder")) {
        keyed::expectObject(*holder, "holder");
        c.holder = Holder{keyed::optionalString(*holder, "alias"), keyed::requiredString(*holder, "address")};
      }
      list.push_back(std::move(c));
    }
    t.creators = std::move(list);
  }
  const JSONValue* fa = keyed::member(v, "fa");
  if (!fa) throw json::DecodeError("\"fa\": missing");
  keyed::expectObject(*fa, "fa");
  t.fa.contract = keyed::requiredString(*fa, "contract");
  t.fa.name = keyed::optionalString(*fa, "name");
  t.fa.collection_type = keyed::optionalString(*fa, "collection_type");
  t.fa.path = keyed::optionalString(*fa, "path");
  return t;
}

ObjktProvider::Holder ObjktProvider::Holder::fromJSONValue(const JSONValue& v) {
  keyed::expectObject(v, "holder");
  Holder h;
  h.quantity = keyed::requiredInt(v, "quantity");
  if (const JSONValue* token = keyed::member(v, "token")) h.token = Token::fromJSONValue(*token);
  return h;
}

namespace {

template <class T>
std::vector<T> requiredList(const JSONValue& v, std::string_view key) {
  keyed::expectObject(v, "data");
  const JSONValue* list = keyed::member(v, key);
  if (!list) throw json::DecodeError("\"" + std::string(key) + "\": missing");
  if (!list->isArray()) throw json::DecodeError("\"" + std::string(key) + "\": expected an array");
  std::vector<T> out;
  out.reserve(list->array().size());
  for (const auto& row : list->array()) out.push_back(T::fromJSONValue(row));
  return out;
}

}  // namespace

ObjktProvider::Page ObjktProvider::Page::fromJSONValue(const JSONValue& v) {
  return {requiredList<Holder>(v, "token_holder")};
}

ObjktProvider::CreatedPage ObjktProvider::CreatedPage::fromJSONValue(const JSONValue& v) {
  return {requiredList<Token>(v, "token")};
}

ObjktProvider::ObjktProvider(HTTPClient http, std::string endpoint)
    : http_(std::move(http)), endpoint_(std::move(endpoint)) {}

std::string ObjktProvider::defaultEndpoint() { return std::string(hosts::objktAPI) + "/v3/graphql"; }

template <class Data>
std::optional<Data> ObjktProvider::post(const std::string& query, std::string_view variable, const std::string& address,
                                        std::int64_t offset, std::stop_token stop) const {
  auto url = url::make(endpoint_);
  if (!url) throw TavoluneError::invalidInput("objkt: bad endpoint " + endpoint_);
  GraphQLRequest request{query, JSONValue::Object{{std::string(variable), JSONValue(address)},
                                                  {"limit", JSONValue(pageSize)},
                                                  {"offset", JSONValue(offset)}}};
  auto answer = http_.postJSON<GraphQLResponse<Data>>(*url, request, timeout, stop);
  if (answer.errors && !answer.errors->empty()) {
    throw TavoluneError::decoding("objkt: " + answer.errors->front().message);
  }
  return std::move(answer.data);
}

std::vector<OwnedArtwork> ObjktProvider::tokens(const std::string& owner, Chain, std::stop_token stop) const {
  std::vector<OwnedArtwork> result;
  for (std::int64_t offset = 0; offset <= maxOffset; offset += pageSize) {
    auto page = post<Page>(holdingsQuery, "owner", owner, offset, stop);
    const std::size_t rows = page ? page->token_holder.size() : 0;
    if (page) {
      for (const auto& row : page->token_holder) {
        if (auto work = map(row, owner)) result.push_back(std::move(*work));
      }
    }
    if (rows < static_cast<std::size_t>(pageSize)) break;
  }
  return result;
}

std::vector<OwnedArtwork> ObjktProvider::creations(const std::string& artist, std::int64_t limit,
                                                   std::stop_token stop) const {
  std::vector<OwnedArtwork> result;
  if (limit <= 0) return result;
  for (std::int64_t offset = 0;;) {
    auto page = post<CreatedPage>(creationsQuery, "artist", artist, offset, stop);
    const std::size_t rows = page ? page->token.size() : 0;
    if (page) {
      for (auto& token : page->token) {
        if (auto work = map(Holder{1, std::move(token)}, artist)) result.push_back(std::move(*work));
      }
    }
    if (rows < static_cast<std::size_t>(pageSize)) break;
    offset += pageSize;
    if (offset >= limit) break;
  }
  return result;
}

std::optional<OwnedArtwork> ObjktProvider::map(const Holder& row, std::string_view owner) {
  if (!row.token) return std::nullopt;
  const Token& t = *row.token;

  const std::string title = TezosTokenText::title(t.name, t.fa.name.value_or("Untitled"), t.token_id);

  const Token::Holder* creator = nullptr;
  if (t.creators && !t.creators->empty() && t.creators->front().holder) creator = &*t.creators->front().holder;
  std::optional<std::string> artist;
  std::optional<std::string> artistAddress;
  if (creator) {
    artist =
        (creator->alias && !creator->alias->empty()) ? *creator->alias : TezosTokenText::shortCredit(creator->address);
    artistAddress = creator->address;
  }

  const Platform platform = TezosContracts::platform(t.fa.contract, t.fa.path, t.artifact_uri, t.fa.collection_type);
  const MediaKind kind = Heuristics::mediaKind(t.mime, std::nullopt);

  std::optional<std::string> animation;
  if (t.artifact_uri && !t.artifact_uri->empty()) {
    if (kind == MediaKind::video) {
      animation = t.artifact_uri;
    } else if (kind == MediaKind::generative) {
      if (platform == Platform::objkt && t.fa.contract == TezosContracts::henContract) {
        animation = TezosContracts::henInteractiveURI(*t.artifact_uri, artistAddress, owner);
      } else {
        animation = t.artifact_uri;
      }
    }
  }

  std::optional<std::string> image;
  if (t.display_uri && !t.display_uri->empty()) {
    image = t.display_uri;
  } else if (kind == MediaKind::image && t.artifact_uri) {
    image = t.artifact_uri;
  } else {
    image = t.thumbnail_uri;
  }
  std::optional<std::string> thumbnail = t.thumbnail_uri ? t.thumbnail_uri : image;

  const bool spam = (t.flag && *t.flag == "banned") || (!image && !animation);

  Artwork work = Artwork::make({
      .chain = Chain::tezos,
      .contract = t.fa.contract,
      .tokenId = t.token_id,
      .title = title,
      .artist = std::move(artist),
      .artistAddress = std::move(artistAddress),
      .collection = t.fa.name,
      .platform = platform,
      .mediaKind = kind,
      .mime = t.mime,
      .imageURI = std::move(image),
      .thumbnailURI = std::move(thumbnail),
      .animationURI = std::move(animation),
      .externalURL = TezosTokenText::objktTokenPage(t.fa.contract, t.token_id),
      .year = TezosTokenText::year(t.timestamp),
      .editionNumber = Heuristics::editionNumber(title),
      .editionSize = t.supply,
      .isSpam = spam,
      .description = t.description,
  });
  return OwnedArtwork{std::move(work), row.quantity};
}

}  // namespace tavolune
