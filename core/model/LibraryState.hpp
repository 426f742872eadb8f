#pragma once

#include "core/model/AppSettings.hpp"
#include "core/model/Artwork.hpp"
#include "core/model/ArtworkShape.hpp"
#include "core/model/DisplayChoices.hpp"
#include "core/model/Exhibition.hpp"
#include "core/base/Json.hpp"
#include "core/model/LibraryFilter.hpp"
#include "core/model/Placement.hpp"
#include "core/model/RenderProfile.hpp"
#include "core/model/ScreenConfig.hpp"
#include "core/model/SyncDiff.hpp"
#include "core/base/Uuid.hpp"
#include "core/model/Wallet.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tavolune {

struct SyncResult;

using ArtworkIDSet = std::unordered_set<std::string>;
using Holdings = std::unordered_map<std::string, std::int64_t>;  // artwork id -> quantity

// The whole persisted library: wallets, the works they hold, the user's
// choices about them, per-display state, settings, measured formats and
// exhibitions. A plain value; the app model owns one copy. Not thread-safe:
// one thread at a time, copies may go to others.
//
// revision() changes with every mutating operation and on every copy or
// move, and no two states of the process share one, so caches of derived
// data (LibraryListing) can tell when they are stale. Whoever writes a
// member directly calls touch() afterwards.
struct LibraryState {
  static constexpr std::size_t recentLimit = 100;
  static constexpr std::int64_t currentSchemaVersion = 1;

  std::vector<Wallet> wallets{};
  std::unordered_map<std::string, Artwork> artworks{};  // key == Artwork::id
  std::unordered_map<Uuid, Holdings> ownerships{};
  ArtworkIDSet hiddenArtworks{};
  std::unordered_set<std::string> hiddenCollections{};  // Artwork::collectionKey
  std::unordered_map<std::string, bool> spamOverrides{};
  ArtworkIDSet onDesktop{};  // "My Selection"
  std::unordered_map<std::string, ScreenConfig> screens{};
  AppSettings settings{};
  std::unordered_map<std::string, Framing> preferredFraming{};
  std::unordered_map<std::string, std::int64_t> rotations{};  // quarter turns; low two bits count
  std::vector<std::string> recentlyShown{};                   // newest first
  std::unordered_map<std::string, RenderProfile> renderProfiles{};  // by Artwork::seriesKey
  ArtworkIDSet animatedArtworks{};
  std::vector<Exhibition> exhibitions{};
  std::optional<Uuid> activeExhibition{};
  std::int64_t schemaVersion = currentSchemaVersion;

  std::uint64_t revision() const { return revision_.value(); }
  // Marks a direct change of a member.
  void touch() { revision_.bump(); }

  // The legacy file layout's selection lists, read only to migrate them.
  struct LegacyPlaylist {
    std::vector<std::string> artworkIDs{};
    static LegacyPlaylist fromJson(const json::Json& j);
    json::Json toJson() const;
  };

  // --- coding ("library.json") ---

  // Reading is lenient member by member; a malformed member of the strict
  // group rejects the whole value with DecodeError.
  // Reads a json::Json tree or a json::FastNode.
  template <class N>
  static LibraryState fromJson(const N& j);
  json::Json toJson() const;
  // The compact file text.
  std::string encode() const;
  // Parses and decodes file text; throws DecodeError or a parse error.
  static LibraryState decode(std::string_view text);

  // --- visibility and ownership ---

  bool isSpam(const Artwork& artwork) const;
  bool isVisible(const Artwork& artwork) const;
  ArtworkIDSet ownedArtworkIDs() const;
  std::unordered_set<Uuid> artistWalletIDs() const;
  ArtworkIDSet collectionArtworkIDs() const;
  ArtworkIDSet worksArtworkIDs() const;

  // --- queries ---

  const RenderProfile* profile(const Artwork& artwork) const;
  std::optional<ArtworkShape> shape(const Artwork& artwork) const;
  // A walk over the candidates without a listing; lists and counts asked
  // often come from a LibraryListing instead.
  std::vector<const Artwork*> matching(const LibraryFilter& filter) const;
  std::vector<const Artwork*> artworksFor(const LibraryFilter& filter) const;
  std::size_t count(const LibraryFilter& filter) const;

  // The natural order of lists: generative works first, then by artist
  // ("~" without one), then by title as a file manager sorts, then by id.
  static bool displayOrder(const Artwork& a, const Artwork& b);
  static void sortByDisplayOrder(std::vector<const Artwork*>& works);

  // --- sync merge ---

  // Merges one wallet's sync result: its holdings, the artworks (keeping
  // details the new read lacks) and its sync bookkeeping; drops works no
  // wallet holds any more. Never fails.
  SyncDiff apply(const SyncResult& result, const Uuid& walletID);
  // Removes the wallet, its holdings and the works only it held.
  void removeWallet(const Uuid& walletID);

  // --- exhibitions ---

  Exhibition* exhibition(const Uuid& id);
  const Exhibition* exhibition(const Uuid& id) const;
  Uuid createExhibition(std::string title, const std::vector<std::string>& ids);
  void add(const std::vector<std::string>& ids, const Uuid& to);
  void remove(const ArtworkIDSet& ids, const Uuid& from);
  void move(const std::vector<std::string>& ids, const Uuid& in, const std::optional<std::string>& before);
  void deleteExhibition(const Uuid& id);
  const Exhibition* shownExhibition() const;
  PlaybackOrder rotationOrder() const;

  // --- desktop pool and presentation ---

  std::vector<const Artwork*> desktopPool() const;
  std::vector<const Artwork*> desktopPool(std::optional<double> screenAspect) const;
  std::size_t desktopPoolCount() const;
  bool hasDesktopPool() const;
  bool shouldAnimate(const Artwork& artwork) const;
  bool runsLive(const Artwork& artwork) const;
  int rotation(const std::string& artworkID) const;  // 0...3
  Placement placement(const Artwork& artwork, const ScreenConfig& screen, double screenAspect,
                      std::optional<double> imageRatio) const;
  Placement basePlacement(const Artwork& artwork, const ScreenConfig& screen, double screenAspect,
                          std::optional<double> imageRatio) const;
  // Builds a LibraryListing: callers that ask often keep one.
  std::vector<const Artwork*> unmeasuredSeries() const;
  void noteShown(const std::string& artworkID);

 private:
  // A number no other state or edit of the process shares: a copy or a move
  // (source and target) takes a fresh one.
  class Revision {
   public:
    Revision() : value_(next()) {}
    Revision(const Revision&) : value_(next()) {}
    Revision(Revision&& other) noexcept : value_(next()) { other.bump(); }
    Revision& operator=(const Revision&) {
      bump();
      return *this;
    }
    Revision& operator=(Revision&& other) noexcept {
      bump();
      other.bump();
      return *this;
    }
    void bump() { value_ = next(); }
    std::uint64_t value() const { return value_; }

   private:
    static std::uint64_t next() noexcept;
    std::uint64_t value_;
  };

  Revision revision_{};

  bool hasOddTurns(const std::string& artworkID) const { return (rotation(artworkID) & 1) != 0; }
  ArtworkIDSet candidates(const LibraryFilter& filter) const;
  void dropUnownedArtworks();
  std::vector<const Artwork*> selectionPool() const;
};

}  // namespace tavolune
