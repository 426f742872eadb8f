#pragma once

#include <string_view>

// The outside services the core reads from, in one place.
namespace tavolune::service_hosts {

// TzKT, the Tezos indexer: domains, tokens and the big maps of onchfs.
inline constexpr std::string_view tzktAPI = "https://api.tzkt.io";
// The ENS resolution service: GET /ens/resolve/<name or address>.
inline constexpr std::string_view ensResolver = "https://api.ensideas.com";
// The Tezos Domains GraphQL API: POST /graphql.
inline constexpr std::string_view tezosDomainsAPI = "https://api.tezos.domains";

// The objkt GraphQL API (POST /v3/graphql) and web site (token pages under
// /tokens/<contract>/<token id>).
inline constexpr std::string_view objktAPI = "https://data.objkt.com";
inline constexpr std::string_view objktWeb = "https://objkt.com";

// The OpenSea API, version 2 (accounts, collections, listings, keys).
inline constexpr std::string_view openSeaAPI = "https://api.opensea.io";

// The Blockscout explorer of each EVM chain: API version 2 under /api/v2
// and the token pages under /token.
inline constexpr std::string_view blockscoutEthereum = "https://eth.blockscout.com";
inline constexpr std::string_view blockscoutBase = "https://base.blockscout.com";
inline constexpr std::string_view blockscoutOptimism = "https://optimism.blockscout.com";
inline constexpr std::string_view blockscoutArbitrum = "https://arbitrum.blockscout.com";
inline constexpr std::string_view blockscoutPolygon = "https://polygon.blockscout.com";

// The public Ordinals indexer (an ord server's JSON interface): GET
// /address/<address> and /inscription/<id>.
inline constexpr std::string_view ordinalsIndexer = "https://ordinals.com";

}  // namespace tavolune::service_hosts
