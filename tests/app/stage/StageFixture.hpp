#pragma once
// A media cache in a fresh folder and a content fetcher whose IPFS gateway
// is a loopback server, for the stage's tests. GUI thread only.

#include "core/media/ContentFetcher.hpp"
#include "core/media/MediaCache.hpp"
#include "core/media/OnchfsResolver.hpp"
#include "tests/support/LoopbackServer.hpp"
#include "tests/support/TinyGif.hpp"

#include <QTemporaryDir>

#include <memory>
#include <string>

namespace tavolune::testsupport {

// An animated GIF of two frames, 1 x 1, looping.
inline const std::string& gifBytes = tinyGif();

inline constexpr const char* stageCID = "QmYwAPJzv5CZsnA625s3Xf2nemtYgPpHdWEz79ojWnPbdG";

struct StageMedia {
  QTemporaryDir folder;
  std::shared_ptr<MediaCache> cache =
      std::make_shared<MediaCache>(folder.path().toStdString() + "/Media", std::int64_t{1} << 30);
  LoopbackServer gateway;
  ContentFetcher fetcher{HTTPClient(), cache, {gateway.baseURL()},
                         std::make_shared<OnchfsResolver>(HTTPClient(), gateway.baseURL())};

  // A file of the live work stageCID, as "tavolune://local/ipfs/<cid>/<path>" serves it.
  void seed(const std::string& path, const std::string& bytes, const std::string& mime) {
    cache->store(bytes, "ipfs/" + std::string(stageCID) + "/" + path, mime);
  }
  static std::string local(const std::string& path) {
    return "tavolune://local/ipfs/" + std::string(stageCID) + "/" + path;
  }
};

}  // namespace tavolune::testsupport
