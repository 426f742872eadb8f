#include "core/network/AddressInput.hpp"

namespace tavolune {

ChainFamily AddressInput::family() const {
  switch (form) {
    case Form::evmAddress:
    case Form::ensName: return ChainFamily::evm;
    case Form::tezosAddress:
    case Form::tezosDomain: return ChainFamily::tezos;
    case Form::bitcoinAddress: return ChainFamily::bitcoin;
  }
  return ChainFamily::evm;
}

bool AddressInput::needsResolution() const { return form == Form::ensName || form == Form::tezosDomain; }

std::string_view AddressInput::hint() const {
  switch (form) {
    case Form::evmAddress: return "Ethereum address (+ Base, Optimism, Arbitrum, Polygon)";
    case Form::ensName: return "ENS name";
    case Form::tezosAddress: return "Tezos address";
    case Form::tezosDomain: return "Tezos domain";
    case Form::bitcoinAddress: return "Bitcoin address (Ordinals)";
  }
  return {};
}

}  // namespace tavolune
