#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace tavolune {

// Model enumerations are persisted as their case names. Each enumeration
// declares its cases in order (0, 1, 2, ...) and specialises EnumNames with
// the raw value of every case in the same order.
template <class E>
struct EnumNames;  // static constexpr std::array<std::string_view, N> names;

template <class E>
concept NamedEnum = requires { EnumNames<E>::names; };

template <NamedEnum E>
constexpr std::string_view rawValue(E e) {
  return EnumNames<E>::names[static_cast<std::size_t>(e)];
}

// The case whose raw value equals text exactly; nothing for any other text.
template <NamedEnum E>
constexpr std::optional<E> fromRawValue(std::string_view text) {
  const auto& names = EnumNames<E>::names;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == text) return static_cast<E>(i);
  }
  return std::nullopt;
}

template <NamedEnum E>
constexpr auto allCases() {
  constexpr std::size_t n = EnumNames<E>::names.size();
  std::array<E, n> cases{};
  for (std::size_t i = 0; i < n; ++i) cases[i] = static_cast<E>(i);
  return cases;
}

}  // namespace tavolune
