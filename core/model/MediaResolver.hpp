#pragma once

#include "core/model/Artwork.hpp"
#include "core/model/MediaRef.hpp"
#include "core/base/Url.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace tavolune {

namespace IPFSGateways {
// The default gateway base URLs, in the order they are tried.
const std::vector<std::string>& defaults();
}  // namespace IPFSGateways

// Turns media URIs into the addresses the system loads. Pure functions.
namespace MediaResolver {

inline constexpr std::string_view scheme = "tavolune";
inline constexpr std::string_view localHost = "local";
inline constexpr std::string_view liveIPFSBase = "tavolune://local/ipfs/";
inline constexpr std::string_view liveOnchfsBase = "tavolune://local/onchfs/";
inline constexpr std::string_view placeholderCID = "QmNrhZHUaEqxhyLfqoq1mtHSipkWHeT31LNHb1QEbDHgnc";

struct SplitRef {
  std::string identifier;
  std::string path;
  std::optional<std::string> query;
};

std::optional<SplitRef> splitRef(std::string_view ref);
std::optional<MediaRef> parse(const std::optional<std::string>& uri);
std::optional<MediaRef> parse(std::string_view uri);
inline std::optional<MediaRef> parse(const std::string& uri) { return parse(std::string_view(uri)); }
inline std::optional<MediaRef> parse(const char* uri) { return parse(std::string_view(uri)); }

// Addresses to try in order when fetching the bytes.
std::vector<Url> httpCandidates(const std::optional<std::string>& uri, const std::vector<std::string>& gateways);
// Whether every candidate of the reference is built on the gateways (ipfs
// or arweave), so that none of their hosts is the token's to name.
bool onGateways(const std::optional<MediaRef>& ref);
// The address the web engine loads a live work from.
std::optional<Url> liveURL(const std::optional<std::string>& uri);
// Image URIs for a still, best first.
std::vector<std::string> imageCandidates(const Artwork& artwork, bool preferThumbnail);
// Never empty; "application/octet-stream" when the extension is unknown.
std::string mimeType(std::string_view path);
bool isPlaceholder(std::string_view uri);
bool isSquareCDN(const std::optional<std::string>& url);
// Upgrades http to https and rewrites hosts that have moved.
Url moved(const Url& url);

}  // namespace MediaResolver
}  // namespace tavolune
