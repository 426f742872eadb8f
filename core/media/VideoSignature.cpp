#include "core/media/VideoSignature.hpp"

#include <array>
#include <cstdint>
#include <fstream>

namespace tavolune::videosignature {
namespace {

// The box types a QuickTime or ISO file may begin with; "ftyp" is the
// rule for MP4 and for QuickTime since 2001.
constexpr std::array<std::string_view, 6> firstBoxes{"ftyp", "moov", "mdat", "wide", "free", "skip"};

}  // namespace

bool isPlayable(std::string_view head) {
  if (head.starts_with(std::string_view("\x1A\x45\xDF\xA3", 4))) return true;  // EBML
  if (head.size() < 8) return false;
  const auto byte = [&](std::size_t i) { return std::uint32_t(static_cast<unsigned char>(head[i])); };
  const std::uint32_t size = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
  const std::string_view type = head.substr(4, 4);
  for (std::string_view box : firstBoxes) {
    // A size of 1 says a 64-bit size follows; 0 that the box runs to the end.
    if (type == box) return size >= 8 || ((size == 0 || size == 1) && box != "ftyp");
  }
  return false;
}

bool isPlayableFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::array<char, 8> head{};
  in.read(head.data(), head.size());
  return isPlayable(std::string_view(head.data(), static_cast<std::size_t>(in.gcount())));
}

}  // namespace tavolune::videosignature
