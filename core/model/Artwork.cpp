#include "core/model/Artwork.hpp"

#include "core/base/Hash.hpp"
#include "core/text/Text.hpp"

namespace tavolune {

using json::Json;

Artwork Artwork::make(Artwork fields) {
  fields.id = makeID(fields.chain, fields.contract, fields.tokenId);
  return fields;
}

std::string Artwork::makeID(Chain chain, std::string_view contract, std::string_view tokenId) {
  std::string id(rawValue(chain));
  id += ':';
  id += text::lowercased(contract);
  id += ':';
  id += tokenId;
  return id;
}

const std::unordered_set<std::string>& Artwork::platformContracts() {
  static const std::unordered_set<std::string> names{"hic et nunc", "ordinals", "versum items",
                                                     "8bidou 8x8",  "typed",    "objkt"};
  return names;
}

std::string Artwork::collectionKey() const {
  std::string key(rawValue(chain));
  key += ':';
  key += text::lowercased(contract);
  return key;
}

namespace {

// The label's items are joined by a middle dot between spaces.
void addItem(std::string& line, std::string_view item) {
  if (!line.empty()) line += " \u00B7 ";
  line += item;
}

// The part of a URI before its first non-empty "?"-separated piece ends.
bool firstPieceEndsWithGif(const std::optional<std::string>& uri) {
  if (!uri) return false;
  std::string lower = text::lowercased(*uri);
  std::size_t start = 0;
  while (start < lower.size() && lower[start] == '?') ++start;
  if (start >= lower.size()) return false;
  auto end = lower.find('?', start);
  std::string_view piece(lower.data() + start, (end == std::string::npos ? lower.size() : end) - start);
  return piece.ends_with(".gif");
}

}  // namespace

bool Artwork::isAnimatedImage() const {
  if (mediaKind != MediaKind::image) return false;
  if (text::lowercased(mime.value_or("")).starts_with("image/gif")) return true;
  return firstPieceEndsWithGif(imageURI) || firstPieceEndsWithGif(animationURI);
}

bool Artwork::isLive() const {
  if (mediaKind == MediaKind::generative || mediaKind == MediaKind::video) return true;
  return isAnimatedImage();
}

std::string Artwork::cartelTitle() const {
  if (editionNumber) {
    std::string suffix = "#" + *editionNumber;
    if (title.ends_with(suffix)) {
      auto cut = text::trimHorizontalWhitespace(std::string_view(title).substr(0, title.size() - suffix.size()));
      if (!cut.empty()) return cut;
    }
  }
  return title;
}

std::optional<std::string> Artwork::cartelCollection() const {
  if (!collection) return std::nullopt;
  std::string c = text::trimHorizontalWhitespace(*collection);
  if (artist) {
    if (auto at = text::findLastIgnoringCase(c, " by " + *artist)) {
      c = text::trimHorizontalWhitespace(std::string_view(c).substr(0, *at));
    }
  }
  const std::string t = text::lowercased(cartelTitle());
  const std::string cl = text::lowercased(c);
  if (cl.empty() || t.starts_with(cl) || cl.starts_with(t)) return std::nullopt;
  if (artist && cl == text::lowercased(*artist)) return std::nullopt;
  if (platformContracts().contains(cl) || cl.starts_with("fx(hash)")) return std::nullopt;
  return c;
}

std::string Artwork::cartelDetails() const {
  std::string out;
  auto add = [&out](std::string_view part) { addItem(out, part); };
  if (auto c = cartelCollection()) add(*c);
  if (year) add(std::to_string(*year));
  if (editionNumber) {
    std::string edition = "#" + *editionNumber;
    if (editionSize && *editionSize >= 2) edition += " / " + std::to_string(*editionSize);
    add(edition);
  }
  add(displayName(chain));
  return out;
}

std::string Artwork::museumDetails() const {
  std::string out;
  auto add = [&out](std::string_view part) { addItem(out, part); };
  if (auto c = cartelCollection()) add(*c);
  switch (mediaKind) {
    case MediaKind::generative: add("Generative, code"); break;
    case MediaKind::video: add("Video"); break;
    case MediaKind::image:
    case MediaKind::other: add(isAnimatedImage() ? "Animated GIF" : "Digital image"); break;
  }
  if (editionNumber) {
    if (!editionSize) add("No. " + *editionNumber);
    else if (*editionSize < 2) add("Unique");
    else add("No. " + *editionNumber + " of " + std::to_string(*editionSize));
  }
  add(displayName(chain));
  return out;
}

Json Artwork::toJson() const {
  Json j = Json::object();
  json::put(j, "id", id);
  json::put(j, "chain", chain);
  json::put(j, "contract", contract);
  json::put(j, "tokenId", tokenId);
  json::put(j, "title", title);
  json::put(j, "artist", artist);
  json::put(j, "artistAddress", artistAddress);
  json::put(j, "collection", collection);
  json::put(j, "platform", platform);
  json::put(j, "mediaKind", mediaKind);
  json::put(j, "mime", mime);
  json::put(j, "imageURI", imageURI);
  json::put(j, "thumbnailURI", thumbnailURI);
  json::put(j, "animationURI", animationURI);
  json::put(j, "externalURL", externalURL);
  json::put(j, "aspectRatio", aspectRatio);
  json::put(j, "year", year);
  json::put(j, "editionNumber", editionNumber);
  json::put(j, "editionSize", editionSize);
  json::put(j, "isSpam", isSpam);
  json::put(j, "description", description);
  return j;
}

}  // namespace tavolune

std::size_t std::hash<tavolune::Artwork>::operator()(const tavolune::Artwork& a) const noexcept {
  using tavolune::hashFields;
  return hashFields(a.id, a.chain, a.contract, a.tokenId, a.title, a.artist, a.artistAddress, a.collection,
                    a.platform, a.mediaKind, a.mime, a.imageURI, a.thumbnailURI, a.animationURI, a.externalURL,
                    a.aspectRatio, a.year, a.editionNumber, a.editionSize, a.isSpam, a.description);
}
