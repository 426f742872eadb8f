#pragma once

// Compares a work with the one a test expects, every field, and names each
// field that differs with both values. Any thread gtest allows.

#include "core/model/Artwork.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <source_location>
#include <sstream>
#include <string>
#include <vector>

namespace tavolune::testsupport {

namespace artworkdetail {

inline std::string shown(const std::string& text) { return '"' + text + '"'; }
inline std::string shown(bool value) { return value ? "true" : "false"; }
inline std::string shown(std::int64_t value) { return std::to_string(value); }
inline std::string shown(double value) {
  std::ostringstream out;
  out.precision(17);
  out << value;
  return out.str();
}
template <NamedEnum E>
std::string shown(E value) {
  return std::string(rawValue(value));
}
template <class T>
std::string shown(const std::optional<T>& value) {
  return value ? shown(*value) : "(none)";
}

}  // namespace artworkdetail

// One "field: expected X, got Y" line per field that differs; none when equal.
inline std::vector<std::string> artworkDifferences(const Artwork& actual, const Artwork& expected) {
  std::vector<std::string> lines;
  auto compare = [&](const char* name, auto member) {
    if (actual.*member == expected.*member) return;
    lines.push_back(std::string(name) + ": expected " + artworkdetail::shown(expected.*member) + ", got " +
                    artworkdetail::shown(actual.*member));
  };
  compare("id", &Artwork::id);
  compare("chain", &Artwork::chain);
  compare("contract", &Artwork::contract);
  compare("tokenId", &Artwork::tokenId);
  compare("title", &Artwork::title);
  compare("artist", &Artwork::artist);
  compare("artistAddress", &Artwork::artistAddress);
  compare("collection", &Artwork::collection);
  compare("platform", &Artwork::platform);
  compare("mediaKind", &Artwork::mediaKind);
  compare("mime", &Artwork::mime);
  compare("imageURI", &Artwork::imageURI);
  compare("thumbnailURI", &Artwork::thumbnailURI);
  compare("animationURI", &Artwork::animationURI);
  compare("externalURL", &Artwork::externalURL);
  compare("aspectRatio", &Artwork::aspectRatio);
  compare("year", &Artwork::year);
  compare("editionNumber", &Artwork::editionNumber);
  compare("editionSize", &Artwork::editionSize);
  compare("isSpam", &Artwork::isSpam);
  compare("description", &Artwork::description);
  // A field added to Artwork but not to the list above still fails.
  if (lines.empty() && !(actual == expected)) lines.push_back("a field this comparison does not name differs");
  return lines;
}

// A test failure at the caller's line naming every field that differs.
inline bool expectArtwork(const Artwork& actual, const Artwork& expected,
                          std::source_location where = std::source_location::current()) {
  const auto lines = artworkDifferences(actual, expected);
  if (lines.empty()) return true;
  std::string message = "work " + expected.id + " differs:";
  for (const auto& line : lines) message += "\n  " + line;
  ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << message;
  return false;
}

}  // namespace tavolune::testsupport
