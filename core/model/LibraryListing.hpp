#pragma once

// LibraryListing: every owned work of one library revision in display order,
// with the facts a filter tests worked out once, so that a list, a count or
// the unmeasured series is a pass over plain data. GUI thread only (or
// whichever thread owns the state; even its const queries keep their last
// answer); building blocks for the display sort
// and the lower-casing of every text (about 0.1 s at 20,000 works), the
// queries then take microseconds to a few milliseconds.
//
// The rule: read a listing only through update(state). It points into the
// state it was built from and rebuilds when that state is another object or
// its revision() moved; every mutating LibraryState operation moves it, and
// whoever writes a LibraryState member directly calls touch() afterwards.
// The answers equal LibraryState::artworksFor and count for every filter.

#include "core/base/PositionIndex.hpp"
#include "core/model/LibraryState.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavolune {

class LibraryListing {
 public:
  // What a filter tests about one work beyond the work's own fields; the
  // state's own queries describe their candidates the same way.
  struct Work {
    const Artwork* artwork = nullptr;
    bool hiddenOrSpam = false;  // hidden, in a hidden collection, or spam
    bool onDesktop = false;
    std::optional<ArtworkShape> shape{};  // only when described with shapes
    // Composed lower-cased title, artist and collection, back to back; only
    // when described with search text.
    std::string searchText{};
    std::uint32_t titleEnd = 0;
    std::uint32_t artistEnd = 0;

    struct Needs {
      bool hidden = true;  // hiddenOrSpam
      bool onDesktop = true;
      bool shape = true;
      bool searchText = true;
    };
    static Work describe(const LibraryState& state, const Artwork& artwork, Needs needs);
    static Needs needsOf(const LibraryFilter& filter, std::string_view query) {
      return {.shape = filter.format.has_value(), .searchText = !query.empty()};
    }
    // Whether the work matches; query is searchQuery(filter.search). The
    // candidate set (wallet, scope, exhibition, recent) is the caller's.
    bool passes(const LibraryFilter& filter, std::string_view query) const {
      return passes(filter, query, searchText);
    }
    // The same with the search text kept elsewhere.
    bool passes(const LibraryFilter& filter, std::string_view query, std::string_view fields) const;
  };

  // The search text a filter matches against: trimmed of blanks and tabs,
  // lower-cased, composed.
  static std::string searchQuery(std::string_view search);

  LibraryListing() = default;
  explicit LibraryListing(const LibraryState& state) { build(state); }

  // This listing, rebuilt first when it is not the listing of state.
  const LibraryListing& update(const LibraryState& state);
  // How many times update() rebuilt this listing.
  std::size_t rebuilds() const { return rebuilds_; }
  // What an edit may have changed of the works it names, and whether it
  // changed the ordered lists (exhibitions, recently shown, the active
  // exhibition).
  struct Changed {
    bool hidden = true;  // hidden, spam, or in a hidden collection
    bool onDesktop = true;
    bool shape = true;  // formats, turns, series profiles
    bool ordered = true;
    // Every named work is now in (or out of) My Selection: no need to look.
    std::optional<bool> allOnDesktop{};
  };
  // Brings the listing of the state's previous revision up to date in
  // place after an edit that added or removed no work and changed only how
  // the named works are marked and the ordered lists. Anything else needs
  // a new listing. Costs a lookup per named work and a pass over plain
  // data per listing; the ids need outlive only the call.
  void amend(const LibraryState& state, const std::vector<std::string_view>& changed, Changed what);
  bool isCurrent(const LibraryState& state) const {
    return state_ == &state && revision_ == state.revision();
  }

  // Same answers as LibraryState::artworksFor and count.
  std::vector<const Artwork*> artworksFor(const LibraryFilter& filter) const;
  // The same as positions in works(), valid until the next query.
  const std::vector<std::uint32_t>& positionsFor(const LibraryFilter& filter) const;
  // Whether artworksFor may name a work twice: only an ordered list
  // (exhibition, recently shown) keeps its repeats.
  static bool mayRepeat(const LibraryFilter& filter) { return filter.exhibitionID || filter.recentOnly; }
  std::size_t count(const LibraryFilter& filter) const;
  // Same answer as LibraryState::desktopPoolCount.
  std::size_t desktopPoolCount() const;
  // The generative works whose series has no profile, the first of each
  // series in display order; those in the selection first.
  const std::vector<const Artwork*>& unmeasuredSeries() const { return unmeasured_; }

  // The owned works in display order.
  const std::vector<Work>& works() const { return works_; }

 private:
  // Owned works per [hiddenOrSpam][onDesktop only].
  using Tally = std::size_t[2][2];
  struct Holder {
    Uuid wallet;
    std::vector<std::uint32_t> positions;  // ascending
    Tally tally{};
  };
  static constexpr std::uint32_t absent = UINT32_MAX;

  void build(const LibraryState& state);
  void tally();
  // Takes the work at a position out of the counts (by -1) or puts it in (+1).
  void recount(std::uint32_t position, int by);
  void listOrdered(const LibraryState& state);
  void listUnmeasured();
  void checkProfiles(const LibraryState& state);
  void indexIds();
  std::uint32_t position(std::string_view id) const;
  const Holder* holder(const Uuid& wallet) const;
  // Calls visit(position) for each match in the filter's order.
  template <class Visit>
  void forEachMatch(const LibraryFilter& filter, std::string_view query, Visit&& visit) const;
  bool passes(std::uint32_t position, const LibraryFilter& filter, std::string_view query) const;
  // The count from the tallies when the filter has no other criteria.
  std::optional<std::size_t> tallied(const LibraryFilter& filter, std::string_view query) const;

  const LibraryState* state_ = nullptr;
  std::uint64_t revision_ = 0;
  // One text per position, back to back, so that a pass reads one block
  // of memory rather than a string of each work's own.
  struct Texts {
    std::string chars{};
    std::vector<std::uint32_t> starts{0};
    void add(std::string_view text) {
      chars += text;
      starts.push_back(static_cast<std::uint32_t>(chars.size()));
    }
    std::string_view operator[](std::uint32_t p) const {
      return std::string_view(chars).substr(starts[p], starts[p + 1] - starts[p]);
    }
  };
  std::vector<Work> works_{};  // their search texts moved to searchTexts_
  Texts searchTexts_{};
  std::vector<bool> inCollection_{};  // by position
  std::vector<bool> inWorks_{};
  // The works' ids back to back by position, and their index: a lookup
  // reads two compact arrays rather than chasing nodes (an edit of the
  // whole selection looks up every work).
  Texts ids_{};
  PositionIndex index_{};
  std::vector<std::uint32_t> seriesOf_{};  // by position; absent unless generative
  std::vector<std::string> seriesKeys_{};  // by series
  std::vector<char> profiled_{};           // by series
  std::vector<Holder> holders_{};     // in ownerships order
  std::vector<std::pair<Uuid, std::vector<std::uint32_t>>> exhibitions_{};  // positions or absent
  std::vector<std::uint32_t> recent_{};  // positions or absent
  std::optional<Uuid> activeExhibition_{};
  Tally all_{};
  Tally collection_{};
  Tally artistWorks_{};
  std::vector<const Artwork*> unmeasured_{};
  std::size_t rebuilds_ = 0;
  // The last answer walked, until the listing changes: a count of the same
  // filter reads it, and a search that extends its query (each keystroke)
  // tests only what it found.
  struct Answer {
    bool valid = false;
    LibraryFilter filter{};  // without the search
    std::string query{};
    std::vector<std::uint32_t> positions{};
  };
  mutable Answer last_{};
};

}  // namespace tavolune
