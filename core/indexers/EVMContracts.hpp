#pragma once

#include "core/model/Platform.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

// The contracts of the generative-art platforms on EVM chains and the
// platform detection for EVM tokens.
namespace tavolune::EVMContracts {

// "0x" and 40 lower-case hex digits each.
const std::unordered_set<std::string>& artBlocks();
const std::unordered_set<std::string>& brightMoments();

Platform platform(std::string_view contract, const std::optional<std::string>& symbol,
                  const std::optional<std::string>& animation, const std::optional<std::string>& external);

}  // namespace tavolune::EVMContracts
