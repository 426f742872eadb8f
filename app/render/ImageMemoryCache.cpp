#include "app/render/ImageMemoryCache.hpp"

namespace tavolune {

ImageMemoryCache::ImageMemoryCache(std::int64_t costLimit, std::size_t countLimit)
    : costLimit_(costLimit), countLimit_(countLimit) {}

QImage ImageMemoryCache::find(const std::string& key) {
  std::lock_guard lock(mutex_);
  const auto it = index_.find(key);
  if (it == index_.end()) return {};
  order_.splice(order_.begin(), order_, it->second);
  return it->second->image;
}

void ImageMemoryCache::insert(const std::string& key, const QImage& image, std::int64_t cost) {
  std::lock_guard lock(mutex_);
  if (const auto it = index_.find(key); it != index_.end()) {
    total_ -= it->second->cost;
    order_.erase(it->second);
    index_.erase(it);
  }
  if (image.isNull() || cost < 0 || cost > costLimit_ || countLimit_ == 0) return;
  order_.push_front(Entry{key, image, cost});
  index_[key] = order_.begin();
  total_ += cost;
  evictLocked();
}

void ImageMemoryCache::removeIf(const std::function<bool(const std::string&, const QImage&)>& drop) {
  std::lock_guard lock(mutex_);
  for (auto it = order_.begin(); it != order_.end();) {
    if (!drop(it->key, it->image)) {
      ++it;
      continue;
    }
    total_ -= it->cost;
    index_.erase(it->key);
    it = order_.erase(it);
  }
}

void ImageMemoryCache::evictLocked() {
  while (!order_.empty() && (total_ > costLimit_ || order_.size() > countLimit_)) {
    total_ -= order_.back().cost;
    index_.erase(order_.back().key);
    order_.pop_back();
  }
}

std::size_t ImageMemoryCache::count() const {
  std::lock_guard lock(mutex_);
  return order_.size();
}

std::int64_t ImageMemoryCache::totalCost() const {
  std::lock_guard lock(mutex_);
  return total_;
}

}  // namespace tavolune
