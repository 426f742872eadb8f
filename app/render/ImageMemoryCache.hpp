#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tavolune {

// Decoded images bounded by total cost (bytes) and by count; the least
// recently used entries go first when either bound is passed. Thread-safe.
class ImageMemoryCache {
 public:
  ImageMemoryCache(std::int64_t costLimit, std::size_t countLimit);

  // A null image when the key is absent.
  QImage find(const std::string& key);
  // Replaces an entry under the same key. An image costing more than the
  // whole limit is not kept (it would only push everything else out).
  void insert(const std::string& key, const QImage& image, std::int64_t cost);
  // Drops every entry for which drop(key, image) is true.
  void removeIf(const std::function<bool(const std::string&, const QImage&)>& drop);

  std::size_t count() const;
  std::int64_t totalCost() const;
  std::int64_t costLimit() const { return costLimit_; }
  std::size_t countLimit() const { return countLimit_; }

 private:
  struct Entry {
    std::string key;
    QImage image;
    std::int64_t cost;
  };
  void evictLocked();

  const std::int64_t costLimit_;
  const std::size_t countLimit_;
  mutable std::mutex mutex_;
  std::list<Entry> order_;  // most recent first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
  std::int64_t total_ = 0;
};

}  // namespace tavolune
