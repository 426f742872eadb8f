#include "app/render/RasterFormat.hpp"

#include <string_view>

namespace tavolune::raster {

QByteArray formatOf(const QByteArray& data) {
  const std::string_view head(data.constData(), std::size_t(data.size()));
  if (head.starts_with("\x89PNG\r\n\x1a\n")) return "png";
  if (head.starts_with("\xff\xd8\xff")) return "jpeg";
  if (head.starts_with("GIF87a") || head.starts_with("GIF89a")) return "gif";
  if (head.size() >= 12 && head.starts_with("RIFF") && head.substr(8, 4) == "WEBP") return "webp";
  if (head.starts_with("BM")) return "bmp";
  return {};
}

}  // namespace tavolune::raster
