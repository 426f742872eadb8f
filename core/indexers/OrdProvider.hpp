#pragma once

#include "core/indexers/IndexerProvider.hpp"
#include "core/model/Artwork.hpp"
#include "core/base/Json.hpp"
#include "core/network/HTTPClient.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

// Reads the Ordinals inscriptions of a Bitcoin address from an Ordinals
// indexer's JSON interface: one listing, then the records of at most
// maxInscriptions inscriptions, 8 requests at a time.
class OrdProvider : public IndexerProvider {
 public:
  // GET /address/<address>
  struct AddressInfo {
    std::vector<std::string> inscriptions{};  // missing or null: none

    static AddressInfo fromJson(const json::Json& j);
    json::Json toJson() const;
    friend bool operator==(const AddressInfo&, const AddressInfo&) = default;
  };

  // GET /inscription/<id>
  struct Inscription {
    std::string id{};
    std::optional<std::int64_t> number{};
    std::optional<std::string> contentType{};  // "content_type"
    std::optional<double> timestamp{};         // seconds since 1970

    static Inscription fromJson(const json::Json& j);
    json::Json toJson() const;
    friend bool operator==(const Inscription&, const Inscription&) = default;
  };

  static constexpr std::size_t window = 8;

  // One trailing "/" of baseURL is dropped.
  OrdProvider(std::string baseURL, HTTPClient http);

  std::string name() const override { return "ord"; }
  bool supports(Chain chain) const override { return chain == Chain::bitcoin; }
  // The inscriptions the address holds, each owned once, in the order their
  // records arrived. Only the listing's failure is thrown; an inscription
  // that fails to load is left out.
  std::vector<OwnedArtwork> tokens(const std::string& owner, Chain chain, std::stop_token stop = {}) const override;
  // One inscription fetched and mapped.
  OwnedArtwork inscription(const std::string& id, std::stop_token stop = {}) const;

  // The artwork for one inscription record; baseURL without a trailing "/".
  static Artwork map(const Inscription& inscription, std::string_view baseURL);

  const HTTPClient& http() const { return http_; }
  const std::string& baseURL() const { return baseURL_; }
  std::size_t maxInscriptions = 300;

 private:
  HTTPClient http_;
  std::string baseURL_;
};

}  // namespace tavolune
