#pragma once

#include "core/model/Platform.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

// What both Tezos providers know about Tezos token contracts: which art
// platform a token belongs to, and how an interactive work on the hen
// contract learns who is looking at it. Pure; no network, no files.
namespace tavolune::TezosContracts {

// The fxhash contracts (exact, case-sensitive addresses).
const std::unordered_set<std::string>& fxhash();

inline constexpr std::string_view versumContract = "KT1LjmAdYQCLBjwv4S2oFkEzyHVkomAf5MrW";
inline constexpr std::string_view henContract = "KT1RJ6PbjHpwc3M5rw5s2Nbmefwbuwbdxton";

// The platform of a Tezos token. An absent path or artifact address reads
// as empty; an absent collection type leaves unclaimed tokens generic.
Platform platform(std::string_view contract, const std::optional<std::string>& path,
                  const std::optional<std::string>& artifactURI, const std::optional<std::string>& collectionType);

// Whether the text is a Tezos account or contract address: "tz1", "tz2",
// "tz3" or "KT1" and 33 more base58 characters.
bool isAddress(std::string_view text);

// The page address with "viewer=" (and "creator=") appended as query
// parameters, unencoded; unchanged when it already names a viewer.
std::string henInteractiveURI(std::string_view uri, const std::optional<std::string>& creator, std::string_view viewer);

}  // namespace tavolune::TezosContracts
