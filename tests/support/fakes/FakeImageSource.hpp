#pragma once
// Test doubles of ImageSource: media served from memory, and media fetched
// over HTTP from loopback gateways. Thread-safe; fetch() blocks.

#include "app/render/ImageSource.hpp"
#include "core/base/Url.hpp"
#include "core/model/MediaResolver.hpp"
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <httplib.h>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace tavolune::testsupport {

// Serves media from memory; an absent URI or one marked failing throws, as
// the content fetcher does for an HTTP error or a time-out. Fetches can be
// held until released, slowed, or made to ignore the stop (a late result).
class FakeImageSource final : public ImageSource {
 public:
  struct Call {
    std::string uri;
    std::chrono::milliseconds timeout;
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

  FetchedMedia fetch(const std::string& uri, std::chrono::milliseconds timeout, std::stop_token stop) override {
    // Registered before the lock: a stop already requested runs it at once.
    std::stop_callback wake(stop, [this] {
      std::lock_guard lock(mutex_);
      changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    calls_.push_back({uri, timeout, std::this_thread::get_id()});
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
  std::vector<std::string> uris() const {
    std::vector<std::string> list;
    for (const auto& c : calls()) list.push_back(c.uri);
    return list;
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

// Fetches a media URI through its HTTP candidates over the given gateways,
// first answer wins: the shape of the application's content fetcher, enough
// to run the pipeline against a real HTTP server.
class GatewayImageSource : public ImageSource {
 public:
  explicit GatewayImageSource(std::vector<std::string> gateways) : gateways_(std::move(gateways)) {}

  FetchedMedia fetch(const std::string& uri, std::chrono::milliseconds timeout, std::stop_token stop) override {
    for (const Url& url : MediaResolver::httpCandidates(uri, gateways_)) {
      if (stop.stop_requested()) break;
      std::string origin = url.scheme() + "://" + url.host();
      if (url.port()) origin += ":" + *url.port();
      httplib::Client client(origin);
      client.set_connection_timeout(timeout);
      client.set_read_timeout(timeout);
      const std::string target = url.path() + (url.query() ? "?" + *url.query() : "");
      auto response = client.Get(target);
      if (!response || response->status != 200) continue;
      std::string mime = response->get_header_value("Content-Type");
      mime = mime.substr(0, mime.find(';'));
      return {QByteArray::fromStdString(response->body), mime};
    }
    throw std::runtime_error("no gateway answered");
  }

 private:
  std::vector<std::string> gateways_;
};

}  // namespace tavolune::testsupport
