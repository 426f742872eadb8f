#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace tavolune {

// Folds the hashes of a value's fields into one.
inline void hashCombine(std::size_t& seed, std::size_t h) {
  seed ^= h + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2);
}

template <class T>
void hashField(std::size_t& seed, const T& v) {
  hashCombine(seed, std::hash<T>{}(v));
}

template <class T>
void hashField(std::size_t& seed, const std::optional<T>& v) {
  hashCombine(seed, v.has_value());
  if (v) hashField(seed, *v);
}

template <class T>
void hashField(std::size_t& seed, const std::vector<T>& v) {
  hashCombine(seed, v.size());
  for (const auto& e : v) hashField(seed, e);
}

template <class... Ts>
std::size_t hashFields(const Ts&... fields) {
  std::size_t seed = 0;
  (hashField(seed, fields), ...);
  return seed;
}

}  // namespace tavolune
