#include "core/indexers/TezosContracts.hpp"

#include <array>

namespace tavolune::TezosContracts {

bool isAddress(std::string_view text) {
  static constexpr std::string_view base58 = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
  if (text.size() != 36) return false;
  const std::string_view prefix = text.substr(0, 3);
  if (prefix != "tz1" && prefix != "tz2" && prefix != "tz3" && prefix != "KT1") return false;
  return text.substr(3).find_first_not_of(base58) == std::string_view::npos;
}

const std::unordered_set<std::string>& fxhash() {
  static const std::unordered_set<std::string> contracts{
      "KT1KEa8z6vWXDJrVqtMrAeDVzsvxat3kHaCE",
      "KT1U6EHmNxJTkvaWJ4ThczG4FSDaHC21ssvi",
      "KT1EfsNuqwLAWDd3o4pvfUx1CAh5GMdTrRvr",
  };
  return contracts;
}

Platform platform(std::string_view contract, const std::optional<std::string>& path,
                  const std::optional<std::string>& artifactURI, const std::optional<std::string>& collectionType) {
  const std::string_view artifact = artifactURI ? std::string_view(*artifactURI) : std::string_view();
  const std::string_view collectionPath = path ? std::string_view(*path) : std::string_view();

  if (fxhash().contains(std::string(contract))) return Platform::fxhash;
  if (artifact.find("fxhash=") != std::string_view::npos) return Platform::fxhash;
  if (collectionPath.starts_with("editart")) return Platform::editArt;
  // A query parameter named exactly m0; "xm0=" must not count.
  if (artifact.find("?m0=") != std::string_view::npos || artifact.find("&m0=") != std::string_view::npos) {
    return Platform::editArt;
  }
  if (contract == versumContract) return Platform::versum;
  if (contract == henContract) return Platform::objkt;
  if (!collectionType) return Platform::generic;
  static constexpr std::array<std::string_view, 5> objktTypes{"open", "artist", "open_edition", "generative",
                                                              "open_generative"};
  for (auto type : objktTypes) {
    if (*collectionType == type) return Platform::objkt;
  }
  return Platform::generic;
}

std::string henInteractiveURI(std::string_view uri, const std::optional<std::string>& creator,
                              std::string_view viewer) {
  std::string out(uri);
  if (out.find("viewer=") != std::string::npos) return out;
  out += out.find('?') != std::string::npos ? '&' : '?';
  out += "viewer=";
  out += viewer;
  if (creator) {
    out += "&creator=";
    out += *creator;
  }
  return out;
}

}  // namespace tavolune::TezosContracts
