#include "app/style/ScrollBarStyle.hpp"

#include <QScrollBar>
#include <QStyleOptionSlider>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

// The handle stays inside the bar at either end, keeps its least length,
// and the pages on its two sides fill the rest: no room goes to arrows.
TEST(ScrollBarStyle, TheHandleAndItsPagesFillTheBar) {
  ScrollBarStyle style;
  QScrollBar bar(Qt::Vertical);
  bar.setStyle(&style);
  bar.resize(ScrollBarStyle::extent, 400);
  struct Row {
    int maximum, pageStep, value;
    int top, length;
  };
  for (const Row& row : {
           Row{300, 100, 0, 0, 100},          // a quarter of the whole, at the top
           Row{300, 100, 300, 300, 100},      // at the bottom
           Row{100000, 100, 0, 0, ScrollBarStyle::minHandle},
           Row{100000, 100, 100000, 400 - ScrollBarStyle::minHandle, ScrollBarStyle::minHandle},
       }) {
    bar.setRange(0, row.maximum);
    bar.setPageStep(row.pageStep);
    bar.setValue(row.value);
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = Qt::Vertical;
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = option.sliderValue = bar.value();
    option.pageStep = bar.pageStep();
    const auto rect = [&](QStyle::SubControl sub) {
      return style.subControlRect(QStyle::CC_ScrollBar, &option, sub, &bar);
    };
    const QRect handle = rect(QStyle::SC_ScrollBarSlider);
    EXPECT_EQ(handle.top(), row.top) << row.maximum << " at " << row.value;
    EXPECT_EQ(handle.height(), row.length) << row.maximum << " at " << row.value;
    EXPECT_EQ(rect(QStyle::SC_ScrollBarSubPage).height() + handle.height() + rect(QStyle::SC_ScrollBarAddPage).height(),
              400);
    EXPECT_TRUE(rect(QStyle::SC_ScrollBarAddLine).isEmpty());
  }
}

}  // namespace
}  // namespace tavolune
