#pragma once
// The positions of distinct texts kept elsewhere, found by hash: an
// open-addressed table of (hash, position), a power of two at most half
// full. A lookup reads one compact array instead of chasing nodes, and a
// table cleared and built again keeps its memory.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace tavolune {

class PositionIndex {
 public:
  static constexpr std::uint32_t absent = UINT32_MAX;

  // textAt(p) is the text at position p < count; the texts are distinct.
  template <class TextAt>
  void build(std::uint32_t count, TextAt&& textAt) {
    std::size_t size = 16;
    while (size < 2 * std::size_t(count)) size *= 2;
    slots_.assign(size, {});
    for (std::uint32_t p = 0; p < count; ++p) {
      const std::size_t hash = std::hash<std::string_view>{}(textAt(p));
      std::size_t i = hash & (size - 1);
      while (slots_[i].position != absent) i = (i + 1) & (size - 1);
      slots_[i] = {hash, p};
    }
  }

  // The position of text, or absent; textAt as given to build.
  template <class TextAt>
  std::uint32_t find(std::string_view text, TextAt&& textAt) const {
    if (slots_.empty()) return absent;
    const std::size_t hash = std::hash<std::string_view>{}(text);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.position == absent) return absent;
      if (slot.hash == hash && std::string_view(textAt(slot.position)) == text) return slot.position;
    }
  }

  bool empty() const { return slots_.empty(); }
  void clear() { slots_.clear(); }

 private:
  struct Slot {
    std::size_t hash = 0;
    std::uint32_t position = absent;
  };
  std::vector<Slot> slots_;
};

}  // namespace tavolune
