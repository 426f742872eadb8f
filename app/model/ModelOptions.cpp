#include "app/model/ModelOptions.hpp"

#include "core/base/Hosts.hpp"
#include "core/media/MediaCache.hpp"
#include "core/persistence/LibraryStore.hpp"

#include <QThreadPool>

namespace tavolune {

ModelOptions ModelOptions::standard() {
  ModelOptions options;
  options.storeURL = LibraryStore::defaultURL();
  options.cacheDirectory = MediaCache::defaultDirectory();
  options.services = SyncEngine::Services::real();
  options.bitcoinIndexer = hosts::ordinalsIndexer;
  options.resolver = AddressResolver::Endpoints::real();
  return options;
}

QThreadPool& ModelOptions::threadPool() const { return pool ? *pool : *QThreadPool::globalInstance(); }

}  // namespace tavolune
