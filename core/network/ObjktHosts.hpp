#pragma once

#include <string_view>

// The objkt marketplace, beside the hosts of ServiceHosts.hpp.
namespace tavolune::service_hosts {

// The objkt GraphQL API: POST /v3/graphql.
inline constexpr std::string_view objktAPI = "https://data.objkt.com";
// The objkt web site: token pages under /tokens/<contract>/<token id>.
inline constexpr std::string_view objktWeb = "https://objkt.com";

}  // namespace tavolune::service_hosts
