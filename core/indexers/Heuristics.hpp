#pragma once

#include "core/model/MediaKind.hpp"
#include "core/network/JSONValue.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Classification rules every provider shares, so that all of them read a
// token the same way. Pure functions.
namespace tavolune::Heuristics {

// The kind of a token's media. MIME types for video and web pages win over
// the animation URI; the animation URI wins over an "image/" type; a 3D
// model or sound file as animation shows as an image.
MediaKind mediaKind(const std::optional<std::string>& mime, const std::optional<std::string>& animationURI);

// The artist named by metadata attributes ("artist", "artist name",
// "creator" traits) or, failing that, by a collection name "<title> by
// <artist>" (the last " by " splits; at most 80 characters).
std::optional<std::string> artist(const JSONValue* attributes, const std::optional<std::string>& collection);

// The digits of a trailing "#12" in a title ("007" keeps its zeros).
std::optional<std::string> editionNumber(std::string_view title);

// Whether a token's descriptive texts read like an airdropped
// advertisement.
bool looksLikeSpam(const std::vector<std::optional<std::string>>& texts);

}  // namespace tavolune::Heuristics
