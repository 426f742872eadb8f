#include "core/model/MediaResolver.hpp"

#include "core/base/Hosts.hpp"
#include "core/text/Text.hpp"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace tavolune {

const std::vector<std::string>& IPFSGateways::defaults() {
  static const std::vector<std::string> gateways(hosts::ipfsGateways.begin(), hosts::ipfsGateways.end());
  return gateways;
}

namespace MediaResolver {
namespace {

std::string withPathAndQuery(std::string base, const std::string& path, const std::optional<std::string>& query,
                             bool alwaysSlash) {
  if (alwaysSlash || !path.empty()) {
    base += '/';
    base += path;
  }
  if (query) {
    base += '?';
    base += *query;
  }
  return base;
}

}  // namespace

std::optional<SplitRef> splitRef(std::string_view s) {
  std::optional<std::string> query;
  std::string_view head = s;
  if (auto q = s.find('?'); q != std::string_view::npos) {
    head = s.substr(0, q);
    query = std::string(s.substr(q + 1));
  }
  std::string_view identifier = head;
  std::string_view path;
  if (auto slash = head.find('/'); slash != std::string_view::npos) {
    identifier = head.substr(0, slash);
    path = head.substr(slash + 1);
  }
  if (identifier.empty()) return std::nullopt;
  if (query && query->empty()) query.reset();
  return SplitRef{std::string(identifier), std::string(path), std::move(query)};
}

std::optional<MediaRef> parse(const std::optional<std::string>& uri) {
  if (!uri) return std::nullopt;
  return parse(std::string_view(*uri));
}

std::optional<MediaRef> parse(std::string_view uri) {
  std::string s = text::trimWhitespaceAndNewlines(uri);
  if (s.empty()) return std::nullopt;
  std::string_view v = s;

  if (v.starts_with("data:")) {
    auto url = Url::parse(v);
    if (!url) return std::nullopt;
    return MediaRef{MediaRef::Data{*url}};
  }
  if (v.starts_with("ipfs://")) {
    v.remove_prefix(7);
    if (v.starts_with("ipfs/")) v.remove_prefix(5);
    auto r = splitRef(v);
    if (!r) return std::nullopt;
    return MediaRef{MediaRef::Ipfs{r->identifier, r->path, r->query}};
  }
  if (v.starts_with("ar://")) {
    auto r = splitRef(v.substr(5));
    if (!r) return std::nullopt;
    return MediaRef{MediaRef::Arweave{r->identifier, r->path, r->query}};
  }
  if (v.starts_with("onchfs://")) {
    auto r = splitRef(v.substr(9));
    if (!r) return std::nullopt;
    return MediaRef{MediaRef::Onchfs{r->identifier, r->path, r->query}};
  }
  if (v.starts_with("Qm") || v.starts_with("bafy") || v.starts_with("bafk")) {
    auto r = splitRef(v);
    if (!r) return std::nullopt;
    return MediaRef{MediaRef::Ipfs{r->identifier, r->path, r->query}};
  }

  auto url = Url::parse(v);
  if (!url) return std::nullopt;
  auto scheme = url->scheme();
  if (scheme != "http" && scheme != "https") return std::nullopt;
  Url rewritten = moved(*url);
  std::string decoded = rewritten.decodedPath();
  auto at = decoded.find("/ipfs/");
  if (at != std::string::npos && text::lowercased(rewritten.host()).find("artblocks") == std::string::npos) {
    if (auto r = splitRef(std::string_view(decoded).substr(at + 6)); r && r->identifier.size() >= 46) {
      return MediaRef{MediaRef::Ipfs{r->identifier, r->path, rewritten.query()}};
    }
  }
  return MediaRef{MediaRef::Http{rewritten}};
}

Url moved(const Url& url) {
  Url out = url;
  if (out.scheme() == "http") out = out.withScheme("https");
  std::string host = text::lowercased(out.host());
  for (const auto& [from, to] : hosts::movedHosts) {
    if (host == from) {
      out = out.withHost(to);
      break;
    }
  }
  return out;
}

bool onGateways(const std::optional<MediaRef>& ref) {
  return ref && (ref->as<MediaRef::Ipfs>() || ref->as<MediaRef::Arweave>());
}

std::vector<Url> httpCandidates(const std::optional<std::string>& uri, const std::vector<std::string>& gateways) {
  std::vector<Url> out;
  auto ref = parse(uri);
  if (!ref) return out;
  auto add = [&out](const std::string& candidate) {
    if (auto u = Url::parse(candidate)) out.push_back(*u);
  };
  if (auto h = ref->as<MediaRef::Http>()) {
    out.push_back(h->url);
  } else if (auto d = ref->as<MediaRef::Data>()) {
    out.push_back(d->url);
  } else if (auto i = ref->as<MediaRef::Ipfs>()) {
    for (const auto& g : gateways) add(withPathAndQuery(g + "/ipfs/" + i->cid, i->path, i->query, false));
  } else if (auto a = ref->as<MediaRef::Arweave>()) {
    add(withPathAndQuery(std::string(hosts::arweaveGateway) + a->id, a->path, a->query, false));
  } else if (auto o = ref->as<MediaRef::Onchfs>()) {
    add(withPathAndQuery(std::string(liveOnchfsBase) + o->hash, o->path, o->query, true));
  }
  return out;
}

std::optional<Url> liveURL(const std::optional<std::string>& uri) {
  auto ref = parse(uri);
  if (!ref) return std::nullopt;
  if (auto h = ref->as<MediaRef::Http>()) return h->url;
  if (auto d = ref->as<MediaRef::Data>()) return d->url;
  if (auto i = ref->as<MediaRef::Ipfs>()) {
    return Url::parse(withPathAndQuery(std::string(liveIPFSBase) + i->cid, i->path, i->query, true));
  }
  if (auto o = ref->as<MediaRef::Onchfs>()) {
    return Url::parse(withPathAndQuery(std::string(liveOnchfsBase) + o->hash, o->path, o->query, true));
  }
  auto candidates = httpCandidates(uri, IPFSGateways::defaults());
  if (candidates.empty()) return std::nullopt;
  return candidates.front();
}

std::vector<std::string> imageCandidates(const Artwork& artwork, bool preferThumbnail) {
  std::vector<std::string> list;
  const auto& first = preferThumbnail ? artwork.thumbnailURI : artwork.imageURI;
  const auto& second = preferThumbnail ? artwork.imageURI : artwork.thumbnailURI;
  for (const auto* uri : {&first, &second}) {
    if (*uri && !isPlaceholder(**uri)) list.push_back(**uri);
  }
  if (artwork.imageURI && artwork.imageURI->find(hosts::squareImageCDN) != std::string::npos &&
      (artwork.platform == Platform::artBlocks ||
       (artwork.animationURI && artwork.animationURI->find(hosts::artBlocksDomain) != std::string::npos))) {
    list.insert(list.begin(), std::string(hosts::artBlocksMediaProxy) + text::lowercased(artwork.contract) +
                                  "/" + artwork.tokenId + ".png");
  }
  if (artwork.mediaKind == MediaKind::video && artwork.animationURI) list.push_back(*artwork.animationURI);

  std::vector<std::string> unique;
  std::unordered_set<std::string> seen;
  for (auto& uri : list) {
    if (seen.insert(uri).second) unique.push_back(std::move(uri));
  }
  return unique;
}

std::string mimeType(std::string_view path) {
  static const std::unordered_map<std::string, std::string> table{
      {"html", "text/html"},
      {"htm", "text/html"},
      {"js", "application/javascript"},
      {"mjs", "application/javascript"},
      {"css", "text/css"},
      {"json", "application/json"},
      {"svg", "image/svg+xml"},
      {"png", "image/png"},
      {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},
      {"gif", "image/gif"},
      {"webp", "image/webp"},
      {"avif", "image/avif"},
      {"mp4", "video/mp4"},
      {"m4v", "video/mp4"},
      {"webm", "video/webm"},
      {"mov", "video/quicktime"},
      {"mp3", "audio/mpeg"},
      {"wav", "audio/wav"},
      {"glsl", "text/plain"},
      {"frag", "text/plain"},
      {"vert", "text/plain"},
      {"txt", "text/plain"},
      {"wasm", "application/wasm"},
      {"woff", "font/woff"},
      {"woff2", "font/woff2"},
      {"ttf", "font/ttf"},
      {"otf", "font/otf"},
      {"glb", "model/gltf-binary"},
      {"gltf", "model/gltf+json"},
  };
  auto lastPiece = [](std::string_view s, char sep) {
    std::string_view last;
    std::size_t start = 0;
    while (start <= s.size()) {
      auto end = s.find(sep, start);
      auto piece = s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
      if (!piece.empty()) last = piece;
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
    return last;
  };
  auto ext = text::lowercased(lastPiece(lastPiece(path, '/'), '.'));
  auto it = table.find(ext);
  return it == table.end() ? "application/octet-stream" : it->second;
}

bool isPlaceholder(std::string_view uri) { return uri.find(placeholderCID) != std::string_view::npos; }

bool isSquareCDN(const std::optional<std::string>& url) {
  return url && url->find(hosts::squareImageCDN) != std::string::npos;
}

}  // namespace MediaResolver
}  // namespace tavolune
