#pragma once

#include "core/base/Clock.hpp"
#include "core/base/Date.hpp"
#include "core/network/HTTPClient.hpp"

#include <filesystem>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tavolune {

// Obtains the OpenSea API key every OpenSea request carries: asks the key
// service for a short-lived key, keeps it in memory and in a small file so
// later syncs and launches reuse it, renews it when less than an hour is
// left, and stops asking for six hours after the service refuses.
//
// Shared by reference (std::shared_ptr) between copies of the provider.
// The mutex is never held across the key request, so overlapping callers
// may each ask the service; the last answer stored wins.
class OpenSeaKeyStore {
 public:
  // The key file's content: the key service's answer.
  struct Stored {
    std::string api_key;
    std::string expires_at;

    // Nothing unless both members are strings; other members are ignored.
    static std::optional<Stored> decode(std::string_view body);
  };

  static constexpr double keyTimeout = 30;
  static constexpr double freshFor = 3600;        // seconds a returned key must still be valid
  static constexpr double refusalWindow = 21600;  // seconds without a request after a refusal
  static constexpr std::string_view fileName = "opensea-key.json";
  static constexpr std::string_view keyPath = "/api/v2/auth/keys";

  // An empty store for the key file at url; nothing is read before the
  // first key request. apiBase is the OpenSea API endpoint ("https://host").
  explicit OpenSeaKeyStore(std::filesystem::path url, std::string apiBase, Clock clock = {});

  // "opensea-key.json" in the application folder (never in the data
  // directory that TAVOLUNE_DATA_DIR names).
  static std::filesystem::path defaultURL();
  static std::string defaultAPIBase();

  // A key valid for more than another hour, from memory, the file or the
  // key service. Throws TavoluneError::http(429, <key URL>) without a
  // request within six hours of a refusal; a refused request throws
  // TavoluneError::http with the answer's status; transport failures pass
  // unchanged.
  std::string key(const HTTPClient& http, std::stop_token stop = {});

  // Forgets the held key and deletes the key file (a failure is ignored).
  // A recorded refusal stays.
  void invalidate();

  // An expiry text: the internet date-time form with a zone designator;
  // fractional seconds are dropped. Nothing when it does not read.
  static std::optional<Date> date(std::string_view text);

  const std::filesystem::path& url() const { return url_; }
  std::string keyServiceURL() const { return apiBase_ + std::string(keyPath); }

  // When the key service last refused a request for this key file, within
  // this process. The application builds a new store for every wallet sync,
  // so the refusal is kept per file path for the life of the process rather
  // than per store; nor is it kept in the key file, which invalidate()
  // deletes.
  std::optional<Clock::TimePoint> refusedAt() const;

 private:
  void recordRefusal(Clock::TimePoint when);

  std::filesystem::path url_;
  std::string apiBase_;
  Clock clock_;
  mutable std::mutex mutex_;
  std::optional<Stored> cached_;
};

}  // namespace tavolune
