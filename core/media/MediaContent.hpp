#pragma once

#include "core/media/Bytes.hpp"

#include <cstddef>
#include <string>

namespace tavolune {

// The most one artwork file may take in memory: a larger download or
// rebuilt file fails instead of exhausting memory.
inline constexpr std::size_t mediaDownloadLimit = std::size_t{512} << 20;

// A fetched file: its bytes and a MIME type such as "text/html".
struct MediaContent {
  Bytes data;
  std::string mime;

  friend bool operator==(const MediaContent&, const MediaContent&) = default;
};

}  // namespace tavolune
