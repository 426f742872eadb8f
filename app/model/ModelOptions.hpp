#pragma once
// Where the app model keeps its files and reaches its services, and how
// long it waits; its parts (wallet sync, series formats, media services)
// are made from the same options. A plain value; any thread.

#include "app/render/SVGRasterizer.hpp"
#include "app/stage/ProbeService.hpp"
#include "core/base/Date.hpp"
#include "core/indexers/SyncEngine.hpp"
#include "core/media/ContentFetcher.hpp"
#include "core/network/AddressResolver.hpp"
#include "core/network/HTTPClient.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QThreadPool;

namespace tavolune {

struct ModelTimings {
  std::chrono::milliseconds saveDelay{1500};
  std::chrono::milliseconds countDelay{600};
  std::chrono::milliseconds autoSyncInterval{600'000};
  std::chrono::seconds staleAfter{21'600};
  std::chrono::milliseconds ratioFlushDelay{800};
};

// Options as made name no service at all (nothing leaves the machine); the
// program asks for the public ones with standard(). Tests point the
// services at loopback fakes and shorten the timings.
struct ModelOptions {
  std::filesystem::path storeURL;
  std::filesystem::path cacheDirectory;
  // Public addresses only: the fetcher and the indexers follow token data
  // with it, and every service it reaches otherwise is on the internet.
  // The services name their own hosts; where token data names the address,
  // the fetcher and the EVM indexer say so on their copies.
  HTTPClient http = [] {
    HTTPClient client;
    client.publicAddressesOnly = true;
    client.ownServices = true;
    return client;
  }();
  SyncEngine::Services services{};
  std::string bitcoinIndexer{};
  AddressResolver::Endpoints resolver{};
  ModelTimings timings{};
  std::function<Date()> now = &tavolune::now;
  QThreadPool* pool = nullptr;  // the application's pool when null
  // Where the image pipeline draws SVG; in this process when null.
  std::shared_ptr<SVGRasterizer> svg{};
  // The off-screen probes; the real ones on the model's fetcher when null.
  std::function<std::unique_ptr<ProbeService>(const ContentFetcher&)> probes{};

  // The library file and media folder of the data directory, and the
  // public services: the program's own options.
  static ModelOptions standard();
  // The pool blocking work runs on.
  QThreadPool& threadPool() const;
};

}  // namespace tavolune
