#include "core/indexers/OpenSeaKeyStore.hpp"

#include "core/base/Hosts.hpp"
#include "core/base/TavoluneError.hpp"
#include "core/persistence/Files.hpp"
#include "core/persistence/TavolunePaths.hpp"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include <map>
#include <system_error>

namespace tavolune {

namespace fs = std::filesystem;

namespace {

// Refusals by key-file path, for the whole process.
struct RefusalRegistry {
  std::mutex mutex;
  std::map<std::string, Clock::TimePoint> refusedAt;
};

RefusalRegistry& refusals() {
  static RefusalRegistry registry;
  return registry;
}

std::string registryKey(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  return (ec ? path : absolute).lexically_normal().string();
}

std::optional<std::string> readFile(const fs::path& path) {
  std::string out;
  if (files::readWhole(path, out) != files::ReadResult::ok) return std::nullopt;
  return out;
}

// Only this user may read the key; failures are reported as false.
bool writeAtomically(const fs::path& target, const std::string& bytes) {
  try {
    files::writeAtomically(target, bytes, {.mode = 0600});
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<OpenSeaKeyStore::Stored> OpenSeaKeyStore::Stored::decode(std::string_view body) {
  json::Json tree;
  try {
    tree = json::parseWhole(body);
  } catch (const json::DecodeError&) {
    return std::nullopt;
  }
  if (!tree.is_object()) return std::nullopt;
  auto key = tree.find("api_key");
  auto expiry = tree.find("expires_at");
  if (key == tree.end() || expiry == tree.end() || !key->is_string() || !expiry->is_string()) return std::nullopt;
  return Stored{key->get<std::string>(), expiry->get<std::string>()};
}

OpenSeaKeyStore::OpenSeaKeyStore(fs::path url, std::string apiBase, Clock clock)
    : url_(std::move(url)), apiBase_(url::withoutTrailingSlash(std::move(apiBase))), clock_(std::move(clock)) {}

fs::path OpenSeaKeyStore::defaultURL() { return TavolunePaths::appSupport() / fileName; }

std::string OpenSeaKeyStore::defaultAPIBase() { return std::string(hosts::openSeaAPI); }

std::optional<Clock::TimePoint> OpenSeaKeyStore::refusedAt() const {
  auto& registry = refusals();
  std::lock_guard lock(registry.mutex);
  auto it = registry.refusedAt.find(registryKey(url_));
  if (it == registry.refusedAt.end()) return std::nullopt;
  return it->second;
}

void OpenSeaKeyStore::recordRefusal(Clock::TimePoint when) {
  auto& registry = refusals();
  std::lock_guard lock(registry.mutex);
  registry.refusedAt[registryKey(url_)] = when;
}

std::string OpenSeaKeyStore::key(const HTTPClient& http, std::stop_token stop) {
  const std::string serviceURL = keyServiceURL();
  {
    std::lock_guard lock(mutex_);
    if (!cached_) {
      if (auto body = readFile(url_)) cached_ = Stored::decode(*body);
    }
    const auto now = clock_.now();
    if (cached_) {
      if (auto expiry = date(cached_->expires_at);
          expiry && *expiry > now + std::chrono::seconds(static_cast<std::int64_t>(freshFor))) {
        return cached_->api_key;
      }
    }
    if (auto refused = refusedAt();
        refused && now - *refused < std::chrono::seconds(static_cast<std::int64_t>(refusalWindow))) {
      throw TavoluneError::http(429, serviceURL);
    }
  }

  auto url = Url::parse(serviceURL);
  if (!url) throw TavoluneError::invalidInput(serviceURL);
  HTTPRequest request;
  request.method = "POST";
  request.url = *url;
  request.timeout = keyTimeout;
  // Transport failures pass unchanged; an answer past the JSON cap fails as a decoding error.
  HTTPResult answer = http.data(std::move(request), stop, http.maxJSONBytes);

  std::optional<Stored> stored;
  if (answer.response.isSuccess()) stored = Stored::decode(answer.body);
  if (!stored) {
    recordRefusal(clock_.now());
    throw TavoluneError::http(answer.response.status, url->string());
  }
  {
    std::lock_guard lock(mutex_);
    cached_ = *stored;
    std::error_code ec;
    files::createPrivateDirectories(url_.parent_path(), ec);
    writeAtomically(url_, answer.body);
  }
  return stored->api_key;
}

void OpenSeaKeyStore::invalidate() {
  std::lock_guard lock(mutex_);
  cached_.reset();
  std::error_code ec;
  fs::remove(url_, ec);
}

std::optional<Date> OpenSeaKeyStore::date(std::string_view text) {
  // Fractional seconds are dropped wherever the zone designator follows
  // them: "…05.123Z" and "…05.123+02:00" both read.
  std::string whole(text);
  if (auto dot = whole.rfind('.'); dot != std::string::npos) {
    std::size_t end = dot + 1;
    while (end < whole.size() && isDigit(whole[end])) ++end;
    std::string_view zone = std::string_view(whole).substr(end);
    bool zoneFollows = zone == "Z" || (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && isDigit(zone[1]) &&
                                       isDigit(zone[2]) && zone[3] == ':' && isDigit(zone[4]) && isDigit(zone[5]));
    if (end > dot + 1 && zoneFollows) whole.erase(dot, end - dot);
  }
  return iso8601::parse(whole);
}

}  // namespace tavolune
