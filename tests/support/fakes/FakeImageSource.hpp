#pragma once

#include "app/render/ImageSource.hpp"
#include "core/base/Url.hpp"
#include "core/model/MediaResolver.hpp"

#include <QByteArray>

#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// Test doubles of ImageSource: media served from memory, and media fetched
// over HTTP from loopback gateways. Thread-safe; fetch() blocks.
namespace tavolune::testsupport {

// Serves media from memory; an absent URI or one marked failing throws, as
// the content fetcher does for an HTTP error or a time-out.
class FakeImageSource : public ImageSource {
 public:
  struct Call {
    std::string uri;
    std::chrono::milliseconds timeout;
    std::thread::id thread;
  };

  void serve(const std::string& uri, QByteArray data, std::string mime) {
    std::lock_guard lock(mutex_);
    media_[uri] = FetchedMedia{std::move(data), std::move(mime)};
  }
  void forget(const std::string& uri) {
    std::lock_guard lock(mutex_);
    media_.erase(uri);
  }

  FetchedMedia fetch(const std::string& uri, std::chrono::milliseconds timeout, std::stop_token) override {
    std::lock_guard lock(mutex_);
    calls_.push_back({uri, timeout, std::this_thread::get_id()});
    const auto it = media_.find(uri);
    if (it == media_.end()) throw std::runtime_error("The request timed out.");
    return it->second;
  }

  std::vector<Call> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::vector<std::string> uris() {
    std::vector<std::string> list;
    for (const auto& c : calls()) list.push_back(c.uri);
    return list;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, FetchedMedia> media_;
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
