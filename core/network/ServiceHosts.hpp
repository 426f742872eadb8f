#pragma once

#include <string_view>

// The outside services the core reads from, in one place.
namespace tavolune::service_hosts {

// TzKT, the Tezos indexer: tokens and the big maps of onchfs.
inline constexpr std::string_view tzktAPI = "https://api.tzkt.io";

}  // namespace tavolune::service_hosts
