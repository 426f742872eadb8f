#include "app/desktop/StageWindow.hpp"
#include "app/platform/linux/RootWallpaper.hpp"
#include "app/platform/linux/Xcb.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/app/platform/WallpaperAnswer.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace tavolune {
namespace {

using testsupport::FakeSystemLog;
using testsupport::WallpaperAnswer;

Display display(const QString& key, QRect geometry) {
  Display d;
  d.key = key;
  d.geometry = geometry;
  d.available = geometry;
  return d;
}

QString picture(const QTemporaryDir& dir, const QString& name, const QColor& colour, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  const QString path = dir.filePath(name);
  image.save(path, "jpeg", 95);
  return path;
}

struct Root {
  xcb::Connection c = xcb::connect();
  xcb_window_t root = xcb::screenOf(c.get(), 0)->root;
  xcb_atom_t atom(const char* name) { return xcb::atom(c.get(), name); }
  std::optional<std::uint32_t> pixmap() { return xcb::cardinal(c.get(), root, atom("_XROOTPMAP_ID")); }
  std::optional<std::uint32_t> esetroot() { return xcb::cardinal(c.get(), root, atom("ESETROOT_PMAP_ID")); }
  bool exists(xcb_pixmap_t p) {
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> g(
        xcb_get_geometry_reply(c.get(), xcb_get_geometry(c.get(), p), nullptr), &std::free);
    return g != nullptr;
  }
  QColor pixel(xcb_pixmap_t p, int x, int y) {
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
        xcb_get_image_reply(c.get(), xcb_get_image(c.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, p, x, y, 1, 1, ~0u), nullptr),
        &std::free);
    if (!image) return {};
    const auto* d = xcb_get_image_data(image.get());
    return QColor(d[2], d[1], d[0]);
  }
};

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 && std::abs(a.blue() - b.blue()) < 12;
}

// A desktop window of another program hides the root: a failure, not a success.
void coveredRootIsAFailure(RootWallpaper& backend, FakeSystemLog& log, const QTemporaryDir& dir) {
  WallpaperAnswer answer;
  const Display whole = display("ONE", QRect(0, 0, 1920, 1080));
  const QString file = picture(dir, "a.jpg", Qt::red, {192, 108});

  // Our own desktop-level windows do not count.
  auto windows = makeDesktopWindows();
  StageWindow own(whole, new QWidget, false, *windows);
  own.present();
  backend.setPicture({whole, {whole}, file, Qt::black}, &answer.box, answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);

  Root x;
  const auto before = x.pixmap();
  const xcb_window_t icons = xcb_generate_id(x.c.get());
  xcb_create_window(x.c.get(), XCB_COPY_FROM_PARENT, icons, x.root, 0, 0, 1920, 1080, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb::setCardinals(x.c.get(), icons, x.atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                    {x.atom("_NET_WM_WINDOW_TYPE_DESKTOP")});
  xcb::setCardinals(x.c.get(), icons, x.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, {1});
  xcb_map_window(x.c.get(), icons);
  xcb_flush(x.c.get());

  backend.setPicture({whole, {whole}, file, Qt::black}, &answer.box, answer.done());
  const auto outcome = answer.wait();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(outcome->contains("covers the root window")) << outcome->toStdString();
  EXPECT_EQ(x.pixmap(), before);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.lines()[0].starts_with("wallpaper not applied (a desktop window")) << log.lines()[0];
  xcb_destroy_window(x.c.get(), icons);
  xcb_flush(x.c.get());
}

TEST(RootWallpaper, SetsEachDisplaysPartAndFreesThePreviousPixmap) {
  QTemporaryDir dir;
  FakeSystemLog log;
  RootWallpaper backend(log);
  WallpaperAnswer answer;
  const Display left = display("LEFT", QRect(0, 0, 960, 1080)), right = display("RIGHT", QRect(960, 0, 960, 1080));
  const QColor red(200, 30, 30), blue(30, 40, 200), green(30, 180, 60);

  backend.setPicture({left, {left, right}, picture(dir, "l.jpg", red, {960, 1080}), Qt::black}, &answer.box,
                     answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);
  Root x;
  const auto first = x.pixmap();
  ASSERT_TRUE(first);
  EXPECT_EQ(x.esetroot(), first);
  EXPECT_TRUE(near(x.pixel(*first, 100, 500), red));
  EXPECT_TRUE(near(x.pixel(*first, 1500, 500), Qt::black));  // no picture there yet

  backend.setPicture({right, {left, right}, picture(dir, "r.jpg", blue, {960, 1080}), Qt::black}, &answer.box,
                     answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);
  const auto second = x.pixmap();
  ASSERT_TRUE(second);
  EXPECT_NE(second, first);
  EXPECT_TRUE(near(x.pixel(*second, 100, 500), red));
  EXPECT_TRUE(near(x.pixel(*second, 1500, 500), blue));
  EXPECT_FALSE(x.exists(*first));  // rotations do not pile pixmaps up in the server

  // Many more rotations leave exactly one of ours alive.
  std::vector<std::uint32_t> seen{*second};
  for (int i = 0; i < 5; ++i) {
    backend.setPicture({left, {left, right}, picture(dir, QString("g%1.jpg").arg(i), green, {96, 108}), Qt::black},
                       &answer.box, answer.done());
    ASSERT_EQ(answer.wait(), std::nullopt);
    seen.push_back(*x.pixmap());
  }
  // The server hands a freed client's ids to later clients, so an old id
  // may come back as the current pixmap.
  for (std::size_t i = 0; i + 1 < seen.size(); ++i) {
    if (seen[i] != seen.back()) {
      EXPECT_FALSE(x.exists(seen[i])) << i;
    }
  }
  EXPECT_TRUE(x.exists(seen.back()));
  EXPECT_TRUE(log.lines().empty());

  // Read back: each display's file while our pixmap shows, none after
  // another program's.
  EXPECT_EQ(testsupport::shownBy(backend, left), dir.filePath("g4.jpg"));
  EXPECT_EQ(testsupport::shownBy(backend, right), dir.filePath("r.jpg"));
  QImage other(1920, 1080, QImage::Format_RGB32);
  other.fill(Qt::white);
  ASSERT_EQ(RootWallpaper::setRootImage(other), std::nullopt);
  EXPECT_EQ(testsupport::shownBy(backend, left), std::nullopt);
  // One test: the root window is shared by every test on this display.
  coveredRootIsAFailure(backend, log, dir);
}

// The pixels reach the root exactly, through shared memory where the server
// has it and over the connection where it does not; two displays' pictures
// go through one upload.
TEST(RootWallpaper, PutsThePixelsOnTheRootWithAndWithoutSharedMemory) {
  using Transfer = RootWallpaper::Transfer;
  const struct {
    const char* name;
    QStringList arguments;
    Transfer expected;
  } rows[] = {{"MIT-SHM", {}, Transfer::sharedMemory},
              {"no MIT-SHM", {"-extension", "MIT-SHM"}, Transfer::requests}};
  for (const auto& row : rows) {
    testsupport::PrivateRootDisplay server(QStringLiteral("640x400x24"), row.arguments);
    ASSERT_TRUE(server.ok()) << row.name;
    auto pattern = [](int x, int y, int shift) { return QColor(x % 256, (y + shift) % 256, (x * 3 + y) % 256); };
    std::vector<SpannedPiece> pieces;
    for (int half = 0; half < 2; ++half) {
      QImage image(320, 400, QImage::Format_RGB32);
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) image.setPixelColor(x, y, pattern(x + 320 * half, y, 90 * half));
      }
      pieces.push_back({QRect(320 * half, 0, 320, 400), QStringLiteral("piece%1.jpg").arg(half), Qt::black, image});
    }
    Transfer used{};
    ASSERT_EQ(RootWallpaper::setRoot(pieces, nullptr, &used), std::nullopt) << row.name;
    EXPECT_EQ(used, row.expected) << row.name;
    Root x;
    for (const QPoint at : {QPoint(0, 0), QPoint(319, 399), QPoint(320, 0), QPoint(500, 201), QPoint(639, 399)}) {
      EXPECT_EQ(x.pixel(x.root, at.x(), at.y()), pattern(at.x(), at.y(), at.x() < 320 ? 0 : 90))
          << row.name << " at " << at.x() << "," << at.y();
    }
  }
}

}  // namespace
}  // namespace tavolune
