#include "core/media/CacheKeys.hpp"

namespace tavolune::cachekeys {

std::string pageFile(std::string_view kind, std::string_view id, std::string_view rest) {
  return std::string(kind) + "/" + std::string(id) + "/" + std::string(rest);
}

std::string still(std::string_view artworkID, int width, int height) {
  return "still:" + std::string(artworkID) + ":" + std::to_string(width) + "x" + std::to_string(height);
}

std::string emptyStill(std::string_view artworkID) { return "still-empty:" + std::string(artworkID); }

}  // namespace tavolune::cachekeys
