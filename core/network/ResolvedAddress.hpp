#pragma once

#include "core/model/Chain.hpp"

#include <optional>
#include <string>

namespace tavolune {

// A wallet text turned into the address to index.
struct ResolvedAddress {
  std::string address{};
  // The ENS name or Tezos domain the address was reached through, or the
  // primary ENS name of an EVM address.
  std::optional<std::string> name{};
  ChainFamily family = ChainFamily::evm;

  friend bool operator==(const ResolvedAddress&, const ResolvedAddress&) = default;
};

}  // namespace tavolune
