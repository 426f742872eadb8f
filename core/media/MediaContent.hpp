#pragma once

#include "media/Bytes.hpp"

#include <string>

namespace tavolune {

// A fetched file: its bytes and a MIME type such as "text/html".
struct MediaContent {
  Bytes data;
  std::string mime;

  friend bool operator==(const MediaContent&, const MediaContent&) = default;
};

}  // namespace tavolune
