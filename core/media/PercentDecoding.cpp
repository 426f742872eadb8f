#include "core/media/PercentDecoding.hpp"

namespace tavolune::media {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> strictPercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out.push_back(s[i]);
      continue;
    }
    if (i + 2 >= s.size() || hexValue(s[i + 1]) < 0 || hexValue(s[i + 2]) < 0) return std::nullopt;
    out.push_back(static_cast<char>(hexValue(s[i + 1]) << 4 | hexValue(s[i + 2])));
    i += 2;
  }
  return out;
}

}  // namespace tavolune::media
