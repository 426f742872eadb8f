#pragma once
// The popover's texts, worked out from the library and the desktop's state:
// the rotation summary, the sync warning, the live note, the header's pills
// and the small hints. Pure functions; thread-safe.

#include "core/model/Artwork.hpp"
#include "core/model/LibraryState.hpp"
#include "core/model/Wallet.hpp"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace tavolune::MenuBarTexts {

// The interval's label from the rotation choices, else its whole minutes
// and " minutes" (a number that is not finite prints "?").
QString intervalText(double seconds);
// What takes turns and how often: "Whole collection, changes every 1 hour".
// An exhibition is counted by its pool: poolCount when the caller has it.
QString rotationSummary(const LibraryState& state, std::optional<std::size_t> poolCount = std::nullopt);
// "12 in rotation".
QString poolCountText(std::size_t count);

// One failing wallet: its label, " didn't sync completely: " and its last
// error; several: their number and " wallets didn't sync completely.";
// none: nothing.
std::optional<QString> syncWarning(const std::vector<Wallet>& wallets);

// Why a work meant to move does not move now, or nothing.
std::optional<QString> liveNote(const LibraryState& state, const Artwork& artwork, bool userPaused,
                                const std::optional<QString>& pauseReason);

// The header's quick actions for a work, in their order; absent ones are
// left out.
struct Pill {
  enum class Kind { keep, hide, animate, restart };
  Kind kind;
  QString title;
  std::string symbol;
  bool active = false;
  QString help;
  friend bool operator==(const Pill&, const Pill&) = default;
};
std::vector<Pill> pills(const LibraryState& state, const Artwork& artwork);

// A key shown beside a menu row: "Ctrl+" and the key.
QString shortcutHint(const QString& key);
// "Version 1.4.0 (212), for testing".
QString versionLine(const QString& version);

}  // namespace tavolune::MenuBarTexts
