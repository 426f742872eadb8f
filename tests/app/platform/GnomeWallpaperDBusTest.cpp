#include "app/platform/linux/GnomeWallpaper.hpp"

#include "app/platform/WallpaperBackend.hpp"
#include "tests/app/platform/WallpaperAnswer.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

namespace tavolune {
namespace {

using testsupport::FakeSystemLog;
using testsupport::WallpaperAnswer;

const char* schema = "org.gnome.desktop.background";

// GIO settings in a keyfile of a folder of the test's own; read back by a
// separate gsettings process, as another program would see them.
class GnomeWallpaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config.isValid());
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("GSETTINGS_BACKEND", "keyfile");
  }
  void TearDown() override { qunsetenv("GSETTINGS_BACKEND"); }

  static QString get(const char* key, const QString& schemaID = schema) {
    QProcess p;
    p.start("gsettings", {"get", schemaID, key});
    p.waitForFinished(5000);
    return GnomeWallpaper::unquoted(QString::fromUtf8(p.readAllStandardOutput())).value_or("?");
  }
  QString picture(const QString& name, const QColor& colour) {
    QImage image(1280, 720, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = pictures.filePath(name);
    image.save(path, "jpeg", 95);
    return path;
  }
  static Display display(const QString& key, QRect geometry) {
    Display d;
    d.key = key;
    d.geometry = geometry;
    d.available = geometry;
    return d;
  }

  QTemporaryDir config, pictures, folder;
  FakeSystemLog log;
  WallpaperAnswer answer;
};

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 && std::abs(a.blue() - b.blue()) < 12;
}

TEST_F(GnomeWallpaperTest, OnePictureSpansEveryDisplayUnderANewNameForNewContent) {
  GnomeWallpaper backend(log, folder.path(), GnomeWallpaper::gnome());
  const Display left = display("LEFT", QRect(0, 0, 1280, 720)), right = display("RIGHT", QRect(1280, 0, 1280, 720));

  backend.setPicture({left, {left, right}, picture("l.jpg", Qt::red), Qt::black}, &answer.box, answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);
  const QString first = QUrl(get("picture-uri")).toLocalFile();
  EXPECT_TRUE(QFileInfo(first).fileName().startsWith("spanned-")) << first.toStdString();
  EXPECT_EQ(QFileInfo(first).path(), folder.path());
  EXPECT_EQ(std::filesystem::status(first.toStdString()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms(0600));
  EXPECT_EQ(get("picture-uri-dark"), get("picture-uri"));
  EXPECT_EQ(get("picture-options"), "spanned");
  QImage spanned(first);
  ASSERT_EQ(spanned.size(), QSize(2560, 720));
  EXPECT_TRUE(near(spanned.pixelColor(600, 360), Qt::red));
  EXPECT_TRUE(near(spanned.pixelColor(1900, 360), Qt::black));

  backend.setPicture({right, {left, right}, picture("r.jpg", Qt::blue), Qt::black}, &answer.box, answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);
  const QString second = QUrl(get("picture-uri")).toLocalFile();
  EXPECT_NE(second, first);  // desktops cache pictures by path
  EXPECT_FALSE(QFileInfo::exists(first));
  spanned = QImage(second);
  EXPECT_TRUE(near(spanned.pixelColor(600, 360), Qt::red));
  EXPECT_TRUE(near(spanned.pixelColor(1900, 360), Qt::blue));

  // A display that is gone drops out of the picture.
  backend.setPicture({left, {left}, picture("l2.jpg", Qt::green), Qt::black}, &answer.box, answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);
  EXPECT_EQ(QImage(QUrl(get("picture-uri")).toLocalFile()).size(), QSize(1280, 720));
  EXPECT_EQ(QDir(folder.path()).entryList({"spanned-*"}, QDir::Files).size(), 1);
  EXPECT_TRUE(log.lines().empty());
}

// Cinnamon's and MATE's schemas, as far as the back end uses them, for a
// machine that has neither desktop installed.
constexpr const char* relatives = R"(<schemalist>
  <schema id="org.cinnamon.desktop.background" path="/org/cinnamon/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
    <key name="primary-color" type="s"><default>'#000000'</default></key>
  </schema>
  <schema id="org.mate.background" path="/org/mate/desktop/background/">
    <key name="picture-filename" type="s"><default>''</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
    <key name="primary-color" type="s"><default>'#000000'</default></key>
  </schema>
</schemalist>
)";

TEST_F(GnomeWallpaperTest, EachRelativeOfGnomeGetsThePictureUnderItsOwnSchemaAndKey) {
  QTemporaryDir schemas;
  QFile xml(schemas.filePath("relatives.gschema.xml"));
  ASSERT_TRUE(xml.open(QIODevice::WriteOnly) && xml.write(relatives) > 0);
  xml.close();
  QProcess compile;
  compile.start("glib-compile-schemas", {schemas.path()});
  ASSERT_TRUE(compile.waitForFinished(10000) && compile.exitCode() == 0)
      << compile.readAllStandardError().toStdString();
  const QByteArray desktopBefore = qgetenv("XDG_CURRENT_DESKTOP");
  qputenv("GSETTINGS_SCHEMA_DIR", schemas.path().toUtf8());

  const struct Row {
    const char* desktop;
    const char* schema;
    const char* key;
    bool path;  // a plain path rather than a file URI
  } rows[] = {
      {"ubuntu:GNOME", "org.gnome.desktop.background", "picture-uri", false},
      {"X-Cinnamon", "org.cinnamon.desktop.background", "picture-uri", false},
      {"MATE", "org.mate.background", "picture-filename", true},
  };
  const Display only = display("ONE", QRect(0, 0, 1280, 720));
  for (const auto& row : rows) {
    qputenv("XDG_CURRENT_DESKTOP", row.desktop);
    const auto backend = makeWallpaperBackend(log, folder.path());
    backend->setPicture({only, {only}, picture(QString(row.desktop) + ".jpg", Qt::red), Qt::black}, &answer.box,
                        answer.done());
    EXPECT_EQ(answer.wait(), std::nullopt) << row.desktop;
    const QString stored = get(row.key, row.schema);
    EXPECT_EQ(stored.startsWith("file://"), !row.path) << row.desktop << ": " << stored.toStdString();
    const QFileInfo file(row.path ? stored : QUrl(stored).toLocalFile());
    EXPECT_EQ(file.path(), folder.path()) << row.desktop << ": " << stored.toStdString();
    EXPECT_TRUE(file.fileName().startsWith("spanned-") && file.exists()) << row.desktop;
    EXPECT_EQ(get("picture-options", row.schema), "spanned") << row.desktop;
  }
  qputenv("XDG_CURRENT_DESKTOP", desktopBefore);
  qunsetenv("GSETTINGS_SCHEMA_DIR");
}

TEST_F(GnomeWallpaperTest, AWriteTheStoreDidNotKeepIsAFailure) {
  // The memory back end "succeeds" without storing anything, as GIO does
  // when dconf is not there.
  qputenv("GSETTINGS_BACKEND", "memory");
  GnomeWallpaper backend(log, folder.path(), GnomeWallpaper::gnome());
  const Display only = display("ONE", QRect(0, 0, 1280, 720));
  backend.setPicture({only, {only}, picture("a.jpg", Qt::red), Qt::black}, &answer.box, answer.done());
  const auto outcome = answer.wait();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(outcome->contains("was not stored")) << outcome->toStdString();
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0], "wallpaper not applied (" + outcome->toStdString() + ")");
}

TEST_F(GnomeWallpaperTest, AMissingSchemaIsAFailure) {
  GnomeWallpaper backend(log, folder.path(), {"org.example.no.such.schema", "picture-uri", false});
  const Display only = display("ONE", QRect(0, 0, 1280, 720));
  backend.setPicture({only, {only}, picture("a.jpg", Qt::red), Qt::black}, &answer.box, answer.done());
  const auto outcome = answer.wait();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(outcome->contains("not available")) << outcome->toStdString();
}

TEST_F(GnomeWallpaperTest, ReadsEachDisplaysFileOnlyWhileOurSpannedPictureShows) {
  GnomeWallpaper backend(log, folder.path(), GnomeWallpaper::gnome());
  const Display left = display("LEFT", QRect(0, 0, 1280, 720)), right = display("RIGHT", QRect(1280, 0, 1280, 720));
  const QString file = picture("l.jpg", Qt::red);
  backend.setPicture({left, {left, right}, file, Qt::black}, &answer.box, answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);
  EXPECT_EQ(testsupport::shownBy(backend, left), file);
  EXPECT_EQ(testsupport::shownBy(backend, right), std::nullopt);  // its fill alone
  // Another program's picture.
  ASSERT_EQ(QProcess::execute("gsettings", {"set", schema, "picture-uri", "'file:///elsewhere/a%20b.jpg'"}), 0);
  EXPECT_EQ(testsupport::shownBy(backend, left), "/elsewhere/a b.jpg");
}

TEST(GnomeWallpaper, GVariantStringsRoundTrip) {
  for (const QString& s : {QString("file:///a/b.jpg"), QString("it's"), QString("back\\slash"), QString()}) {
    EXPECT_EQ(GnomeWallpaper::unquoted(GnomeWallpaper::quoted(s)), s);
  }
  EXPECT_EQ(GnomeWallpaper::unquoted("\"it's\"\n"), "it's");
  EXPECT_EQ(GnomeWallpaper::unquoted("42"), std::nullopt);
}

}  // namespace
}  // namespace tavolune
