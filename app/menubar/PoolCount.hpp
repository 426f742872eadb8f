#pragma once
// The number of works in rotation, counted again only when something it
// depends on changed: the count walks the whole collection (milliseconds at
// 20,000 works) while most changes the popover sees (settings, the work on
// a display, recently shown) leave it as it was. What it depends on is
// summed up in a fingerprint: the sizes of the works and holdings, each
// wallet's role and last sync (every merge of a sync sets it), and the
// contents of the hidden, spam, selection and exhibition members.
// GUI thread only.

#include "core/model/LibraryState.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tavolune {

class PoolCount {
 public:
  // LibraryState::desktopPoolCount(), from the last count when the
  // fingerprint is unchanged.
  std::size_t of(const LibraryState& state);
  int recounts() const { return recounts_; }

  static std::uint64_t fingerprint(const LibraryState& state);

 private:
  std::optional<std::uint64_t> fingerprint_;
  std::size_t count_ = 0;
  int recounts_ = 0;
};

}  // namespace tavolune
