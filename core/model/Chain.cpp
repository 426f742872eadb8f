#include "core/model/Chain.hpp"

namespace tavolune {

std::string_view displayName(Chain chain) {
  static constexpr std::array<std::string_view, 7> names{"Ethereum", "Base",  "Optimism", "Arbitrum",
                                                         "Polygon",  "Tezos", "Bitcoin"};
  return names[static_cast<std::size_t>(chain)];
}

std::string_view shortName(Chain chain) {
  static constexpr std::array<std::string_view, 7> names{"ETH", "BASE", "OP", "ARB", "POL", "XTZ", "BTC"};
  return names[static_cast<std::size_t>(chain)];
}

ChainFamily family(Chain chain) {
  switch (chain) {
    case Chain::tezos: return ChainFamily::tezos;
    case Chain::bitcoin: return ChainFamily::bitcoin;
    default: return ChainFamily::evm;
  }
}

Chain primaryChain(ChainFamily f) {
  switch (f) {
    case ChainFamily::tezos: return Chain::tezos;
    case ChainFamily::bitcoin: return Chain::bitcoin;
    case ChainFamily::evm: break;
  }
  return Chain::ethereum;
}

std::vector<Chain> chains(ChainFamily f) {
  std::vector<Chain> out;
  for (Chain c : allCases<Chain>()) {
    if (family(c) == f) out.push_back(c);
  }
  return out;
}

}  // namespace tavolune
