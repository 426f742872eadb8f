#include "core/indexers/OrdProvider.hpp"

#include "core/concurrency/SlidingWindow.hpp"
#include "core/text/Text.hpp"
#include "core/base/TavoluneError.hpp"

#include <cmath>
#include <ctime>

namespace tavolune {

using json::Json;

OrdProvider::AddressInfo OrdProvider::AddressInfo::fromJson(const Json& j) {
  json::expectObject(j);
  return {json::optional<std::vector<std::string>>(j, "inscriptions").value_or(std::vector<std::string>{})};
}

Json OrdProvider::AddressInfo::toJson() const {
  Json j = Json::object();
  json::put(j, "inscriptions", inscriptions);
  return j;
}

OrdProvider::Inscription OrdProvider::Inscription::fromJson(const Json& j) {
  json::expectObject(j);
  return {json::required<std::string>(j, "id"), json::optional<std::int64_t>(j, "number"),
          json::optional<std::string>(j, "content_type"), json::optional<double>(j, "timestamp")};
}

Json OrdProvider::Inscription::toJson() const {
  Json j = Json::object();
  json::put(j, "id", id);
  json::put(j, "number", number);
  json::put(j, "content_type", contentType);
  json::put(j, "timestamp", timestamp);
  return j;
}

namespace {

MediaKind kindOf(std::string_view type) {
  if (type.starts_with("text/html")) return MediaKind::generative;
  if (type.starts_with("image/svg+xml")) return MediaKind::generative;
  if (type.starts_with("video/")) return MediaKind::video;
  if (type.starts_with("image/")) return MediaKind::image;
  return MediaKind::other;
}

// The calendar year of the instant in the local time zone. A timestamp far
// outside any real calendar gives no year rather than an overflow.
std::optional<std::int64_t> localYear(double timestamp) {
  constexpr double limit = 1e15;  // some thirty million years either way
  if (!std::isfinite(timestamp) || timestamp > limit || timestamp < -limit) return std::nullopt;
  auto seconds = static_cast<std::time_t>(std::floor(timestamp));
  std::tm local{};
  if (!localtime_r(&seconds, &local)) return std::nullopt;
  return static_cast<std::int64_t>(local.tm_year) + 1900;
}

}  // namespace

Artwork OrdProvider::map(const Inscription& inscription, std::string_view baseURL) {
  const std::string type = text::lowercased(inscription.contentType.value_or(""));
  const std::string content = std::string(baseURL) + "/content/" + inscription.id;
  const std::string page = std::string(baseURL) + "/inscription/" + inscription.id;
  const MediaKind kind = kindOf(type);

  std::string title = inscription.number ? "Inscription #" + std::to_string(*inscription.number)
                                         : "Inscription " + text::prefixCharacters(inscription.id, 8) + "\u2026";
  const bool plays = kind == MediaKind::generative || kind == MediaKind::video;

  return Artwork::make({
      .chain = Chain::bitcoin,
      .contract = "Inscription",
      .tokenId = inscription.id,
      .title = std::move(title),
      .collection = "Ordinals",
      .platform = Platform::ordinals,
      .mediaKind = kind,
      .mime = inscription.contentType,
      .imageURI = kind == MediaKind::image ? std::optional<std::string>(content) : std::nullopt,
      .thumbnailURI = kind == MediaKind::image ? std::optional<std::string>(content) : std::nullopt,
      .animationURI = plays ? std::optional<std::string>(content) : std::nullopt,
      .externalURL = page,
      .year = inscription.timestamp ? localYear(*inscription.timestamp) : std::nullopt,
      .isSpam = kind == MediaKind::other && !type.starts_with("text/"),
  });
}

namespace {

Url requestURL(const std::string& text) {
  auto url = Url::parse(text);
  if (!url) throw TavoluneError::invalidInput(text);
  return *url;
}

}  // namespace

OrdProvider::OrdProvider(std::string baseURL, HTTPClient http)
    : http_(std::move(http)), baseURL_(url::withoutTrailingSlash(std::move(baseURL))) {}

std::vector<OwnedArtwork> OrdProvider::tokens(const std::string& owner, Chain, std::stop_token stop) const {
  auto info = http_.getJSON<AddressInfo>(requestURL(baseURL_ + "/address/" + owner), {}, 30, stop);
  auto& ids = info.inscriptions;
  if (ids.size() > maxInscriptions) ids.resize(maxInscriptions);
  auto owned = slidingWindow<OwnedArtwork>(
      ids.size(), window,
      [&](std::size_t i, std::stop_token token) -> std::optional<OwnedArtwork> {
        try {
          return inscription(ids[i], token);
        } catch (const CancellationError&) {
          throw;
        } catch (...) {
          return std::nullopt;  // one unreadable inscription does not cost the rest
        }
      },
      stop);
  // A cancelled listing is not a complete one.
  if (stop.stop_requested()) throw CancellationError();
  return owned;
}

OwnedArtwork OrdProvider::inscription(const std::string& id, std::stop_token stop) const {
  auto record = http_.getJSON<Inscription>(requestURL(baseURL_ + "/inscription/" + id), {}, 30, stop);
  return {map(record, baseURL_), 1};
}

}  // namespace tavolune
