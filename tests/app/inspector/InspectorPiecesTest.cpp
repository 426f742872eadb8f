// The inspector's small pieces: cards and rows, quarter turns, the page
// link, the framing shown for a work without its own.
#include "app/components/Divider.hpp"
#include "app/components/ArtworkPage.hpp"
#include "app/inspector/InspectorFacts.hpp"
#include "app/inspector/InspectorRow.hpp"
#include "app/inspector/InspectorSection.hpp"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

QWidget* row(const QString& label) { return new InspectorRow(label, new QPushButton(QStringLiteral("Go"))); }

TEST(InspectorSection, HairlinesOnlyBetweenShownRows) {
  InspectorSection one(QStringLiteral("Info"));
  one.addRow(row(QStringLiteral("A")));
  EXPECT_EQ(one.shownDividers(), 0);

  InspectorSection three(QStringLiteral("On the Desktop"));
  QWidget* rows[] = {row(QStringLiteral("A")), row(QStringLiteral("B")), row(QStringLiteral("C"))};
  for (auto* r : rows) three.addRow(r);
  three.resize(300, 200);
  three.show();
  EXPECT_EQ(three.shownDividers(), 2);
  // A row that is off takes its hairline with it, wherever it stands.
  rows[1]->hide();
  EXPECT_EQ(three.shownDividers(), 1);
  rows[0]->hide();
  EXPECT_EQ(three.shownDividers(), 0);
  rows[0]->show();
  rows[1]->show();
  EXPECT_EQ(three.shownDividers(), 2);
  EXPECT_EQ(three.title().text(), "On the Desktop");
}

TEST(InspectorRow, KeepsItsGapAndHeight) {
  auto* control = new QPushButton(QStringLiteral("A wide control with a long title"));
  InspectorRow r(QStringLiteral("A very long label that would like the whole line for itself"), control);
  r.resize(260, 10);
  r.show();
  QCoreApplication::processEvents();
  EXPECT_GE(r.height(), InspectorRow::minimumHeight);
  EXPECT_GE(control->geometry().left() - r.label().geometry().right() - 1, InspectorRow::minimumGap);
  EXPECT_EQ(control->geometry().right(), r.width() - 1);  // pushed to the trailing edge
}

TEST(InspectorFacts, QuarterTurnsBothWaysAroundZero) {
  struct Case {
    int turns, step, want;
  };
  for (const auto& c : {Case{0, -1, 3}, Case{3, +1, 0}, Case{0, +1, 1}, Case{1, -1, 0}, Case{2, +1, 3},
                        Case{2, -1, 1}}) {
    EXPECT_EQ(inspector::turned(c.turns, c.step), c.want) << c.turns << " by " << c.step;
  }
  EXPECT_EQ(inspector::rotationText(0), "0°");
  EXPECT_EQ(inspector::rotationText(3), "270°");
}

TEST(InspectorFacts, OnlyWebPagesAreOpened) {
  struct Case {
    std::optional<std::string> url;
    std::optional<QString> title;  // none: no Page row
  };
  const Case cases[] = {
      {"https://verse.works/artworks/1", "Open verse.works"},
      {"HTTP://Example.org/a?b=c", "Open example.org"},
      {"http:relative/page", std::nullopt},  // no host: nothing to open
      {"javascript:alert(1)", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"tavolune://local/ipfs/x", std::nullopt},
      {"ftp://files.test/x", std::nullopt},
      {"/token/1", std::nullopt},
      {"", std::nullopt},
      {"https://bad host/", std::nullopt},
      {std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto url = artworkPage(c.url);
    SCOPED_TRACE(c.url.value_or("(none)"));
    ASSERT_EQ(url.has_value(), c.title.has_value());
    if (url) {
      EXPECT_EQ(inspector::pageTitle(*url), *c.title);
    }
  }
}

TEST(InspectorFacts, FramingForAWorkWithoutItsOwn) {
  EXPECT_EQ(inspector::effectiveFraming(Placement::framed(1.5, Framing::passePartout), Framing::fit),
            Framing::passePartout);
  EXPECT_EQ(inspector::effectiveFraming(Placement::fullBleed(), Framing::passePartout), Framing::fill);
  EXPECT_EQ(inspector::effectiveFraming(Placement::inFrame(FrameStyle::naturalOak, 1.0), Framing::passePartout),
            Framing::passePartout);
  EXPECT_EQ(inspector::mediaName(MediaKind::generative), "Generative");
  EXPECT_DOUBLE_EQ(inspector::aspectOf(QSize(1920, 1080)), 1920.0 / 1080.0);
  EXPECT_DOUBLE_EQ(inspector::aspectOf(QSize(1920, 0)), 1.6);
  EXPECT_DOUBLE_EQ(inspector::aspectOf(std::nullopt), 1.6);
}

}  // namespace
}  // namespace tavolune
