#pragma once

#include "core/media/ByteBudget.hpp"
#include "core/media/MediaCache.hpp"
#include "core/media/MediaContent.hpp"
#include "core/media/OnchfsResolver.hpp"
#include "core/base/Url.hpp"
#include "core/network/HTTPClient.hpp"

#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tavolune {

// The one road by which artwork files are obtained: the media cache first,
// then onchfs, data URLs, or the HTTP candidates of a URI one at a time.
// Every HTTP request reaches public addresses only
// (HTTPClient::publicAddressesOnly), gateways included.
// A plain value; copies share the cache, the session and the resolver.
// Calls block; run them off the UI thread.
class ContentFetcher {
 public:
  // Timeout of each request openLocal makes, in seconds.
  static constexpr double localTimeout = 30;

  ContentFetcher(HTTPClient http, std::shared_ptr<MediaCache> cache, std::vector<std::string> gateways,
                 std::shared_ptr<OnchfsResolver> onchfs);

  // A media URI as token metadata gives it (ipfs, ar, onchfs, data, https).
  // timeout applies to each single HTTP request. Everything fetched,
  // except data URLs, is stored in the cache under the URI as given, and
  // only a URI that MediaResolver::parse takes is looked up there: one it
  // refuses fails as having no URL, whatever the cache holds.
  MediaContent fetch(std::string_view uri, double timeout, std::stop_token stop = {}) const;

  // A live page's file as openLocal answers it: the cache file opened for
  // reading (the receiver closes it), or the bytes when they could not be
  // stored.
  struct LocalFile {
    int fd = -1;
    std::int64_t size = 0;
    std::string mime;
    Bytes bytes;  // when fd is -1
  };

  // The file a "tavolune://local/<kind>/<id>/<path>" URL names, kind
  // "onchfs" or "ipfs", as a live page loads its files. With a budget, every
  // file served is taken from it, cache hits as well; what is downloaded is
  // taken from downloads as well, when given. Downloads take their bytes
  // from both as they arrive, so that downloads running at once never pass
  // them together, and those bytes stay taken whether the file is kept or
  // not: a budget bounds what a page moves. A download is cut off at the
  // first piece that would pass them; an onchfs file inflates no further
  // than they cover. That spends the budget it passes, so the page's
  // further downloads fail before they move anything. A file they cannot
  // cover fails with TavoluneError::decoding and stores nothing.
  LocalFile openLocal(const Url& url, std::stop_token stop = {}, ByteBudget* budget = nullptr,
                      ByteBudget* downloads = nullptr) const;

  // The first URL that answers 2xx with a body; else the last failure.
  MediaContent fetchFirst(const std::vector<Url>& urls, double timeout, std::stop_token stop = {}) const;

  HTTPClient http;
  std::shared_ptr<MediaCache> cache;
  std::vector<std::string> gateways;
  // A larger answer fails with a decoding error.
  std::size_t maxDownloadBytes = mediaDownloadLimit;

 private:
  // onGateways: every URL was built on the gateways, from a token's id.
  MediaContent fetchFirst(const std::vector<Url>& urls, double timeout, std::stop_token stop, BudgetDraw* draw,
                          bool onGateways) const;

  std::shared_ptr<OnchfsResolver> onchfs_;
};

}  // namespace tavolune
