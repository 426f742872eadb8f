#include "core/media/OnchfsPath.hpp"

#include "core/media/Bytes.hpp"
#include "core/media/PercentDecoding.hpp"
#include "core/text/Text.hpp"

#include <utility>

namespace tavolune::onchfs {

namespace {

std::string decodedName(std::string_view piece) {
  auto decoded = media::strictPercentDecode(piece);
  if (!decoded || !text::isValidUTF8(*decoded)) return std::string(piece);
  return std::move(*decoded);
}

}  // namespace

std::vector<std::string> pathNames(std::string_view path) {
  std::vector<std::string> names;
  while (!path.empty()) {
    auto slash = path.find('/');
    auto piece = path.substr(0, slash);
    if (!piece.empty()) names.push_back(decodedName(piece));
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return names;
}

bool isValidHash(std::string_view hash) { return hex::isDigits(hash); }

}  // namespace tavolune::onchfs
