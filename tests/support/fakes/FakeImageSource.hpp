#pragma once
// Media bytes from memory for the image pipeline, with latches: a held URI
// blocks its fetches until the test releases it (or the fetch is asked to
// stop), so that a test decides when, and in which order, results land.
// An URI with nothing served fails, as an HTTP error would. Every fetch is
// recorded with its thread. Thread-safe; header-only, so that benchmarks
// can use it too.

#include "app/render/ImageSource.hpp"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tavolune::testsupport {

class FakeImageSource final : public ImageSource {
 public:
  struct Call {
    std::string uri;
    std::thread::id thread;
  };

  static QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
  }

  void serve(const std::string& uri, const QImage& image) { serve(uri, png(image), "image/png"); }
  void serve(const std::string& uri, QByteArray data, std::string mime) {
    std::lock_guard lock(mutex_);
    media_[uri] = FetchedMedia{std::move(data), std::move(mime)};
  }
  void forget(const std::string& uri) {
    std::lock_guard lock(mutex_);
    media_.erase(uri);
  }

  // Fetches of uri wait until release(uri).
  void hold(const std::string& uri) {
    std::lock_guard lock(mutex_);
    held_.insert(uri);
  }
  void release(const std::string& uri) {
    std::lock_guard lock(mutex_);
    held_.erase(uri);
    changed_.notify_all();
  }
  // Held fetches finish only on release, like a source that answers after
  // the stop was asked for (a late result).
  void setIgnoresStop(bool ignores) {
    std::lock_guard lock(mutex_);
    ignoresStop_ = ignores;
  }
  // Every fetch takes this long unless stopped first (benchmarks).
  void setLatency(std::chrono::microseconds latency) {
    std::lock_guard lock(mutex_);
    latency_ = latency;
  }

  // Blocks until `count` fetches of uri have begun; false after the timeout.
  bool waitForFetches(const std::string& uri, int count = 1, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return countLocked(uri) >= count; });
  }

  FetchedMedia fetch(const std::string& uri, std::chrono::milliseconds, std::stop_token stop) override {
    // Registered before the lock: a stop already requested runs it at once.
    std::stop_callback wake(stop, [this] {
      std::lock_guard lock(mutex_);
      changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    calls_.push_back({uri, std::this_thread::get_id()});
    changed_.notify_all();
    if (latency_.count() > 0) {
      changed_.wait_for(lock, latency_, [&] { return stop.stop_requested(); });
    }
    changed_.wait(lock, [&] { return !held_.contains(uri) || (stop.stop_requested() && !ignoresStop_); });
    if (stop.stop_requested() && !ignoresStop_) throw std::runtime_error("cancelled");
    const auto it = media_.find(uri);
    if (it == media_.end()) throw std::runtime_error("The request timed out.");
    return it->second;
  }

  std::vector<Call> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  int count(const std::string& uri) const {
    std::lock_guard lock(mutex_);
    return countLocked(uri);
  }
  int count() const {
    std::lock_guard lock(mutex_);
    return int(calls_.size());
  }
  int countOnThread(std::thread::id thread) const {
    std::lock_guard lock(mutex_);
    return int(std::count_if(calls_.begin(), calls_.end(), [&](const Call& c) { return c.thread == thread; }));
  }
  // The most fetches any one URI had.
  int mostPerURI() const {
    std::lock_guard lock(mutex_);
    std::map<std::string, int> per;
    int most = 0;
    for (const auto& c : calls_) most = std::max(most, ++per[c.uri]);
    return most;
  }

 private:
  int countLocked(const std::string& uri) const {
    return int(std::count_if(calls_.begin(), calls_.end(), [&](const Call& c) { return c.uri == uri; }));
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, FetchedMedia> media_;
  std::set<std::string> held_;
  std::chrono::microseconds latency_{0};
  bool ignoresStop_ = false;
  std::vector<Call> calls_;
};

}  // namespace tavolune::testsupport
