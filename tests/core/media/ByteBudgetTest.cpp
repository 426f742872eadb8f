#include "core/media/ByteBudget.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

// A draw on two budgets: what one refuses the other does not pay for, room
// is bounded by the smaller, and a spent budget takes nothing back.
TEST(BudgetDrawTest, DrawsOnBothOrNeither) {
  ByteBudget load(100), work(60);
  BudgetDraw draw(&load, &work);
  EXPECT_TRUE(draw.take(50));
  EXPECT_EQ(load.left(), 50);
  EXPECT_EQ(work.left(), 10);
  EXPECT_FALSE(draw.ranShort());

  EXPECT_EQ(draw.takeUpTo(30), 10u);  // the work's 10 are all there is
  EXPECT_TRUE(draw.ranShort());
  EXPECT_EQ(load.left(), 40);
  EXPECT_EQ(work.left(), 0);
  draw.giveBack(10);
  EXPECT_EQ(load.left(), 50);
  EXPECT_EQ(work.left(), 10);

  EXPECT_FALSE(draw.take(20));
  EXPECT_EQ(load.left(), 50);  // kept by the load
  EXPECT_TRUE(work.spent());
  work.release(20);
  EXPECT_LT(work.left(), 0);  // spent stays spent
  EXPECT_FALSE(draw.take(0));
  EXPECT_EQ(draw.takeUpTo(5), 0u);
  EXPECT_EQ(load.left(), 50);

  BudgetDraw unbounded(nullptr, nullptr);
  EXPECT_TRUE(unbounded.take(1u << 30));
  EXPECT_EQ(unbounded.takeUpTo(1u << 30), 1u << 30);
  EXPECT_FALSE(unbounded.ranShort());
}

}  // namespace
}  // namespace tavolune
