#include "app/library/LibraryGridModel.hpp"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

std::vector<std::string> split(const std::string& letters) {
  std::vector<std::string> ids;
  for (char c : letters) ids.emplace_back(1, c);
  return ids;
}

// New listings that keep the order of the rows they keep change by rows;
// one that reorders them resets. Each row: rows before, rows after, and
// the removals, insertions and resets expected.
TEST(LibraryGridModel, NewListingsChangeByRowsUnlessTheyReorder) {
  struct Row {
    const char* name;
    std::string before, after;
    int removed, inserted, resets;
  };
  for (const Row& row : {Row{"unchanged", "abcde", "abcde", 0, 0, 0},
                         Row{"a run hidden", "abcdef", "abef", 1, 0, 0},
                         Row{"two runs hidden", "abcdefg", "acdg", 2, 0, 0},
                         Row{"all hidden", "abc", "", 1, 0, 0},
                         Row{"shown again", "aef", "abcef", 0, 1, 0},
                         Row{"at both ends", "bcd", "abcde", 0, 2, 0},
                         Row{"from nothing", "", "abc", 0, 1, 0},
                         Row{"in and out", "abcd", "xbdy", 2, 2, 0},
                         Row{"repeats listed once", "ab", "abab", 0, 0, 0},
                         Row{"reordered", "abc", "cab", 0, 0, 1},
                         Row{"reordered and fewer", "abcd", "ca", 0, 0, 1},
                         Row{"reordered and more", "abc", "bxa", 0, 0, 1}}) {
    LibraryGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setIds(split(row.before));
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setIds(split(row.after));
    std::string listed;
    for (const auto& id : model.ids()) listed += id;
    std::string expected;
    for (char c : row.after) {
      if (expected.find(c) == std::string::npos) expected += c;
    }
    EXPECT_EQ(listed, expected) << row.name;
    EXPECT_EQ(removed.count(), row.removed) << row.name;
    EXPECT_EQ(inserted.count(), row.inserted) << row.name;
    EXPECT_EQ(resets.count(), row.resets) << row.name;
    for (const auto& id : model.ids()) EXPECT_EQ(model.id(model.row(id)), id) << row.name;
  }
}

TEST(LibraryGridModel, ManyRunsOrANewFilterResetOnce) {
  std::vector<std::string> all, everyOther;
  for (int i = 0; i < 300; ++i) {
    all.push_back(std::to_string(i));
    if (i % 2) everyOther.push_back(all.back());
  }
  struct Row {
    const char* name;
    bool byRows;
    const std::vector<std::string>& after;
    int resets;
  };
  for (const Row& row : {Row{"150 runs", true, everyOther, 1}, Row{"a new filter", false, everyOther, 1},
                         Row{"one run, by rows", true, std::vector<std::string>(all.begin() + 10, all.end()), 0}}) {
    LibraryGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setIds(all);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setIds(row.after, row.byRows);
    EXPECT_EQ(resets.count(), row.resets) << row.name;
    EXPECT_EQ(model.ids(), row.after) << row.name;
  }
}

TEST(LibraryGridModel, ChangedTilesRepaintByRunsOfRows) {
  LibraryGridModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.setIds(split("abcdefghijklmnop"));
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  // Found by a walk over the rows, then through the index of rows a lookup builds.
  for (const char* way : {"walked", "indexed"}) {
    changed.clear();
    model.changed({"h", "c", "d"});
    ASSERT_EQ(changed.count(), 2) << way;
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 2) << way;
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 3) << way;
    EXPECT_EQ(changed[1][0].toModelIndex().row(), 7) << way;
    EXPECT_EQ(changed[1][1].toModelIndex().row(), 7) << way;
    ASSERT_EQ(model.row("p"), 15) << way;
    ASSERT_EQ(model.row("a"), 0) << way;  // the second lookup since the change builds the index
  }
  EXPECT_TRUE(changed[0][2].value<QList<int>>().contains(LibraryGridModel::IdRole));
  // Most of the rows at once: one range over all.
  changed.clear();
  model.changed(split("abcdefgh"));
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][1].toModelIndex().row(), 15);
}

}  // namespace
}  // namespace tavolune
