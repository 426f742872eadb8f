#include "app/model/LibraryChange.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace tavolune {
namespace {

using Ids = std::vector<std::string>;

// A report naming works one by one and in shared lists answers the same
// questions either way, and keeps its lists when merged.
TEST(LibraryChange, WorksNotedSinglyOrInSharedListsAnswerAlike) {
  LibraryChange single;
  single.note("a", LibraryChange::hidden);
  LibraryChange listed;
  listed.note(std::make_shared<const IdSet>(IdSet{"b", "c"}), LibraryChange::selection);
  listed.note(std::make_shared<const IdSet>(), LibraryChange::hidden);  // nothing named, nothing kept
  LibraryChange merged = single;
  merged.merge(listed);

  struct Row {
    const char* name;
    bool actual, expected;
  };
  for (const Row& row : {
           Row{"listed work, its aspect", listed.touches("c", LibraryChange::selection), true},
           Row{"listed work, another aspect", listed.touches("c", LibraryChange::hidden), false},
           Row{"unlisted work", listed.touches("a"), false},
           Row{"an empty list names no aspect", listed.anyArtwork(LibraryChange::hidden), false},
           Row{"merged, single", merged.touches("a", LibraryChange::hidden), true},
           Row{"merged, listed", merged.touches("b", LibraryChange::selection), true},
           Row{"merged, any selection", merged.anyArtwork(LibraryChange::selection), true},
           Row{"merged, no format", merged.anyArtwork(LibraryChange::format), false},
           Row{"any of a larger set", merged.touchesAny({"x", "y", "z", "w", "c"}), true},
           Row{"any of a smaller set", merged.touchesAny({"c"}, LibraryChange::selection), true},
           Row{"none of a larger set", merged.touchesAny({"x", "y", "z", "w"}), false},
           Row{"none of a smaller set, that aspect", merged.touchesAny({"a"}, LibraryChange::selection), false},
           Row{"everything touches all", LibraryChange::all().touchesAny({"q"}), true},
       }) {
    EXPECT_EQ(row.actual, row.expected) << row.name;
  }
  EXPECT_EQ(merged.namedCount(), 3u);
  EXPECT_EQ(merged.many.front().ids, listed.many.front().ids) << "shared, not copied";
  Ids visited;
  merged.forEachArtwork([&](std::string_view id, std::uint8_t) { visited.emplace_back(id); });
  EXPECT_EQ(visited, (Ids{"a", "b", "c"}));
  EXPECT_FALSE(listed.empty());
}

}  // namespace
}  // namespace tavolune
