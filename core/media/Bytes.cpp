#include "core/media/Bytes.hpp"

namespace tavolune::hex {

namespace {

int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<Bytes> decode(std::string_view text) {
  if (text.starts_with("0x")) text.remove_prefix(2);
  if (text.size() % 2 != 0) return std::nullopt;
  Bytes out(text.size() / 2, '\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    int hi = nibble(text[2 * i]);
    int lo = nibble(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out[i] = static_cast<char>(hi << 4 | lo);
  }
  return out;
}

bool isDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (nibble(c) < 0) return false;
  }
  return true;
}

}  // namespace tavolune::hex
