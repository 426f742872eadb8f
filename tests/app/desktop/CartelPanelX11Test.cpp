#include "app/desktop/CartelPanel.hpp"
#include "app/platform/Compositor.hpp"
#include "app/platform/DesktopWindows.hpp"
#include "app/platform/linux/Xcb.hpp"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace tavolune {
namespace {

// The desktop picture: the root window in one colour.
struct Desktop {
  xcb::Connection c = xcb::connect();
  xcb_window_t root = xcb::screenOf(c.get(), 0)->root;

  explicit Desktop(QColor colour) {
    const std::uint32_t pixel = colour.rgb() & 0xFFFFFF;
    xcb_change_window_attributes(c.get(), root, XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(c.get(), 0, root, 0, 0, 0, 0);
    sync();
  }
  void sync() { std::free(xcb_get_input_focus_reply(c.get(), xcb_get_input_focus(c.get()), nullptr)); }

  // The screen as the X server shows it.
  QImage screen(QRect r) {
    sync();
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
        xcb_get_image_reply(c.get(),
                            xcb_get_image(c.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(r.x()), int16_t(r.y()),
                                          uint16_t(r.width()), uint16_t(r.height()), ~0u),
                            nullptr),
        &std::free);
    if (!image) return {};
    return QImage(xcb_get_image_data(image.get()), r.width(), r.height(), QImage::Format_RGB32).copy();
  }
};

// How much of each pixel the card covers, 0 to 255.
QImage coverage(const QPainterPath& card, QSize size) {
  QImage out(size, QImage::Format_Alpha8);
  out.fill(0);
  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillPath(card, Qt::black);
  return out;
}

// The whole virtual screen, with a 40-pixel panel along its bottom.
Display screenWithPanel() {
  Display d;
  d.geometry = QRect(0, 0, 1920, 1080);
  d.available = d.geometry.adjusted(0, 0, 0, -40);
  return d;
}

TEST(CartelPanel, WithoutACompositorTheDesktopShowsAroundTheCard) {
  auto compositor = makeCompositor();
  ASSERT_FALSE(compositor->isActive());
  auto windows = makeDesktopWindows();
  const QColor desktop(40, 160, 220);
  Desktop under(desktop);
  ASSERT_TRUE(under.c);
  CartelPanel panel(*windows, *compositor);
  const Artwork work = Artwork::make({.chain = Chain::tezos,
                                      .contract = "KT1",
                                      .tokenId = "7",
                                      .title = "Dunes at dusk, a long title that wraps",
                                      .artist = "Ana"});
  for (CartelStyle style : {CartelStyle::classic, CartelStyle::museum, CartelStyle::minimal, CartelStyle::editorial}) {
    const std::string name(rawValue(style));
    panel.show(work, screenWithPanel(), style);
    const QRect frame = panel.geometry();
    const QImage covered = coverage(panel.view().cardShape(), frame.size());
    const QImage card = panel.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    // The first pixel that is wrong, or none; painting reaches the server
    // some time after the show.
    QString wrong;
    auto check = [&] {
      const QImage shown = under.screen(frame);
      if (shown.isNull()) return (wrong = "no picture"), false;
      for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
          const int c = qAlpha(covered.pixel(x, y));
          const QRgb pixel = shown.pixel(x, y) | 0xFF000000;
          // An edge pixel is wholly the desktop's or the card's: a 1-bit
          // shape cannot blend, and a half-clear pixel would show darkened.
          const bool ok = c == 0     ? pixel == desktop.rgb()
                          : c == 255 ? pixel == card.pixel(x, y)
                                     : pixel == desktop.rgb() || pixel == card.pixel(x, y);
          if (!ok) {
            wrong = QStringLiteral("(%1, %2) covered %3: #%4").arg(x).arg(y).arg(c).arg(pixel, 8, 16);
            return false;
          }
        }
      }
      return true;
    };
    EXPECT_TRUE(QTest::qWaitFor(check, 5000)) << name << " " << wrong.toStdString();
  }
}

}  // namespace
}  // namespace tavolune
