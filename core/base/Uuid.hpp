#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tavolune {

// A 128-bit identity written in its standard upper-case textual form.
class Uuid {
 public:
  Uuid() = default;

  static Uuid random();
  // Accepts the standard 36-character form in either letter case.
  static std::optional<Uuid> parse(std::string_view text);

  std::string string() const;  // upper case, e.g. "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"
  const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }

  friend auto operator<=>(const Uuid&, const Uuid&) = default;
  friend bool operator==(const Uuid&, const Uuid&) = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace tavolune

template <>
struct std::hash<tavolune::Uuid> {
  std::size_t operator()(const tavolune::Uuid& u) const noexcept {
    std::uint64_t h = 1469598103934665603ull;
    for (auto b : u.bytes()) h = (h ^ b) * 1099511628211ull;
    return static_cast<std::size_t>(h);
  }
};
