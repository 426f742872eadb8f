#include "app/platform/linux/PlasmaWallpaper.hpp"

#include "tests/app/platform/WallpaperAnswer.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"

#include <QDBusConnection>
#include <QDBusContext>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::FakeSystemLog;
using testsupport::WallpaperAnswer;

// A stand-in for Plasma's shell on the session bus: it records each script
// and runs it in a JavaScript engine against desktops of its own, kept from
// one script to the next, with the few scripting calls the shell offers
// (desktops, screenGeometry, print, writeConfig, readConfig).
class FakePlasmaShell : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")
 public:
  QStringList scripts;
  QJsonArray desktops;  // after the last script
  QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};

 public slots:
  QString evaluateScript(const QString& script) {
    scripts << script;
    QJSEngine engine;
    QString screenList;
    for (const QRect& r : screens) {
      screenList += QStringLiteral("{x:%1,y:%2,width:%3,height:%4},").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    const QString saved = desktops.isEmpty()
                              ? QStringLiteral("[{screen: 0}, {screen: 1}, {screen: -1}]")
                              : QString::fromUtf8(QJsonDocument(desktops).toJson(QJsonDocument::Compact));
    const QString prelude = QStringLiteral(
        "var __screens = [%1];\n"
        "var __out = '';\n"
        "function __desktop(d) { return { screen: d.screen, wallpaperPlugin: d.wallpaperPlugin || 'org.kde.color',\n"
        "  currentConfigGroup: [], config: d.config || {},\n"
        "  writeConfig: function (k, v) { this.config[this.currentConfigGroup.join('/') + '/' + k] = String(v); },\n"
        "  readConfig: function (k, fallback) {\n"
        "    var v = this.config[this.currentConfigGroup.join('/') + '/' + k];\n"
        "    return v === undefined ? fallback : v; } }; }\n"
        "var __desktops = %2.map(__desktop);\n"
        "function desktops() { return __desktops; }\n"
        "function screenGeometry(i) { return __screens[i]; }\n"
        "function print(s) { __out += s + '\\n'; }\n")
                                .arg(screenList, saved);
    engine.evaluate(prelude);
    const QJSValue result = engine.evaluate(script);
    if (result.isError()) {
      sendErrorReply(QDBusError::Failed, result.toString());
      return {};
    }
    desktops = QJsonDocument::fromJson(engine.evaluate("JSON.stringify(__desktops)").toString().toUtf8()).array();
    return engine.evaluate("__out").toString();
  }
};

TEST(PlasmaWallpaper, SetsTheDesktopOnTheDisplaysScreenOnly) {
  QDBusConnection shellBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-plasma");
  ASSERT_TRUE(shellBus.isConnected());
  FakePlasmaShell shell;
  ASSERT_TRUE(shellBus.registerObject("/PlasmaShell", &shell, QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(shellBus.registerService("org.kde.plasmashell"));

  FakeSystemLog log;
  PlasmaWallpaper backend(log);
  WallpaperAnswer answer;
  Display second;
  second.key = "SECOND";
  second.geometry = QRect(1920, 0, 1280, 1024);
  second.available = second.geometry;
  const QString file = "/tmp/wall papers/SECOND-00ff.jpg";
  backend.setPicture({second, {second}, file, QColor(10, 20, 30)}, &answer.box, answer.done());
  ASSERT_EQ(answer.wait(), std::nullopt);
  ASSERT_EQ(shell.scripts.size(), 1);

  const QJsonObject first = shell.desktops[0].toObject(), target = shell.desktops[1].toObject();
  EXPECT_EQ(first["wallpaperPlugin"].toString(), "org.kde.color");
  EXPECT_TRUE(first["config"].toObject().isEmpty());
  EXPECT_EQ(target["wallpaperPlugin"].toString(), "org.kde.image");
  const QJsonObject config = target["config"].toObject();
  EXPECT_EQ(QUrl(config["Wallpaper/org.kde.image/General/Image"].toString()).toLocalFile(), file);
  EXPECT_EQ(config["Wallpaper/org.kde.image/General/Color"].toString(), "#0a141e");
  // Read back: the file, and none for the desktop that shows a colour over
  // an image it no longer uses.
  EXPECT_EQ(testsupport::shownBy(backend, second), file);
  shell.evaluateScript(
      "var d = desktops()[0]; d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];"
      "d.writeConfig('Image', 'file:///tmp/old.jpg');");
  Display colour = second;
  colour.geometry = QRect(0, 0, 1920, 1080);
  EXPECT_EQ(testsupport::shownBy(backend, colour), std::nullopt);

  // A display no desktop belongs to: Plasma answers, but nothing was set.
  Display unknown = second;
  unknown.geometry = QRect(5000, 0, 800, 600);
  backend.setPicture({unknown, {unknown}, file, Qt::black}, &answer.box, answer.done());
  auto outcome = answer.wait();
  ASSERT_TRUE(outcome);
  EXPECT_EQ(*outcome, "Plasma has no desktop on this display");

  // A shell that is not there.
  shellBus.unregisterService("org.kde.plasmashell");
  backend.setPicture({second, {second}, file, Qt::black}, &answer.box, answer.done());
  outcome = answer.wait();
  ASSERT_TRUE(outcome);
  EXPECT_TRUE(outcome->startsWith("Plasma did not take the picture")) << outcome->toStdString();
  EXPECT_EQ(testsupport::shownBy(backend, second), std::nullopt);
  EXPECT_EQ(log.lines().size(), 2u);
  QDBusConnection::disconnectFromBus("fake-plasma");
}

}  // namespace
}  // namespace tavolune

#include "PlasmaWallpaperDBusTest.moc"
