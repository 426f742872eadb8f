#include "tests/app/desktop/DesktopRig.hpp"

#include <QTest>

#include <fstream>
#include <set>

namespace tavolune {
namespace {

using testsupport::DesktopRig;
using testsupport::makeDisplay;

const QString A = "display-1";
const QString A12 = "display-12";

QColor centre(const std::filesystem::path& file) {
  QImage image(QString::fromStdString(file.string()));
  return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 && std::abs(a.blue() - b.blue()) < 24;
}

TEST(DesktopWallpapers, FileNamesHashEverythingThatChangesThePicture) {
  const auto framed = Placement::framed(1.5, Framing::fit);
  const QSize size(2880, 1800);
  const auto base = StillPass::fileName(A, "tezos:kt1:1", framed, 0, false, size, Qt::black, false);
  ASSERT_EQ(base.size(), std::string("display-1-").size() + 20) << base;
  EXPECT_TRUE(base.starts_with("display-1-") && base.ends_with(".jpg")) << base;
  EXPECT_EQ(base.find_first_not_of("0123456789abcdef", 10), base.size() - 4) << base;
  const std::string variants[] = {
      StillPass::fileName(A, "tezos:kt1:1", framed, 0, true, size, Qt::black, false),
      StillPass::fileName(A, "tezos:kt1:1", framed, 1, false, size, Qt::black, false),
      StillPass::fileName(A, "tezos:kt1:1", framed, 0, false, QSize(1920, 1080), Qt::black, false),
      StillPass::fileName(A, "tezos:kt1:1", framed, 0, false, size, Qt::white, false),
      StillPass::fileName(A, "tezos:kt1:1", framed, 0, false, size, Qt::black, true),
      StillPass::fileName(A, "tezos:kt1:1", Placement::framed(1.25, Framing::fit), 0, false, size, Qt::black, false),
      StillPass::fileName(A, "tezos:kt1:2", framed, 0, false, size, Qt::black, false),
      // Same ratio, another label: another layout.
      StillPass::fileName(A, "tezos:kt1:1", Placement::framed(1.5, Framing::fill), 0, false, size, Qt::black, false),
      StillPass::fileName(A, "tezos:kt1:1", Placement::inFrame(FrameStyle::naturalOak, 1.5), 0, false, size, Qt::black,
                          false),
  };
  const std::set<std::string> distinct(std::begin(variants), std::end(variants));
  EXPECT_EQ(distinct.size(), std::size(variants));
  EXPECT_FALSE(distinct.contains(base));
  // A frame with a learnt ratio differs from the same frame without one.
  EXPECT_NE(
      StillPass::fileName(A, "w", Placement::inFrame(FrameStyle::naturalOak, std::nullopt), 0, false, size, Qt::black,
                          false),
      StillPass::fileName(A, "w", Placement::inFrame(FrameStyle::naturalOak, 1.0), 0, false, size, Qt::black, false));
  EXPECT_EQ(StillPass::fileName(A, "tezos:kt1:1", framed, 0, false, size, Qt::black, false), base);
}

TEST(DesktopWallpapers, RenderSizesFollowTurnsFramesAndTheCap) {
  const QSize screen(2880, 1800);
  EXPECT_EQ(StillPass::renderSize(Placement::fullBleed(), screen, 1), QSize(1800, 2880));
  EXPECT_EQ(StillPass::renderSize(Placement::inFrame(FrameStyle::naturalOak, 1.0), screen, 3), QSize(1800, 2880));
  EXPECT_EQ(StillPass::renderSize(Placement::framed(1.6, Framing::fill), screen, 0), QSize(2880, 1800));
  const QSize wide = StillPass::renderSize(Placement::framed(2.0, Framing::fill), QSize(7680, 3840), 0);
  EXPECT_EQ(std::max(wide.width(), wide.height()), 6000);
}

TEST(DesktopWallpapers, CleaningKeepsOtherDisplaysAndTheKeptFile) {
  DesktopRig rig;
  auto& c = rig.make();
  const auto mine = rig.wallpaperDir() / "display-1-0123456789abcdef.jpg";
  const auto older = rig.wallpaperDir() / "display-1-fedcba9876543210.jpg";
  const auto other = rig.wallpaperDir() / "display-12-0123456789abcdef.jpg";
  for (const auto& f : {mine, older, other}) std::ofstream(f) << "x";
  c.cleanWallpapers(A, mine);
  EXPECT_EQ(rig.files(),
            (std::vector<std::string>{"display-1-0123456789abcdef.jpg", "display-12-0123456789abcdef.jpg"}));
}

TEST(DesktopWallpapers, TheFirstRefreshRemovesFilesOfGoneDisplaysAndTemporaries) {
  DesktopRig rig;
  std::filesystem::create_directories(rig.wallpaperDir());
  for (const char* name :
       {"display-9-0123456789abcdef.jpg", ".display-1-0123456789abcdef.jpg.42.part", "spanned-0123456789abcdef.jpg"}) {
    std::ofstream(rig.wallpaperDir() / name) << "x";
  }
  std::filesystem::permissions(rig.wallpaperDir(), std::filesystem::perms(0755));
  rig.displays.set({makeDisplay(A, 1, true)});
  auto& c = rig.make();
  c.refreshScreens(false);
  EXPECT_EQ(rig.files(), std::vector<std::string>{"spanned-0123456789abcdef.jpg"});
  // An earlier build's open folder is the user's alone from the start.
  EXPECT_EQ(std::filesystem::status(rig.wallpaperDir()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms(0700));
}

TEST(DesktopWallpapers, RapidNextsLeaveOnePictureOfTheLastWork) {
  DesktopRig rig;
  rig.addWork("1", MediaKind::image, Qt::red);
  rig.addWork("2", MediaKind::image, Qt::green);
  rig.addWork("3", MediaKind::image, Qt::blue);
  rig.displays.set({makeDisplay(A, 1, true), makeDisplay(A12, 12, false, QRect(320, 0, 200, 200))});
  auto& c = rig.make();
  c.start();
  ASSERT_TRUE(rig.waitIdle());
  for (int burst = 0; burst < 3; ++burst) {
    for (int i = 0; i < 5; ++i) c.next(A);
    EXPECT_GE(c.preparing().size(), 1u);
    ASSERT_TRUE(rig.waitIdle());
  }
  const auto shown = rig.current(A);
  ASSERT_TRUE(shown);
  const auto files = rig.files();
  ASSERT_EQ(files.size(), 2u) << "one per display, no temporaries";
  EXPECT_TRUE(std::filesystem::exists(c.applied(A)->file));
  EXPECT_TRUE(std::filesystem::exists(c.applied(A12)->file));
  for (const auto& folderOrFile : {rig.wallpaperDir(), c.applied(A)->file}) {
    EXPECT_EQ(std::filesystem::status(folderOrFile).permissions() & std::filesystem::perms::all,
              std::filesystem::is_directory(folderOrFile) ? std::filesystem::perms(0700) : std::filesystem::perms(0600))
        << folderOrFile;
  }
  // The picture is the current work's colour (works 1..3 are red, green, blue).
  const std::map<std::string, QColor> colours{
      {"tezos:kt1desk:1", Qt::red}, {"tezos:kt1desk:2", Qt::green}, {"tezos:kt1desk:3", Qt::blue}};
  ASSERT_TRUE(colours.contains(*shown)) << *shown;
  EXPECT_TRUE(near(centre(c.applied(A)->file), colours.at(*shown)));
  EXPECT_TRUE(rig.wallpapers.requests.back().file.endsWith(".jpg"));
}

TEST(DesktopWallpapers, GenerativeStillsTakeAFastThenAHighQualityPass) {
  DesktopRig rig;
  const auto gen = rig.addWork("1", MediaKind::generative, Qt::red);
  rig.addWork("2", MediaKind::generative, Qt::green);
  QImage rendered(32, 32, QImage::Format_RGB32);
  rendered.fill(Qt::blue);
  rig.formats.stills[gen.id] = rendered;
  rig.displays.set({makeDisplay(A, 1, true)});
  auto& c = rig.make();
  c.start();
  ASSERT_TRUE(rig.waitApplied(A));
  // Fast pass: no cached still yet, so the decoded image (red).
  ASSERT_FALSE(rig.formats.stillCalls.empty());
  EXPECT_FALSE(rig.formats.stillCalls.front().computeIfMissing);
  EXPECT_TRUE(near(centre(c.applied(A)->file), Qt::red));
  const auto fastFile = c.applied(A)->file;

  // No profile: measured first, then the high-quality pass renders the still.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.formats.pendingProfiles.empty(); }, 2000));
  EXPECT_EQ(rig.formats.profileCalls.front(), gen.id);
  rig.formats.finishProfiles();
  ASSERT_TRUE(rig.waitApplied(A));
  EXPECT_NE(c.applied(A)->file, fastFile);
  EXPECT_TRUE(near(centre(c.applied(A)->file), Qt::blue));
  EXPECT_EQ(rig.files(), std::vector<std::string>{c.applied(A)->file.filename().string()});

  // The next work is generative: it is pre-rendered after the wait.
  EXPECT_EQ(c.upcoming(A), "tezos:kt1desk:2");
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.formats.profileCalls.size() >= 2; }, 2000));
  rig.formats.finishProfiles();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !rig.formats.stillCalls.empty() && rig.formats.stillCalls.back().id == "tezos:kt1desk:2"; }, 2000));
  EXPECT_TRUE(rig.formats.stillCalls.back().computeIfMissing);
  EXPECT_EQ(rig.formats.stillCalls.back().size, QSize(180, 180));  // a square work on 320 x 180, fit
}

TEST(DesktopWallpapers, APreRenderNoLongerUpcomingIsDropped) {
  DesktopRig rig;
  auto& c = rig.startWithTwo(A, MediaKind::generative);
  // Work 2 (generative) sorts first and is shown; work 1 is next: nothing pending.
  EXPECT_FALSE(c.upcoming(A));
  c.next(A);
  ASSERT_TRUE(rig.waitApplied(A));
  ASSERT_EQ(c.upcoming(A), "tezos:kt1desk:2");
  auto measured = [&] {
    return std::count(rig.formats.profileCalls.begin(), rig.formats.profileCalls.end(), "tezos:kt1desk:2");
  };
  const auto before = measured();
  c.next(A);  // takes the upcoming work before the wait ends
  QTest::qWait(100);
  // Its own measuring only: the pre-render of a work already shown is dropped.
  EXPECT_EQ(measured(), before + 1);
  EXPECT_EQ(rig.current(A), "tezos:kt1desk:2");
}

TEST(DesktopWallpapers, ARefusedPictureLeavesTheAppliedOne) {
  DesktopRig rig;
  auto& c = rig.startWithTwo(A, MediaKind::image);
  const auto before = *c.applied(A);
  rig.wallpapers.next = QStringLiteral("no desktop");
  c.next(A);
  ASSERT_TRUE(rig.waitIdle());
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.log.lines().size() == 1; }, 3000));
  EXPECT_EQ(rig.log.lines().front(), "wallpaper not applied (no desktop)");
  EXPECT_EQ(*c.applied(A), before);
  EXPECT_EQ(rig.files(), std::vector<std::string>{before.file.filename().string()});
}

// Waits until the back end has answered everything asked of it before, and
// whatever those answers asked for in turn: its queue runs in order.
bool settle(WallpaperBackend& backend) {
  for (int round = 0; round < 2; ++round) {
    QObject box;
    bool answered = false;
    backend.currentPicture({}, 0, &box, [&](std::optional<QString>) { answered = true; });
    if (!QTest::qWaitFor([&] { return answered; }, 3000)) return false;
  }
  return true;
}

// Shuffled among ten works whose stills can't be read and one that can, a
// display shows the good one and never keeps a broken one as its work; a
// still that could not be fetched is kept as before.
TEST(DesktopWallpapers, ABrokenStillIsPassedOverButAnUnfetchedOneIsKept) {
  DesktopRig rig;
  const QByteArray png = testsupport::FakeImageSource::png(QImage(64, 48, QImage::Format_RGB32));
  const std::pair<QByteArray, std::string> rows[] = {
      {"not a picture at all", "image/png"},
      {png.left(png.size() / 2), "image/png"},
      {"<svg xmlns='http://www.w3.org/2000/svg' width='0'", "image/svg+xml"},
      {QByteArray(300, '\x01'), "application/octet-stream"}};
  std::vector<Artwork> broken;
  for (int i = 0; i < 10; ++i) {
    broken.push_back(rig.addWork("b" + std::to_string(i)));
    const auto& [data, mime] = rows[i % std::size(rows)];
    rig.model->media().cache().store(data.toStdString(), *broken.back().imageURI, mime);
  }
  const Artwork good = rig.addWork("good", MediaKind::image, Qt::green);
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.rotationOrder = PlaybackOrder::shuffle; });
  rig.displays.set({makeDisplay(A, 1, true)});
  auto& c = rig.make();
  c.start();
  ASSERT_TRUE(rig.waitApplied(A));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    c.show(broken[i], A);
    ASSERT_TRUE(rig.waitApplied(A)) << i;
    ASSERT_TRUE(rig.waitIdle()) << i;
    EXPECT_EQ(rig.current(A), good.id) << i;
    EXPECT_TRUE(near(centre(c.applied(A)->file), Qt::green)) << i;
  }

  const Artwork unfetched = rig.addWork("away");
  rig.model->media().cache().clear();  // and nowhere to fetch it from
  const auto before = c.applied(A)->file;
  c.show(unfetched, A);
  ASSERT_TRUE(rig.waitIdle());
  EXPECT_EQ(rig.current(A), unfetched.id) << "a network failure keeps the work";
  EXPECT_EQ(c.applied(A)->file, before);
}

TEST(DesktopWallpapers, AnotherWorkspaceGetsTheAppliedPictureWhereItDoesNotShow) {
  DesktopRig rig;
  rig.addWork("1", MediaKind::image, Qt::red);
  rig.addWork("2", MediaKind::image, Qt::green);
  const Display a = makeDisplay(A, 1, true), b = makeDisplay(A12, 12, false, QRect(320, 0, 200, 200));
  rig.displays.set({a, b});
  auto& c = rig.make();
  c.start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return c.applied(A) && c.applied(A12); }, 5000));
  ASSERT_TRUE(rig.waitIdle());
  const QString fileA = QString::fromStdString(c.applied(A)->file.string());
  const QString fileB = QString::fromStdString(c.applied(A12)->file.string());
  auto& backend = rig.wallpapers;
  // What A and A12 show on the next workspace (none: the read fails), the
  // keys set again.
  struct Row {
    const char* name;
    std::optional<QString> shownA, shownB;
    bool fileAGone;
    std::vector<QString> set;
  };
  const std::vector<Row> rows{
      {"both show theirs", fileA, fileB, false, {}},
      {"A shows another picture", "/elsewhere.jpg", fileB, false, {A}},
      {"A unknown, A12 another", std::nullopt, "/elsewhere.jpg", false, {A, A12}},
      {"A's file is gone", "/elsewhere.jpg", fileB, true, {}},
  };
  int workspace = 0;
  for (const auto& row : rows) {
    backend.shown.clear();
    if (row.shownA) backend.shown[A] = *row.shownA;
    if (row.shownB) backend.shown[A12] = *row.shownB;
    if (row.fileAGone) std::filesystem::remove(c.applied(A)->file);
    const auto before = backend.requests.size();
    backend.reads.clear();
    rig.workspace.moveTo(++workspace);
    ASSERT_TRUE(settle(backend)) << row.name;
    std::vector<QString> set;
    for (auto i = before; i < backend.requests.size(); ++i) {
      const auto& r = backend.requests[i];
      set.push_back(r.display.key);
      const auto applied = *c.applied(r.display.key);
      EXPECT_EQ(r.file.toStdString(), applied.file.string()) << row.name;
      EXPECT_EQ(r.fill, QColor(applied.options)) << row.name;
    }
    EXPECT_EQ(set, row.set) << row.name;
    EXPECT_EQ(backend.reads, (std::vector<std::pair<QString, int>>{{A, workspace}, {A12, workspace}, {"", 0}, {"", 0}}))
        << row.name;
  }

  // A12 is unplugged while it shows another picture: neither read nor set.
  backend.shown[A12] = "/elsewhere.jpg";
  rig.displays.set({a});
  const auto before = backend.requests.size();
  backend.reads.clear();
  rig.workspace.moveTo(++workspace);
  ASSERT_TRUE(settle(backend));
  for (auto i = before; i < backend.requests.size(); ++i) EXPECT_NE(backend.requests[i].display.key, A12);
  for (const auto& read : backend.reads) EXPECT_NE(read.first, A12);
}

}  // namespace
}  // namespace tavolune
