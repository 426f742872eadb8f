#include "app/components/AnyLabelStyle.hpp"
#include "app/components/FloatingBar.hpp"
#include "app/components/FormSection.hpp"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

TEST(ViewKit, FloatingBarPaintsACapsuleWithAHairline) {
  QWidget host;
  host.resize(300, 120);
  QPalette palette = host.palette();
  palette.setColor(QPalette::Window, QColor(40, 40, 40));
  host.setPalette(palette);
  auto* bar = new FloatingBar(&host);
  bar->setGeometry(50, 30, 200, 40);
  host.show();
  const QImage shot = bar->grab().toImage();
  // Inside: the material; the corners stay clear of the capsule.
  const QColor middle = shot.pixelColor(shot.width() / 2, shot.height() / 2);
  EXPECT_NEAR(middle.red(), 40, 12);
  EXPECT_LT(shot.pixelColor(0, 0).alpha(), 255);
  // Along the top edge, the 8 % white line lifts the material a little.
  const QColor edge = shot.pixelColor(shot.width() / 2, 0);
  EXPECT_GT(edge.red(), middle.red());
  EXPECT_DOUBLE_EQ(FloatingBar::shadowOpacity, 0.25);
}

TEST(ViewKit, ALabelStyleChangesHowButtonsDrawNotWhichThereAre) {
  QWidget bar;
  auto* row = new QHBoxLayout(&bar);
  for (const char* title : {"Show", "Hide", "Clear"}) {
    auto* b = new QToolButton(&bar);
    b->setText(title);
    row->addWidget(b);
  }
  for (const AnyLabelStyle& style : {AnyLabelStyle::titleAndIcon(), AnyLabelStyle::iconOnly()}) {
    for (auto* b : bar.findChildren<QToolButton*>()) style.apply(*b);
    const auto buttons = bar.findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 3);
    for (auto* b : buttons) EXPECT_EQ(b->toolButtonStyle(), style.style());
  }
  EXPECT_NE(AnyLabelStyle::titleAndIcon(), AnyLabelStyle::iconOnly());
}

TEST(ViewKit, FormSectionSeparatesRowsWithHairlines) {
  FormSection section("Header");
  section.addRow(new QLabel("one"));
  section.addRow(new QLabel("two"));
  section.setFooter("Note");
  // Two rows and one divider between them.
  EXPECT_EQ(section.card().layout()->count(), 3);
  EXPECT_EQ(section.findChildren<QLabel*>().size(), 4);  // header, two rows, footer
}

}  // namespace
}  // namespace tavolune
