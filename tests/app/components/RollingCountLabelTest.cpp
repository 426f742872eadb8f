#include "app/components/RollingCountLabel.hpp"

#include <QTest>

#include <gmock/gmock.h>

namespace tavolune {
namespace {

TEST(RollingCountLabel, FirstCountShowsAtOnceLaterOnesRoll) {
  QWidget window;
  auto* label = new RollingCountLabel(QStringLiteral(" series left"), &window);
  window.show();
  label->setCount(5);
  EXPECT_FALSE(label->isRolling());
  EXPECT_EQ(label->text(), "5 series left");
  label->setCount(12);
  EXPECT_TRUE(label->isRolling());
  EXPECT_EQ(label->text(), "12 series left") << "the whole line at once, for readers of the text";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !label->isRolling(); }, 5000));
}

}  // namespace
}  // namespace tavolune
