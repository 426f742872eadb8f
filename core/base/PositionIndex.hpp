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
    buildFor(count, count, textAt);
  }

  // Adds position count(), the next of positions 0 … count() built or
  // added so far, growing when half full.
  template <class TextAt>
  void add(TextAt&& textAt) {
    const std::uint32_t p = count_;
    if (2 * (std::size_t(p) + 1) > slots_.size()) {
      buildFor(p + 1, p + 1, textAt);
      return;
    }
    place(p, textAt(p));
    ++count_;
  }
  // Room for count positions without growing.
  template <class TextAt>
  void reserve(std::uint32_t count, TextAt&& textAt) {
    if (2 * std::size_t(count) > slots_.size()) buildFor(count_, count, textAt);
  }
  std::uint32_t count() const { return count_; }

  // The position of text, or absent; textAt as given to build.
  template <class TextAt>
  std::uint32_t find(std::string_view text, TextAt&& textAt) const {
    if (slots_.empty()) return absent;
    const std::size_t hash = std::hash<std::string_view>{}(text);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.position == absent) return absent;
      if (slot.hash == std::uint32_t(hash) && std::string_view(textAt(slot.position)) == text) return slot.position;
    }
  }

  bool empty() const { return slots_.empty(); }
  void clear() {
    slots_.clear();
    count_ = 0;
  }

 private:
  // Half a hash is enough to pass over most others; the text decides.
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t position = absent;
  };

  // Positions 0 … count - 1, in a table with room for room of them.
  template <class TextAt>
  void buildFor(std::uint32_t count, std::uint32_t room, TextAt&& textAt) {
    std::size_t size = 16;
    while (size < 2 * std::size_t(room)) size *= 2;
    slots_.assign(size, {});
    for (std::uint32_t p = 0; p < count; ++p) place(p, textAt(p));
    count_ = count;
  }
  void place(std::uint32_t p, std::string_view text) {
    const std::size_t hash = std::hash<std::string_view>{}(text);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].position != absent) i = (i + 1) & mask;
    slots_[i] = {std::uint32_t(hash), p};
  }

  std::vector<Slot> slots_;
  std::uint32_t count_ = 0;
};

}  // namespace tavolune
