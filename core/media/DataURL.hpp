#pragma once

#include "core/media/MediaContent.hpp"

#include <optional>
#include <string_view>

namespace tavolune::DataURL {

// Decodes a "data:" URL (RFC 2397): a base64 or percent-encoded payload,
// "text/plain" when the header names no media type. The media type comes
// back as written, without parameters. Nothing when the text is not a data
// URL or its base64 payload is malformed.
std::optional<MediaContent> decode(std::string_view url);

}  // namespace tavolune::DataURL
