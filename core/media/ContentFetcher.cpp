#include "core/media/ContentFetcher.hpp"

#include "core/media/CacheKeys.hpp"
#include "core/media/DataURL.hpp"
#include "core/media/OnchfsPath.hpp"
#include "core/model/MediaResolver.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"
#include "core/text/Text.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <utility>

namespace tavolune {

namespace {

constexpr std::string_view octetStream = "application/octet-stream";

// The media type of a Content-Type value, without parameters.
std::string mediaType(std::string_view contentType) {
  while (!contentType.empty()) {
    auto semicolon = contentType.find(';');
    auto piece = contentType.substr(0, semicolon);
    if (!piece.empty()) {
      auto type = text::trimWhitespaceAndNewlines(piece);
      return type.empty() ? std::string(octetStream) : type;
    }
    if (semicolon == std::string_view::npos) break;
    contentType.remove_prefix(semicolon + 1);
  }
  return std::string(octetStream);
}

// Splits at "/" into at most three pieces, empty pieces skipped; the third
// keeps everything after the second piece's slash.
std::vector<std::string_view> splitLocalPath(std::string_view path) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size() && pieces.size() < 2; ++i) {
    if (path[i] != '/') continue;
    if (i > start) pieces.push_back(path.substr(start, i - start));
    start = i + 1;
  }
  if (start < path.size()) pieces.push_back(path.substr(start));
  return pieces;
}

bool isAlphanumeric(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

// A page names these files itself: a path that climbs ("..", also escaped
// as "%2e%2e" or hidden behind "%2f") would reach other content on the
// gateway, so any "." or ".." segment, a backslash or a NUL refuses the
// whole request.
bool isPlainPath(std::string_view path) {
  const auto decoded = std::make_optional(url::percentDecode(path));
  std::size_t start = 0;
  for (std::size_t i = 0; i <= decoded->size(); ++i) {
    if (i < decoded->size() && (*decoded)[i] == '\\') return false;
    if (i < decoded->size() && (*decoded)[i] == '\0') return false;
    if (i < decoded->size() && (*decoded)[i] != '/') continue;
    auto segment = std::string_view(*decoded).substr(start, i - start);
    if (segment == "." || segment == "..") return false;
    start = i + 1;
  }
  return true;
}

}  // namespace

ContentFetcher::ContentFetcher(HTTPClient http, std::shared_ptr<MediaCache> cache, std::vector<std::string> gateways,
                               std::shared_ptr<OnchfsResolver> onchfs)
    : http(std::move(http)), cache(std::move(cache)), gateways(std::move(gateways)), onchfs_(std::move(onchfs)) {}

MediaContent ContentFetcher::fetch(std::string_view uri, double timeout, std::stop_token stop) const {
  // Token data names the URI: only one that names media is looked up, so
  // that none reads the program's own entries (cachekeys).
  const auto ref = MediaResolver::parse(uri);
  if (!ref) throw TavoluneError::allProvidersFailed("no URL");
  if (ref->as<MediaRef::Data>()) {
    auto decoded = DataURL::decode(uri);
    if (!decoded) throw TavoluneError::decoding("data: URL");
    return std::move(*decoded);
  }
  if (auto bytes = cache->data(uri)) {
    return MediaContent{std::move(*bytes), cache->mime(uri).value_or(std::string(octetStream))};
  }
  if (const auto* o = ref->as<MediaRef::Onchfs>()) {
    auto content = onchfs_->file(o->hash, o->path, stop);
    cache->store(content.data, uri, content.mime);
    return content;
  }
  auto content = fetchFirst(MediaResolver::httpCandidates(std::string(uri), gateways), timeout, stop, nullptr,
                            MediaResolver::onGateways(ref));
  cache->store(content.data, uri, content.mime);
  return content;
}

MediaContent ContentFetcher::fetchFirst(const std::vector<Url>& urls, double timeout, std::stop_token stop) const {
  return fetchFirst(urls, timeout, stop, nullptr, false);
}

MediaContent ContentFetcher::fetchFirst(const std::vector<Url>& urls, double timeout, std::stop_token stop,
                                        BudgetDraw* draw, bool onGateways) const {
  // Token data names every address here, or a gateway's path, and a gateway
  // follows the redirects a token's folder asks for.
  HTTPClient client = http;
  client.publicAddressesOnly = true;
  client.ownServices = onGateways;
  std::function<bool(std::size_t)> admit;
  // What moves stays taken, whether the answer is kept or not.
  if (draw) admit = [draw](std::size_t n) { return draw->take(n); };
  std::exception_ptr last = std::make_exception_ptr(TavoluneError::allProvidersFailed("no URL"));
  for (const auto& url : urls) {
    HTTPRequest request;
    request.url = url;
    request.timeout = timeout;
    request.setHeader("Accept", "*/*");
    HTTPResult result;
    try {
      result = client.data(std::move(request), stop, maxDownloadBytes, admit);
    } catch (const CancellationError&) {
      throw;
    } catch (...) {
      // Another gateway's copy would pass the budgets all the same.
      if (draw && draw->ranShort()) throw;
      last = std::current_exception();
      continue;
    }
    if (result.response.isSuccess() && !result.body.empty()) {
      auto contentType = result.response.header("Content-Type");
      auto mime = mediaType(contentType ? *contentType : MediaResolver::mimeType(url.path()));
      return MediaContent{std::move(result.body), std::move(mime)};
    }
    last = std::make_exception_ptr(TavoluneError::http(result.response.status, url.string()));
  }
  std::rethrow_exception(last);
}

ContentFetcher::LocalFile ContentFetcher::openLocal(const Url& url, std::stop_token stop, ByteBudget* budget,
                                                   ByteBudget* downloads) const {
  const std::string& path = url.path();  // escapes kept: the key and gateway URL carry them
  if (url.scheme() != MediaResolver::scheme || url.host() != MediaResolver::localHost || url.port() ||
      !isPlainPath(path)) {
    throw TavoluneError::notFound(url.string());
  }
  auto pieces = splitLocalPath(path);
  if (pieces.size() < 2) throw TavoluneError::notFound(url.string());
  const std::string kind(pieces[0]);
  const std::string id(pieces[1]);
  const bool knownID = (kind == "ipfs" && isAlphanumeric(id)) || (kind == "onchfs" && onchfs::isValidHash(id));
  if (!knownID) throw TavoluneError::notFound(url.string());
  const std::string rest(pieces.size() > 2 ? pieces[2] : std::string_view{});
  const std::string key = cachekeys::pageFile(kind, id, rest);

  const auto overBudget = [&] { return TavoluneError::decoding(url.string() + ": over the page's byte budget"); };
  // Served from the cache's file, never read into memory here.
  const auto opened = [&](std::string mime) -> std::optional<LocalFile> {
    const int fd = cache->openFile(key);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    ::fstat(fd, &st);
    return LocalFile{fd, std::int64_t(st.st_size), std::move(mime), {}};
  };
  if (auto hit = opened(cache->mime(key).value_or(MediaResolver::mimeType(rest)))) {
    if (budget && !budget->take(std::size_t(hit->size))) {
      ::close(hit->fd);
      throw overBudget();
    }
    return std::move(*hit);
  }
  if ((budget && budget->left() <= 0) || (downloads && downloads->left() <= 0)) throw overBudget();
  // Stored only once paid for, so the budgets bound what reaches the disk.
  const auto stored = [&](MediaContent content) {
    cache->store(content.data, key, content.mime);
    if (auto file = opened(content.mime)) return std::move(*file);
    const auto size = std::int64_t(content.data.size());
    return LocalFile{-1, size, std::move(content.mime), std::move(content.data)};
  };
  // A fetch that ran into a budget fails as over it, whatever it threw.
  const auto drawn = [&](const auto& fetch) {
    BudgetDraw draw(budget, downloads);
    try {
      return fetch(draw);
    } catch (...) {
      if (draw.ranShort()) throw overBudget();
      throw;
    }
  };
  if (kind == "onchfs") {
    return stored(drawn([&](BudgetDraw& draw) { return onchfs_->file(id, rest, stop, &draw); }));
  }
  if (kind == "ipfs") {
    std::string requestPath = rest;
    if (requestPath.empty() || requestPath.ends_with('/')) requestPath += "index.html";
    std::vector<Url> urls;
    for (const auto& gateway : gateways) {
      if (auto u = Url::parse(gateway + "/ipfs/" + id + "/" + requestPath)) urls.push_back(std::move(*u));
    }
    auto content = drawn([&](BudgetDraw& draw) { return fetchFirst(urls, localTimeout, stop, &draw, true); });
    // Gateways label scripts and style sheets as plain text or bytes.
    if (content.mime == octetStream || content.mime.starts_with("text/plain")) {
      content.mime = MediaResolver::mimeType(requestPath);
    }
    return stored(std::move(content));
  }
  throw TavoluneError::notFound(url.string());
}

}  // namespace tavolune
