#include "app/model/ModelOptions.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tavolune {
namespace {

// The program's own options must reach every public service: a host left
// empty fails only in the running program, since every test sets its own.
TEST(StandardModelOptions, TheStandardOptionsNameEveryPublicService) {
  const ModelOptions o = ModelOptions::standard();
  const std::vector<std::pair<const char*, std::string>> hosts{
      {"ENS resolver", o.resolver.ens}, {"Tezos Domains", o.resolver.tezosDomains},
      {"TzKT names", o.resolver.tzkt},  {"objkt", o.services.objktEndpoint},
      {"TzKT", o.services.tzktAPI},     {"OpenSea", o.services.openSeaAPI},
      {"Ordinals", o.bitcoinIndexer},
  };
  for (const auto& [name, url] : hosts) EXPECT_TRUE(url.starts_with("https://")) << name << ": '" << url << "'";
  EXPECT_FALSE(o.services.gateways.empty());
}

}  // namespace
}  // namespace tavolune
