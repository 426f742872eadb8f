#pragma once

#include "core/base/Enum.hpp"

#include <string_view>
#include <vector>

namespace tavolune {

enum class ChainFamily { evm, tezos, bitcoin };

enum class Chain { ethereum, base, optimism, arbitrum, polygon, tezos, bitcoin };

template <>
struct EnumNames<ChainFamily> {
  static constexpr std::array<std::string_view, 3> names{"evm", "tezos", "bitcoin"};
};
template <>
struct EnumNames<Chain> {
  static constexpr std::array<std::string_view, 7> names{"ethereum", "base",  "optimism", "arbitrum",
                                                         "polygon",  "tezos", "bitcoin"};
};

std::string_view displayName(Chain chain);  // "Ethereum"
std::string_view shortName(Chain chain);    // "ETH"
ChainFamily family(Chain chain);
// The chain a family's address is read on first.
Chain primaryChain(ChainFamily family);
// Every chain of the family, in case order.
std::vector<Chain> chains(ChainFamily family);

}  // namespace tavolune
