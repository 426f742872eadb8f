#pragma once

// GCC 12 reports variant members of JSONValue built inside lambdas as
// maybe-uninitialized at -O2; a known false positive.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "core/network/JSONValue.hpp"
#include "tests/support/QuickClient.hpp"

#include <memory>
#include <string>

namespace tavolune::tezostest {

using testsupport::quickClient;

// One token of an objkt answer, the fields the holdings query asks for.
inline JSONValue::Object objktToken(const std::string& id, const std::string& contract = "KT1Gen") {
  return JSONValue::Object{
      {"token_id", JSONValue(id)},
      {"name", JSONValue("Work " + id)},
      {"description", JSONValue("About " + id)},
      {"mime", JSONValue("image/png")},
      {"artifact_uri", JSONValue("ipfs://QmArtifact" + id)},
      {"display_uri", JSONValue("ipfs://QmDisplay" + id)},
      {"thumbnail_uri", JSONValue("ipfs://QmThumb" + id)},
      {"timestamp", JSONValue("2022-05-01T10:00:00+00:00")},
      {"supply", JSONValue(std::int64_t{10})},
      {"flag", JSONValue("none")},
      {"creators", JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{
                       {"holder", JSONValue(JSONValue::Object{
                                      {"alias", JSONValue("ada")},
                                      {"address", JSONValue("tz1Creator000000000000000000000000000")}})}})})},
      {"fa", JSONValue(JSONValue::Object{{"contract", JSONValue(contract)},
                                         {"name", JSONValue("Gen Series")},
                                         {"collection_type", JSONValue("artist")},
                                         {"path", JSONValue("gen-series")}})},
  };
}

inline JSONValue holding(JSONValue::Object token, std::int64_t quantity = 1) {
  return JSONValue(JSONValue::Object{{"quantity", JSONValue(quantity)}, {"token", JSONValue(std::move(token))}});
}

// {"data": {"token_holder": rows}}
inline std::string holdingsAnswer(JSONValue::Array rows) {
  return JSONValue(
             JSONValue::Object{{"data", JSONValue(JSONValue::Object{{"token_holder", JSONValue(std::move(rows))}})}})
      .serialized();
}

// {"data": {"token": tokens}}
inline std::string creationsAnswer(JSONValue::Array tokens) {
  return JSONValue(JSONValue::Object{{"data", JSONValue(JSONValue::Object{{"token", JSONValue(std::move(tokens))}})}})
      .serialized();
}

// One TzKT balance row.
inline JSONValue tzktBalance(const std::string& id, std::optional<JSONValue> metadata = std::nullopt,
                             const std::string& contract = "KT1Tz", std::string balance = "1") {
  JSONValue::Object token{
      {"id", JSONValue(std::int64_t{1000})},
      {"contract", JSONValue(JSONValue::Object{{"address", JSONValue(contract)}, {"alias", JSONValue("Tz Coll")}})},
      {"tokenId", JSONValue(id)},
      {"standard", JSONValue("fa2")},
      {"totalSupply", JSONValue("5")},
      {"firstTime", JSONValue("2023-02-03T04:05:06Z")},
  };
  if (metadata) token.emplace("metadata", *metadata);
  return JSONValue(JSONValue::Object{{"id", JSONValue(std::int64_t{77})},
                                     {"account", JSONValue(JSONValue::Object{{"address", JSONValue("tz1Owner")}})},
                                     {"token", JSONValue(std::move(token))},
                                     {"balance", JSONValue(std::move(balance))},
                                     {"transfersCount", JSONValue(std::int64_t{1})}});
}

inline JSONValue imageMetadata(const std::string& id) {
  return JSONValue(JSONValue::Object{
      {"name", JSONValue("Piece " + id)},
      {"artifactUri", JSONValue("ipfs://QmA" + id)},
      {"displayUri", JSONValue("ipfs://QmD" + id)},
      {"thumbnailUri", JSONValue("ipfs://QmT" + id)},
      {"formats", JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{{"uri", JSONValue("ipfs://QmA" + id)},
                                                                         {"mimeType", JSONValue("image/jpeg")}})})},
      {"creators", JSONValue(JSONValue::Array{JSONValue("tz1Maker1111111111111111111111111111")})},
      {"description", JSONValue("desc " + id)},
  });
}

}  // namespace tavolune::tezostest
