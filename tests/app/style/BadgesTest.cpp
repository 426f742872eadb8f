#include <QImage>
#include <QPainter>
#include <set>
#include <gmock/gmock.h>

#include "app/style/ChainBadge.hpp"
#include "app/style/KindBadge.hpp"
#include "app/style/SmallCaps.hpp"
#include "app/style/Symbols.hpp"
#include "app/style/TestVersionBadge.hpp"
#include "app/style/Theme.hpp"

namespace tavolune {
namespace {

TEST(Badges, ChainBadgeTexts) {
  const std::vector<std::pair<Chain, QString>> expected{
      {Chain::ethereum, "ETH"}, {Chain::base, "BASE"}, {Chain::optimism, "OP"}, {Chain::arbitrum, "ARB"},
      {Chain::polygon, "POL"},  {Chain::tezos, "XTZ"}, {Chain::bitcoin, "BTC"}};
  for (const auto& [chain, text] : expected) {
    ChainBadge badge(chain);
    EXPECT_EQ(badge.text(), text);
    EXPECT_EQ(badge.foreground(), QColor(Qt::white));
    EXPECT_EQ(badge.background().rgb(), Theme::chainColor(chain).rgb()) << text.toStdString();
    EXPECT_NEAR(badge.background().alphaF(), 0.9, 0.01);
    EXPECT_GT(badge.sizeHint().width(), badge.sizeHint().height()) << "a capsule, wider than tall";
  }
}

TEST(Badges, KindBadgeLabelsAndHelp) {
  struct Case {
    MediaKind kind;
    bool animated, gif;
    QString text, help;
  };
  const QString live = "Runs live on the desktop";
  const std::vector<Case> cases{
      {MediaKind::image, false, false, "Live", "A generative artwork: its code can run live on the desktop"},
      {MediaKind::image, false, true, "GIF", "An animated GIF: it can play on the desktop"},
      {MediaKind::video, true, false, "Video", live},
      {MediaKind::video, false, false, "Video", "A video artwork"},
      {MediaKind::video, false, true, "GIF", "An animated GIF: it can play on the desktop"},
      {MediaKind::generative, true, false, "Live", live},
      // The label looks at gif first, the help at animated first.
      {MediaKind::image, true, true, "GIF", live},
  };
  for (const auto& c : cases) {
    KindBadge badge(c.kind, c.animated, c.gif);
    EXPECT_EQ(badge.text(), c.text);
    EXPECT_EQ(badge.toolTip(), c.help);
    EXPECT_EQ(badge.showsPlayMark(), c.animated);
    if (c.animated) {
      EXPECT_EQ(badge.background(), Theme::accent(badge.palette()));
    } else {
      EXPECT_EQ(badge.background(), QColor(0, 0, 0, 140));
    }
  }
  // A theme switch brings the new accent.
  KindBadge running(MediaKind::generative, true, false);
  QPalette green = running.palette();
  green.setColor(QPalette::Highlight, Qt::green);
  running.setPalette(green);
  EXPECT_EQ(running.background(), QColor(Qt::green));
}

TEST(Badges, SmallCapsUpperCasesFully) {
  EXPECT_EQ(SmallCaps::displayText("recently shown"), "RECENTLY SHOWN");
  EXPECT_EQ(SmallCaps::displayText(QString::fromUtf8("straße édition")), QString::fromUtf8("STRASSE ÉDITION"));
  EXPECT_EQ(SmallCaps::displayText(""), "");
  SmallCaps caps("wallets", Qt::gray);
  EXPECT_EQ(caps.text(), "WALLETS");
  EXPECT_EQ(caps.palette().color(QPalette::WindowText), QColor(Qt::gray));
}

TEST(Badges, TestBadgeIsOrangeOnATint) {
  TestVersionBadge badge;
  EXPECT_EQ(badge.text(), "TEST");
  EXPECT_EQ(badge.background().rgb(), badge.foreground().rgb());
  EXPECT_NEAR(badge.background().alphaF(), 0.15, 0.01);
  EXPECT_FALSE(badge.toolTip().isEmpty());
  // It paints its capsule: the centre of the left end carries the tint.
  badge.resize(badge.sizeHint());
  QImage image = badge.grab().toImage();
  EXPECT_GT(qAlpha(image.pixel(3, image.height() / 2)), 0);
}

TEST(Theme, WallFollowsThePalette) {
  QPalette light;
  light.setColor(QPalette::Window, QColor(240, 240, 240));
  light.setColor(QPalette::WindowText, Qt::black);
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  QPalette undecided;
  undecided.setColor(QPalette::Window, Qt::gray);
  undecided.setColor(QPalette::WindowText, Qt::gray);
  EXPECT_NEAR(Theme::wallColor(light).redF(), 0.965, 0.003);
  EXPECT_NEAR(Theme::wallColor(dark).redF(), 0.105, 0.003);
  EXPECT_NEAR(Theme::wallColor(undecided).redF(), 0.965, 0.003);
  EXPECT_EQ(Theme::wallColor(dark).alphaF(), 1.0);
}

TEST(Symbols, EveryEntryHasADrawing) {
  std::set<std::string_view> seen;
  for (const auto& entry : Symbols::table()) {
    EXPECT_TRUE(seen.insert(entry.symbol).second) << "twice: " << entry.symbol;
    const QPixmap pixmap = Symbols::tinted(entry.symbol, QSize(16, 16), Qt::red);
    ASSERT_FALSE(pixmap.isNull()) << entry.symbol;
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        if (qAlpha(p) > 128) {
          ++inked;
          EXPECT_EQ(qRed(p), 255) << entry.symbol;
        }
      }
    }
    EXPECT_GT(inked, 8) << entry.symbol;
    EXPECT_FALSE(Symbols::icon(entry.symbol).isNull()) << entry.symbol;
  }
  for (const char* named : {"play.fill", "pause.fill", "backward.fill", "gearshape", "xmark", "menubar.dock.rectangle"}) {
    EXPECT_TRUE(seen.count(named)) << named;
  }
  EXPECT_TRUE(Symbols::icon("no.such.symbol").isNull());
  EXPECT_FALSE(Symbols::applicationIcon().pixmap(64, 64).isNull());
}

}  // namespace
}  // namespace tavolune
