#include "core/media/DataURL.hpp"

#include "core/media/PercentDecoding.hpp"
#include "core/text/Text.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace tavolune::DataURL {

namespace {

constexpr std::array<std::int8_t, 256> base64Table() {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = -1;
  constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < alphabet.size(); ++i)
    t[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
  return t;
}

// Standard base64 whose length is a multiple of 4; "=" only as the last one
// or two characters.
std::optional<Bytes> base64Decode(std::string_view s) {
  static constexpr auto table = base64Table();
  if (s.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  if (!s.empty() && s.back() == '=') padding = s.size() >= 2 && s[s.size() - 2] == '=' ? 2 : 1;
  Bytes out;
  out.reserve(s.size() / 4 * 3);
  for (std::size_t i = 0; i < s.size(); i += 4) {
    bool last = i + 4 == s.size();
    std::uint32_t group = 0;
    std::size_t symbols = last ? 4 - padding : 4;
    if (symbols < 2) return std::nullopt;
    for (std::size_t j = 0; j < 4; ++j) {
      std::uint32_t v = 0;
      if (j < symbols) {
        auto d = table[static_cast<unsigned char>(s[i + j])];
        if (d < 0) return std::nullopt;
        v = static_cast<std::uint32_t>(d);
      }
      group = group << 6 | v;
    }
    out.push_back(static_cast<char>(group >> 16));
    if (symbols > 2) out.push_back(static_cast<char>(group >> 8 & 0xFF));
    if (symbols > 3) out.push_back(static_cast<char>(group & 0xFF));
  }
  return out;
}

}  // namespace

std::optional<MediaContent> decode(std::string_view url) {
  constexpr std::string_view prefix = "data:";
  if (!url.starts_with(prefix)) return std::nullopt;
  auto comma = url.find(',', prefix.size());
  if (comma == std::string_view::npos) return std::nullopt;
  auto header = url.substr(prefix.size(), comma - prefix.size());
  auto payload = url.substr(comma + 1);

  auto semicolon = header.find(';');
  std::string mime(header.substr(0, semicolon));
  if (mime.empty()) mime = "text/plain";

  bool base64 = false;
  for (auto rest = header;;) {
    auto next = rest.find(';');
    if (rest.substr(0, next) == "base64") base64 = true;
    if (next == std::string_view::npos) break;
    rest.remove_prefix(next + 1);
  }

  auto decoded = media::strictPercentDecode(payload).value_or(std::string(payload));
  if (!base64) return MediaContent{std::move(decoded), std::move(mime)};

  auto compact = text::removingWhitespaceAndNewlines(decoded);
  compact.append((4 - compact.size() % 4) % 4, '=');
  auto bytes = base64Decode(compact);
  if (!bytes) return std::nullopt;
  return MediaContent{std::move(*bytes), std::move(mime)};
}

}  // namespace tavolune::DataURL
