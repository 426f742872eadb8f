#include "core/indexers/Heuristics.hpp"

#include "core/text/Text.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>

namespace tavolune::Heuristics {
namespace {

icu::UnicodeString unicode(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string utf8(const icu::UnicodeString& u) {
  std::string out;
  u.toUTF8String(out);
  return out;
}

std::unique_ptr<icu::RegexMatcher> matcher(const char* pattern, const icu::UnicodeString& input, uint32_t flags) {
  UErrorCode status = U_ZERO_ERROR;
  auto m = std::make_unique<icu::RegexMatcher>(icu::UnicodeString(pattern, -1, US_INV), input, flags, status);
  if (U_FAILURE(status)) return nullptr;
  return m;
}

bool endsWithAny(std::string_view s, std::initializer_list<std::string_view> suffixes) {
  for (auto suffix : suffixes) {
    if (s.ends_with(suffix)) return true;
  }
  return false;
}

// "Waves by Studio K" -> "Studio K". The last " by " splits, so "Stand by
// Me by Ada" credits Ada.
std::optional<std::string> artistFromCollection(const std::string& collection) {
  icu::UnicodeString input = unicode(collection);
  auto m = matcher("\\s+by\\s+", input, UREGEX_CASE_INSENSITIVE);
  if (!m) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  int32_t lastEnd = -1;
  while (m->find(status) && U_SUCCESS(status)) {
    lastEnd = m->end(status);
  }
  if (lastEnd < 0 || U_FAILURE(status)) return std::nullopt;
  std::string rest = text::trimHorizontalWhitespace(utf8(input.tempSubString(lastEnd)));
  if (rest.empty() || text::characterCount(rest) > 80) return std::nullopt;
  return rest;
}

}  // namespace

MediaKind mediaKind(const std::optional<std::string>& mime, const std::optional<std::string>& animationURI) {
  std::string m = mime ? text::lowercased(*mime) : std::string();
  if (m.starts_with("video/")) return MediaKind::video;
  if (m == "application/x-directory" || m.starts_with("text/html") || m == "application/javascript") {
    return MediaKind::generative;
  }
  if (animationURI && !animationURI->empty()) {
    std::string uri = text::lowercased(*animationURI);
    // The first non-empty piece between "?" marks.
    std::string_view path = uri;
    std::size_t start = path.find_first_not_of('?');
    if (start != std::string_view::npos) {
      path = path.substr(start);
      path = path.substr(0, path.find('?'));
    }
    if (endsWithAny(path, {".mp4", ".webm", ".mov", ".m4v"})) return MediaKind::video;
    if (endsWithAny(path, {".gif", ".png", ".jpg", ".jpeg", ".webp"})) return MediaKind::image;
    if (endsWithAny(path, {".glb", ".gltf", ".mp3", ".wav"})) return MediaKind::image;
    return MediaKind::generative;
  }
  if (m.starts_with("image/")) return MediaKind::image;
  return m.empty() ? MediaKind::image : MediaKind::other;
}

std::optional<std::string> artist(const JSONValue* attributes, const std::optional<std::string>& collection) {
  if (attributes && attributes->isArray()) {
    for (const JSONValue& element : attributes->array()) {
      const auto* obj = element.objectValue();
      if (!obj || obj->empty()) continue;
      std::string name = text::lowercased(element["trait_type"].string().value_or(""));
      if (name != "artist" && name != "artist name" && name != "creator") continue;
      if (auto value = element["value"].string()) {
        std::string trimmed = text::trimHorizontalWhitespace(*value);
        if (!trimmed.empty()) return trimmed;
      }
    }
  }
  if (collection) return artistFromCollection(*collection);
  return std::nullopt;
}

std::optional<std::string> editionNumber(std::string_view title) {
  icu::UnicodeString input = unicode(title);
  auto m = matcher("#\\s?([0-9]+)\\s*$", input, 0);
  if (!m) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  if (!m->find(status) || U_FAILURE(status)) return std::nullopt;
  // The digits alone: what remains of the match once "#" and the blanks
  // around it are trimmed.
  icu::UnicodeString digits = m->group(1, status);
  if (U_FAILURE(status)) return std::nullopt;
  return utf8(digits);
}

bool looksLikeSpam(const std::vector<std::optional<std::string>>& texts) {
  static constexpr std::array<std::string_view, 17> words{
      "claim", "reward", "airdrop", "visit ", "voucher", "free mint", "http://", "https://", ".com",
      ".io ",  ".xyz",   ".net",    "$",      "redeem",  "giveaway",  "eligible", "t.me/",
  };
  std::string joined;
  bool first = true;
  for (const auto& t : texts) {
    if (!t) continue;
    if (!first) joined += ' ';
    first = false;
    joined += text::lowercased(*t);
  }
  if (joined.empty()) return false;
  for (auto word : words) {
    if (joined.find(word) != std::string::npos) return true;
  }
  return false;
}

}  // namespace tavolune::Heuristics
