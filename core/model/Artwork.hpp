#pragma once

#include "core/model/Chain.hpp"
#include "core/base/Json.hpp"
#include "core/model/MediaKind.hpp"
#include "core/model/Platform.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

namespace tavolune {

// One token shown as a work: the unit of the library.
struct Artwork {
  std::string id{};  // makeID(chain, contract, tokenId) when made by make(); stored unchanged
  Chain chain = Chain::ethereum;
  std::string contract{};  // as the indexer gave it, letter case kept
  std::string tokenId{};
  std::string title{};
  std::optional<std::string> artist{};
  std::optional<std::string> artistAddress{};
  std::optional<std::string> collection{};
  Platform platform = Platform::generic;
  MediaKind mediaKind = MediaKind::image;
  std::optional<std::string> mime{};
  std::optional<std::string> imageURI{};
  std::optional<std::string> thumbnailURI{};
  std::optional<std::string> animationURI{};
  std::optional<std::string> externalURL{};
  std::optional<double> aspectRatio{};  // width / height
  std::optional<std::int64_t> year{};
  std::optional<std::string> editionNumber{};
  std::optional<std::int64_t> editionSize{};
  bool isSpam = false;
  std::optional<std::string> description{};

  // Takes every field but id and sets id from chain, contract and token id:
  //   Artwork::make({.chain = Chain::tezos, .contract = "KT1...", .tokenId = "7", .title = "Dunes"})
  static Artwork make(Artwork fields);

  // "ethereum:0xabc:12": the chain, the contract lower-cased, the token id.
  static std::string makeID(Chain chain, std::string_view contract, std::string_view tokenId);

  // Collection names that stand for a platform's shared minting contract.
  static const std::unordered_set<std::string>& platformContracts();

  std::string collectionKey() const;  // "ethereum:0xabc"
  // The key shared by the editions of one generative series; measured
  // formats are stored under it.
  std::string seriesKey() const;
  bool isAnimatedImage() const;
  bool isLive() const;

  // The three texts of the wall label.
  std::string cartelTitle() const;
  std::optional<std::string> cartelCollection() const;
  std::string cartelDetails() const;
  // The facts line of the museum label: collection, medium, edition, chain.
  std::string museumDetails() const;

  // Reads any parsed document the json helpers understand.
  template <class N>
  static Artwork fromJson(const N& j);
  json::Json toJson() const;

  friend bool operator==(const Artwork&, const Artwork&) = default;
};

// Decoding is written once for every kind of parsed document.
template <class N>
Artwork Artwork::fromJson(const N& j) {
  json::expectObject(j);
  Artwork a;
  a.id = json::required<std::string>(j, "id");
  a.chain = json::required<Chain>(j, "chain");
  a.contract = json::required<std::string>(j, "contract");
  a.tokenId = json::required<std::string>(j, "tokenId");
  a.title = json::required<std::string>(j, "title");
  a.artist = json::optional<std::string>(j, "artist");
  a.artistAddress = json::optional<std::string>(j, "artistAddress");
  a.collection = json::optional<std::string>(j, "collection");
  a.platform = json::required<Platform>(j, "platform");
  a.mediaKind = json::required<MediaKind>(j, "mediaKind");
  a.mime = json::optional<std::string>(j, "mime");
  a.imageURI = json::optional<std::string>(j, "imageURI");
  a.thumbnailURI = json::optional<std::string>(j, "thumbnailURI");
  a.animationURI = json::optional<std::string>(j, "animationURI");
  a.externalURL = json::optional<std::string>(j, "externalURL");
  a.aspectRatio = json::optional<double>(j, "aspectRatio");
  a.year = json::optional<std::int64_t>(j, "year");
  a.editionNumber = json::optional<std::string>(j, "editionNumber");
  a.editionSize = json::optional<std::int64_t>(j, "editionSize");
  a.isSpam = json::required<bool>(j, "isSpam");
  a.description = json::optional<std::string>(j, "description");
  return a;
}

}  // namespace tavolune

template <>
struct std::hash<tavolune::Artwork> {
  std::size_t operator()(const tavolune::Artwork& a) const noexcept;
};
