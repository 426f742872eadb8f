#include "app/platform/WallpaperBackend.hpp"
#include "app/platform/linux/SpannedPicture.hpp"

#include "tests/app/platform/WallpaperAnswer.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"
#include "tests/support/fakes/FakeWallpaperBackend.hpp"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::FakeSystemLog;

TEST(WallpaperBackend, ChosenFromTheCurrentDesktop) {
  const QByteArray before = qgetenv("XDG_CURRENT_DESKTOP");
  FakeSystemLog log;
  // Which schema and key each relative of GNOME gets is checked where
  // gsettings runs (GnomeWallpaperDBusTest).
  const std::vector<std::pair<const char*, QString>> cases{
      {"GNOME", "GNOME"}, {"ubuntu:GNOME", "GNOME"}, {"Budgie:GNOME", "GNOME"}, {"KDE", "KDE Plasma"},
      {"XFCE", "XFCE"},   {"i3", "X11 root window"}, {"", "X11 root window"},
  };
  for (const auto& [desktop, name] : cases) {
    qputenv("XDG_CURRENT_DESKTOP", desktop);
    EXPECT_EQ(makeWallpaperBackend(log, "/tmp")->name(), name) << desktop;
  }
  qputenv("XDG_CURRENT_DESKTOP", before);
}

TEST(WallpaperBackend, AnswersLaterInOrderAndLogsFailures) {
  FakeSystemLog log;
  testsupport::FakeWallpaperBackend backend(log);
  Display d;
  d.key = "ONE";
  std::vector<QString> answers;
  QObject context;
  backend.next = QStringLiteral("the desktop said no");
  testsupport::WallpaperAnswer last;
  backend.setPicture({d, {d}, "/a.jpg", Qt::black}, &context,
                     [&](WallpaperBackend::Outcome o) { answers.push_back(o.value_or("ok")); });
  EXPECT_TRUE(answers.empty());  // never inside the call
  backend.setPicture({d, {d}, "/b.jpg", Qt::black}, &last.box, last.done());
  EXPECT_EQ(last.wait(), "the desktop said no");
  EXPECT_EQ(answers, std::vector<QString>{"the desktop said no"});
  ASSERT_EQ(backend.requests.size(), 2u);
  EXPECT_EQ(backend.requests[0].file, "/a.jpg");
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"wallpaper not applied (the desktop said no)",
                                                   "wallpaper not applied (the desktop said no)"}));

  // A caller that is gone gets no answer.
  auto* gone = new QObject;
  bool called = false;
  backend.next.reset();
  backend.setPicture({d, {d}, "/c.jpg", Qt::black}, gone, [&](WallpaperBackend::Outcome) { called = true; });
  delete gone;
  backend.setPicture({d, {d}, "/d.jpg", Qt::black}, &last.box, last.done());
  EXPECT_EQ(last.wait(), std::nullopt);
  EXPECT_FALSE(called);

  // A read waits for the pictures asked for before it.
  backend.setPicture({d, {d}, "/e.jpg", Qt::black}, &context, [](WallpaperBackend::Outcome) {});
  EXPECT_EQ(testsupport::shownBy(backend, d), "/e.jpg");
}

// Displays "A" and "B", 100 pixels square, A on the left.
std::pair<Display, Display> sideBySide() {
  Display a, b;
  a.key = "A";
  a.geometry = QRect(0, 0, 100, 100);
  b.key = "B";
  b.geometry = QRect(100, 0, 100, 100);
  return {a, b};
}

TEST(SpannedPicture, NamesChangeWithContentAndGoneDisplaysAreForgotten) {
  QTemporaryDir dir;
  const QString file = dir.filePath("a.jpg");
  QImage(8, 8, QImage::Format_RGB32).save(file, "jpeg");
  const auto [a, b] = sideBySide();
  SpannedPicture spanned;
  auto pieces = spanned.update({a, {a, b}, file, Qt::red});
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_TRUE(pieces[1].file.isEmpty());
  EXPECT_EQ(SpannedPicture::bounds(pieces), QRect(0, 0, 200, 100));
  const QString name = SpannedPicture::fileName(pieces);
  EXPECT_TRUE(name.startsWith("spanned-") && name.endsWith(".jpg") && name.size() == 8 + 16 + 4);
  EXPECT_EQ(SpannedPicture::fileName(pieces), name);
  // New content under the same file name still changes the spanned name.
  QImage big(16, 8, QImage::Format_RGB32);
  big.fill(Qt::white);
  big.save(file, "png");
  EXPECT_NE(SpannedPicture::fileName(pieces), name);
  // B leaves, then returns without its old picture.
  spanned.update({b, {b}, file, Qt::blue});
  pieces = spanned.update({b, {a, b}, file, Qt::blue});
  EXPECT_TRUE(pieces[0].file.isEmpty());
  // Nothing to compose is no picture, not a crash.
  EXPECT_TRUE(SpannedPicture::compose({}, QSize()).isNull());
}

TEST(SpannedPicture, APictureAtHandIsDrawnOnlyForItsDisplay) {
  QTemporaryDir dir;
  const QString file = dir.filePath("b.jpg");
  QImage onDisk(8, 8, QImage::Format_RGB32);
  onDisk.fill(Qt::blue);
  onDisk.save(file, "png");
  const auto [a, b] = sideBySide();
  SpannedPicture spanned;
  spanned.update({b, {a, b}, file, Qt::black});
  QImage green(100, 100, QImage::Format_RGB32);
  green.fill(Qt::green);
  // A's file does not exist: its picture comes from the request alone.
  const auto pieces = spanned.update({a, {a, b}, dir.filePath("gone.jpg"), Qt::red, green});
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_TRUE(pieces[1].picture.isNull());
  const QImage all = SpannedPicture::compose(pieces, QSize(200, 100));
  EXPECT_EQ(all.pixelColor(50, 50), QColor(Qt::green));
  EXPECT_EQ(all.pixelColor(150, 50), QColor(Qt::blue));
}

}  // namespace
}  // namespace tavolune
