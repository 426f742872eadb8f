#pragma once

#include "core/model/Chain.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <filesystem>
#include <string>

// Loopback stand-ins for the marketplace and an explorer holding one EVM
// wallet's tokens, shared by the sync benchmarks.
namespace tavolune::bench {

inline const std::string evmOwner = "0x00000000000000000000000000000000000000aa";
inline const std::string evmContract = "0x00000000000000000000000000000000000000bb";
inline constexpr int evmPageSize = 200;

// Serves `tokens` tokens of one collection on `chain`: the marketplace's
// listing pages and one explorer record per token under explorerPrefix.
void serveEVMChain(testsupport::LoopbackServer& server, Chain chain, int tokens, const std::string& explorerPrefix);

// The name of the one collection all those tokens belong to.
void serveCollectionName(testsupport::LoopbackServer& server);

// A key file in a new temporary folder holding a key valid for years, so a
// sync asks for no key.
std::filesystem::path freshOpenSeaKeyFile();

}  // namespace tavolune::bench
