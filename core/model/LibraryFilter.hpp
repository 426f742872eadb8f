#pragma once

#include "core/model/Chain.hpp"
#include "core/base/Enum.hpp"
#include "core/model/FormatFilter.hpp"
#include "core/model/MediaKind.hpp"
#include "core/model/Platform.hpp"
#include "core/base/Uuid.hpp"

#include <optional>
#include <string>

namespace tavolune {

// Works held by collector wallets, or works held by artist wallets.
enum class LibraryScope { collection, works };

template <>
struct EnumNames<LibraryScope> {
  static constexpr std::array<std::string_view, 2> names{"collection", "works"};
};

// What one list of works selects by. Every criterion left at its default
// lets every work through.
struct LibraryFilter {
  std::optional<Uuid> walletID{};  // when set, scope is not used
  std::optional<LibraryScope> scope{};
  std::optional<Chain> chain{};
  std::optional<Platform> platform{};
  std::optional<MediaKind> mediaKind{};
  std::optional<std::string> artist{};      // exact match
  std::optional<std::string> collection{};  // exact match
  std::string search{};                     // title, artist and collection
  bool hiddenOnly = false;                  // the hidden and spam works instead of the visible ones
  bool onDesktopOnly = false;
  std::optional<Uuid> exhibitionID{};
  bool recentOnly = false;
  std::optional<FormatFilter> format{};
  double screenAspect = 1.6;

  friend bool operator==(const LibraryFilter&, const LibraryFilter&) = default;
};

}  // namespace tavolune
