#include "core/base/IdSet.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavolune {
namespace {

std::vector<std::string> listed(const IdSet& set) { return {set.begin(), set.end()}; }

// Kept in the order given, each once; taking one out keeps the others
// findable across the growth of the index, and equality ignores order.
TEST(IdSet, KeepsEachIdOnceInOrderThroughGrowthAndErase) {
  IdSet set{"b", "a", "b", ""};
  EXPECT_EQ(listed(set), (std::vector<std::string>{"b", "a", ""}));
  EXPECT_FALSE(set.insert("a"));
  EXPECT_TRUE(set.contains(""));

  std::vector<std::string> many;
  for (int i = 0; i < 1000; ++i) many.push_back("tezos:kt1:" + std::to_string(i));
  IdSet grown;
  for (const auto& id : many) EXPECT_TRUE(grown.insert(id));
  EXPECT_EQ(grown, IdSet(many.rbegin(), many.rend()));
  const IdSet rows = IdSet::distinct(many.begin(), many.end());
  EXPECT_EQ(listed(rows), many);
  EXPECT_TRUE(rows.contains("tezos:kt1:999"));
  EXPECT_FALSE(rows.contains("tezos:kt1:1000"));
  EXPECT_EQ(grown.erase("tezos:kt1:500"), 1u);
  EXPECT_EQ(grown.erase("tezos:kt1:500"), 0u);
  EXPECT_EQ(grown.size(), 999u);
  for (const auto& id : many) EXPECT_EQ(grown.contains(id), id != "tezos:kt1:500") << id;
  EXPECT_EQ(listed(grown)[500], "tezos:kt1:501") << "the rest keep their order";

  for (const auto& [a, b, same] : std::vector<std::tuple<IdSet, IdSet, bool>>{
           {{}, {}, true},
           {{"x", "y"}, {"y", "x"}, true},
           {{"x"}, {"x", "y"}, false},
           {{"x", "y"}, {"x", "z"}, false},
       }) {
    EXPECT_EQ(a == b, same) << listed(a).size() << " vs " << listed(b).size();
  }
}

}  // namespace
}  // namespace tavolune
