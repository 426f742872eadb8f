#include "core/indexers/EVMContracts.hpp"

#include "core/base/Hosts.hpp"
#include "core/text/Text.hpp"

namespace tavolune::EVMContracts {

const std::unordered_set<std::string>& artBlocks() {
  static const std::unordered_set<std::string> contracts{
      "0x059edd72cd353df5106d2b9cc5ab83a52287ac3a",
      "0xa7d8d9ef8d8ce8992df33d8b8cf4aebabd5bd270",
      "0x99a9b7c1116f9ceeb1652de04d5969cce509b069",
      "0xab0000000000aa06f89b268d604a9c1c41524ac6",
  };
  return contracts;
}

const std::unordered_set<std::string>& brightMoments() {
  static const std::unordered_set<std::string> contracts{"0x0a1bbd57033f57e7b6743621b79fcb9eb2ce3676"};
  return contracts;
}

Platform platform(std::string_view contract, const std::optional<std::string>& symbol,
                  const std::optional<std::string>& animation, const std::optional<std::string>& external) {
  std::string c = text::lowercased(contract);
  std::string anim = animation ? text::lowercased(*animation) : std::string();
  std::string ext = external ? text::lowercased(*external) : std::string();
  auto has = [](const std::string& s, std::string_view part) { return s.find(part) != std::string::npos; };

  if (brightMoments().contains(c)) return Platform::brightMoments;
  if (symbol && *symbol == "MOMENT") return Platform::brightMoments;
  if (artBlocks().contains(c)) return Platform::artBlocks;
  if (has(anim, hosts::artBlocksGenerator) || has(anim, hosts::artBlocksDomain)) return Platform::artBlocks;
  if (has(anim, hosts::verseDomain) || has(ext, hosts::verseDomain)) return Platform::verse;
  if (has(anim, "fxhash") || has(ext, "fxhash")) return Platform::fxhash;
  return Platform::generic;
}

}  // namespace tavolune::EVMContracts
