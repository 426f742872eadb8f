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

}  // namespace tavolune::service_hosts
