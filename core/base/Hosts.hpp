#pragma once

#include <array>
#include <string_view>
#include <utility>

// Every outside host the core knows, in one place: the services it reads
// from, the gateways media goes through, and the hosts it recognises in
// media links. Constants only; only the real() constructors of the services
// put the service hosts to use.
namespace tavolune::hosts {

// TzKT, the Tezos indexer: domains, tokens and the big maps of onchfs.
inline constexpr std::string_view tzktAPI = "https://api.tzkt.io";
// The ENS resolution service: GET /ens/resolve/<name or address>.
inline constexpr std::string_view ensResolver = "https://api.ensideas.com";
// The Tezos Domains GraphQL API: POST /graphql.
inline constexpr std::string_view tezosDomainsAPI = "https://api.tezos.domains";

// The public Ordinals indexer (an ord server's JSON interface): GET
// /address/<address> and /inscription/<id>.
inline constexpr std::string_view ordinalsIndexer = "https://ordinals.com";

// The objkt GraphQL API (POST /v3/graphql) and web site (token pages under
// /tokens/<contract>/<token id>).
inline constexpr std::string_view objktAPI = "https://data.objkt.com";
inline constexpr std::string_view objktWeb = "https://objkt.com";

// The OpenSea API, version 2 (accounts, collections, listings, keys).
inline constexpr std::string_view openSeaAPI = "https://api.opensea.io";

// The Blockscout explorer of each EVM chain: API version 2 under /api/v2
// and the token pages under /token.
inline constexpr std::string_view blockscoutEthereum = "https://eth.blockscout.com";
inline constexpr std::string_view blockscoutBase = "https://base.blockscout.com";
inline constexpr std::string_view blockscoutOptimism = "https://optimism.blockscout.com";
inline constexpr std::string_view blockscoutArbitrum = "https://arbitrum.blockscout.com";
inline constexpr std::string_view blockscoutPolygon = "https://polygon.blockscout.com";

// IPFS gateways in the order they are tried: a pinning service's public
// gateway, the IPFS project's main gateway and its link gateway, then the
// link gateways of two storage services.
inline constexpr std::array<std::string_view, 5> ipfsGateways{
    "https://gateway.pinata.cloud", "https://ipfs.io", "https://dweb.link", "https://w3s.link",
    "https://nftstorage.link"};

inline constexpr std::string_view arweaveGateway = "https://arweave.net/";

// The services the program reads by the constants above, gateways aside;
// with the gateways, the only hosts HTTPClient::ownServices reaches by name
// behind a proxy.
inline constexpr std::array<std::string_view, 11> services{
    tzktAPI,        ensResolver,        tezosDomainsAPI,    ordinalsIndexer,  objktAPI, openSeaAPI, blockscoutEthereum,
    blockscoutBase, blockscoutOptimism, blockscoutArbitrum, blockscoutPolygon};

// Art Blocks: its domain, the live generator, full-size renders (base +
// contract + "/" + token + ".png"), and the image storage whose full-size
// renders sit under "/max/" beside thumbnails under "/thumb/".
inline constexpr std::string_view artBlocksDomain = "artblocks.io";
inline constexpr std::string_view artBlocksGenerator = "generator.artblocks.io";
inline constexpr std::string_view artBlocksMediaProxy = "https://media-proxy.artblocks.io/";
inline constexpr std::string_view artBlocksMedia = "media.artblocks.io";
inline constexpr std::string_view artBlocksOldMedia = "artblocks-mainnet.s3.amazonaws.com";

// The generative platform Verse.
inline constexpr std::string_view verseDomain = "verse.works";

// OpenSea's image CDN serves square crops.
inline constexpr std::string_view squareImageCDN = "seadn.io";

// Hosts whose content now lives elsewhere (lower-cased host -> new host).
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 1> movedHosts{{
    {artBlocksOldMedia, artBlocksMedia},
}};

// The hosts a live work may reach over http(s), ws(s), each with all its
// subdomains; everything else a page asks for is blocked.
inline constexpr std::array<std::string_view, 29> liveArtHosts{
    // generative-art platforms and marketplaces, their sites and media hosts
    "artblocks.io", "fxhash.xyz", "fxhash2.xyz", "objkt.com", "opensea.io", "seadn.io", "verse.works",
    "brightmoments.io", "editart.xyz", "versum.xyz",
    // the Ordinals content host: HTML inscriptions load their parents and libraries here
    "ordinals.com",
    // public IPFS gateways and the arweave gateway
    "gateway.pinata.cloud", "ipfs.io", "dweb.link", "w3s.link", "nftstorage.link", "arweave.net",
    // JavaScript library CDNs
    "cdnjs.cloudflare.com", "cdn.jsdelivr.net", "unpkg.com", "code.jquery.com", "ajax.googleapis.com", "esm.sh",
    "cdn.skypack.dev",
    // web fonts
    "fonts.googleapis.com", "fonts.gstatic.com",
    // cloud object storage and CDN. Only S3's own names under amazonaws.com
    // (see s3Regions), never the rest of it, where anyone can name a server
    // of their own. cloudfront.net still lets a page reach whatever origin a
    // CloudFront distribution fronts, but only over HTTP(S) on the CDN's
    // ports (80, 443).
    "s3.amazonaws.com", "cloudfront.net",
    // the Tezos indexer
    "tzkt.io"};

// The regions whose S3 names a live work may reach besides
// s3.amazonaws.com: "s3.<region>", "s3-<region>" and "s3.dualstack.<region>"
// under amazonaws.com, each with its bucket subdomains. Listed rather than
// matched by shape, so that the engine's proxy bypass (which has no
// one-label wildcard) admits exactly the same names.
inline constexpr std::array<std::string_view, 29> s3Regions{
    "us-east-1",      "us-east-2",      "us-west-1",      "us-west-2",      "af-south-1",     "ap-east-1",
    "ap-south-1",     "ap-south-2",     "ap-southeast-1", "ap-southeast-2", "ap-southeast-3", "ap-southeast-4",
    "ap-northeast-1", "ap-northeast-2", "ap-northeast-3", "ca-central-1",   "ca-west-1",      "eu-central-1",
    "eu-central-2",   "eu-west-1",      "eu-west-2",      "eu-west-3",      "eu-south-1",     "eu-south-2",
    "eu-north-1",     "il-central-1",   "me-south-1",     "me-central-1",   "sa-east-1"};

}  // namespace tavolune::hosts
