// Programs the program starts get the environment it was given, without the
// web engine switches it set for itself.
#include "app/model/Updater.hpp"
#include "app/platform/linux/XdgUrlLauncher.hpp"
#include "tests/support/fakes/FakeUrlLauncher.hpp"

#include <QDesktopServices>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

TEST(UrlLauncher, StartsProgramsWithTheGivenEnvironment) {
  // The test's main captured the environment before the engine's switches.
  const QByteArray ours = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  ASSERT_TRUE(ours.contains("--proxy-server=http://127.0.0.1:"));

  QTemporaryDir dir;
  const QString script = dir.filePath(QStringLiteral("open"));
  const QString out = dir.filePath(QStringLiteral("seen"));
  QFile file(script);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QStringLiteral("#!/bin/sh\n{ echo \"ARG=$1\"; env; } > '%1.part' && mv '%1.part' '%1'\n").arg(out).toUtf8());
  file.close();
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  QStringList given = givenEnvironment();
  given << QStringLiteral("TAVOLUNE_USERS_OWN=kept");
  XdgUrlLauncher launcher(script, given);
  ASSERT_TRUE(launcher.open(QUrl(QStringLiteral("https://objkt.com/tokens/KT1/7"))));
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(out); }, 10'000));
  QFile seen(out);
  ASSERT_TRUE(seen.open(QIODevice::ReadOnly));
  const QByteArray env = seen.readAll();
  EXPECT_TRUE(env.contains("ARG=https://objkt.com/tokens/KT1/7\n"));
  EXPECT_TRUE(env.contains("\nTAVOLUNE_USERS_OWN=kept\n"));
  EXPECT_TRUE(env.contains("\nPATH=" + qgetenv("PATH") + "\n"));
  EXPECT_FALSE(env.contains("--proxy-server=http://127.0.0.1:")) << env.constData();
  EXPECT_FALSE(env.contains("disable_non_proxied_udp"));
}

TEST(UrlLauncher, DesktopServicesOpenThroughTheLauncher) {
  testsupport::FakeUrlLauncher fake;
  DesktopUrlRoute::to(&fake);
  QDesktopServices::openUrl(QUrl(QStringLiteral("https://example.org/feedback")));
  QDesktopServices::openUrl(QUrl::fromLocalFile(QStringLiteral("/tmp")));
  // A launcher that could start nothing is a failure to those who ask.
  fake.starts = false;
  const QUrl page(QStringLiteral("https://example.org/update"));
  const bool pageOpened = DesktopUrlRoute::openUrl(page);
  const bool offerOpened = Updater::openPage({"2.0", page});
  DesktopUrlRoute::to(nullptr);
  EXPECT_FALSE(pageOpened);
  EXPECT_FALSE(offerOpened);
  ASSERT_EQ(fake.opened.size(), 4u);
  EXPECT_EQ(fake.opened[0], QUrl(QStringLiteral("https://example.org/feedback")));
  EXPECT_TRUE(fake.opened[1].isLocalFile());
}

}  // namespace
}  // namespace tavolune
