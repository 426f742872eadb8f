#pragma once

#include <array>
#include <string_view>
#include <utility>

// Every outside host the media references know, in one place.
namespace tavolune::media_hosts {

// IPFS gateways in the order they are tried: a pinning service's public
// gateway, the IPFS project's main gateway and its link gateway, then the
// link gateways of two storage services.
inline constexpr std::array<std::string_view, 5> ipfsGateways{
    "https://gateway.pinata.cloud", "https://ipfs.io", "https://dweb.link", "https://w3s.link",
    "https://nftstorage.link"};

inline constexpr std::string_view arweaveGateway = "https://arweave.net/";
// Full-size renders of Art Blocks tokens: base + contract + "/" + token + ".png".
inline constexpr std::string_view artBlocksMediaProxy = "https://media-proxy.artblocks.io/";
inline constexpr std::string_view artBlocksDomain = "artblocks.io";
// OpenSea's image CDN serves square crops.
inline constexpr std::string_view squareImageCDN = "seadn.io";

// Hosts whose content now lives elsewhere (lower-cased host -> new host).
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 1> movedHosts{{
    {"artblocks-mainnet.s3.amazonaws.com", "media.artblocks.io"},
}};

}  // namespace tavolune::media_hosts
