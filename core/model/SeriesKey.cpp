#include "core/model/Artwork.hpp"
#include "core/model/MediaResolver.hpp"
#include "core/text/Text.hpp"

#include <unicode/utf8.h>

#include <charconv>
#include <cstdint>

namespace tavolune {
namespace {

// Content-addressed series keys start with this; it differs from every
// chain's raw value and from "onchfs:".
constexpr std::string_view kIPFSKeyPrefix = "ipfs:";

bool isRegexSpace(UChar32 c) { return c >= 0 && text::isRegexSpace(static_cast<char32_t>(c)); }

// Where the edition suffix "\s*#\s?[0-9]+\s*$" starts in a title, or nothing.
// The suffix is anchored at the end, so it is found by walking backwards.
std::optional<std::size_t> editionSuffixStart(std::string_view title) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(title.data());
  auto i = static_cast<std::int32_t>(title.size());
  auto previous = [&](std::int32_t at, UChar32& c) {
    std::int32_t j = at;
    U8_PREV(p, 0, j, c);
    return j;
  };
  UChar32 c = 0;
  // Trailing white space.
  while (i > 0) {
    std::int32_t j = previous(i, c);
    if (!isRegexSpace(c)) break;
    i = j;
  }
  // One or more digits.
  std::int32_t digitsEnd = i;
  while (i > 0 && title[static_cast<std::size_t>(i - 1)] >= '0' && title[static_cast<std::size_t>(i - 1)] <= '9') --i;
  if (i == digitsEnd || i == 0) return std::nullopt;
  // "#", possibly followed by one white space character.
  std::int32_t j = previous(i, c);
  if (c != '#') {
    if (!isRegexSpace(c) || j == 0) return std::nullopt;
    j = previous(j, c);
    if (c != '#') return std::nullopt;
  }
  i = j;
  // White space before the "#" belongs to the match too.
  while (i > 0) {
    std::int32_t k = previous(i, c);
    if (!isRegexSpace(c)) break;
    i = k;
  }
  return static_cast<std::size_t>(i);
}

std::optional<std::int64_t> decimalInteger(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return std::nullopt;
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string Artwork::seriesKey() const {
  if (mediaKind == MediaKind::generative && editionNumber) {
    if (auto cut = editionSuffixStart(title)) {
      std::string key(rawValue(chain));
      key += ':';
      key += contract;
      key += ':';
      key += text::lowercased(std::string_view(title).substr(0, *cut));
      return key;
    }
  }
  if (auto ref = MediaResolver::parse(animationURI)) {
    if (const auto* onchfs = ref->as<MediaRef::Onchfs>()) return "onchfs:" + onchfs->hash + "/" + onchfs->path;
    if (const auto* ipfs = ref->as<MediaRef::Ipfs>()) return std::string(kIPFSKeyPrefix) + ipfs->cid + "/" + ipfs->path;
  }
  if (platform == Platform::artBlocks || platform == Platform::brightMoments) {
    if (auto n = decimalInteger(tokenId)) {
      std::string key(rawValue(chain));
      key += ':';
      key += contract;
      key += ':';
      key += std::to_string(*n / 1000000);
      return key;
    }
  }
  if (animationURI && animationURI->starts_with("data:")) return collectionKey();
  return id;
}

}  // namespace tavolune
