#pragma once

#include "core/indexers/IndexerProvider.hpp"
#include "core/model/OwnedArtwork.hpp"
#include "core/network/HTTPClient.hpp"
#include "core/network/JSONValue.hpp"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

// Tezos tokens from the objkt GraphQL API: what an address holds, and what
// an artist address created. Immutable; keeps nothing between calls.
class ObjktProvider : public IndexerProvider {
 public:
  struct Token {
    struct Holder {
      std::optional<std::string> alias{};
      std::string address{};
      friend bool operator==(const Holder&, const Holder&) = default;
    };
    struct Creator {
      std::optional<Holder> holder{};
      friend bool operator==(const Creator&, const Creator&) = default;
    };
    struct FA {
      std::string contract{};
      std::optional<std::string> name{};
      std::optional<std::string> collection_type{};
      std::optional<std::string> path{};
      friend bool operator==(const FA&, const FA&) = default;
    };

    std::string token_id{};
    std::optional<std::string> name{};
    std::optional<std::string> description{};
    std::optional<std::string> mime{};
    std::optional<std::string> artifact_uri{};
    std::optional<std::string> display_uri{};
    std::optional<std::string> thumbnail_uri{};
    std::optional<std::string> timestamp{};
    std::optional<std::int64_t> supply{};
    std::optional<std::string> flag{};
    std::optional<std::vector<Creator>> creators{};
    FA fa{};

    static Token fromJSONValue(const JSONValue& v);
    friend bool operator==(const Token&, const Token&) = default;
  };

  // One holding row.
  struct Holder {
    std::int64_t quantity = 0;
    std::optional<Token> token{};

    static Holder fromJSONValue(const JSONValue& v);
    friend bool operator==(const Holder&, const Holder&) = default;
  };

  // The data of the holdings query.
  struct Page {
    std::vector<Holder> token_holder{};
    static Page fromJSONValue(const JSONValue& v);
  };

  // The data of the creations query.
  struct CreatedPage {
    std::vector<Token> token{};
    static CreatedPage fromJSONValue(const JSONValue& v);
  };

  static constexpr std::int64_t pageSize = 500;
  // The last offset a holdings call asks for: 40 pages hold more than a
  // collector's wallet, and deeper pages only load the shared service.
  static constexpr std::int64_t maxOffset = 20000;
  static constexpr double timeout = 60;

  static const std::string holdingsQuery;
  static const std::string creationsQuery;

  // endpoint: the GraphQL URL; tests pass a loopback one.
  explicit ObjktProvider(HTTPClient http, std::string endpoint);

  static std::string defaultEndpoint();

  std::string name() const override { return "objkt"; }
  bool supports(Chain chain) const override { return chain == Chain::tezos; }
  // Every holding of the owner, newest change first; at most 41 pages.
  std::vector<OwnedArtwork> tokens(const std::string& owner, Chain chain, std::stop_token stop = {}) const override;

  // The tokens the artist created with a positive supply, newest first,
  // each with quantity 1. Pages until the offset reaches limit; the result
  // is not cut to limit.
  std::vector<OwnedArtwork> creations(const std::string& artist, std::int64_t limit, std::stop_token stop = {}) const;

  // One row as a work of the owner; nothing for a row without a token.
  static std::optional<OwnedArtwork> map(const Holder& row, std::string_view owner);

  const HTTPClient& http() const { return http_; }
  const std::string& endpoint() const { return endpoint_; }

 private:
  template <class Data>
  std::optional<Data> post(const std::string& query, std::string_view variable, const std::string& address,
                           std::int64_t offset, std::stop_token stop) const;

  HTTPClient http_;
  std::string endpoint_;
};

}  // namespace tavolune
