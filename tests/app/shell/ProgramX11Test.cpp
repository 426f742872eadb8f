#include "app/shell/SingleInstance.hpp"

#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace tavolune {
namespace {

#ifdef TAVOLUNE_EXECUTABLE

// The program on a data folder of its own, on the test's display and bus.
class Program {
 public:
  explicit Program(const QString& dataFolder, QStringList arguments = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TAVOLUNE_DATA_DIR"), dataFolder);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TAVOLUNE_EXECUTABLE), arguments);
  }
  ~Program() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(5000);
    }
  }
  QProcess process;
};

bool listening(const QString& dataFolder) {
  return QTest::qWaitFor(
      [&] {
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::serverName(dataFolder));
        return socket.waitForConnected(200);
      },
      20000);
}

TEST(Program, OneCopyPerDataFolderAndSigtermEndsItCleanly) {
  QTemporaryDir data;
  Program first(data.path());
  ASSERT_TRUE(first.process.waitForStarted(10000));
  ASSERT_TRUE(listening(data.path()));

  // A second launch hands over to the first and ends at once.
  Program second(data.path());
  ASSERT_TRUE(second.process.waitForFinished(20000));
  EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.process.exitCode(), 0);

  // The preview would share the library with the running copy: refused.
  Program preview(data.path(), {QStringLiteral("--ui-preview")});
  ASSERT_TRUE(preview.process.waitForFinished(20000));
  EXPECT_EQ(preview.process.exitCode(), 1);
  EXPECT_TRUE(preview.process.readAllStandardError().contains("TAVOLUNE_DATA_DIR"));

  // Logout: the normal quit path, and a clean exit.
  ::kill(static_cast<pid_t>(first.process.processId()), SIGTERM);
  ASSERT_TRUE(first.process.waitForFinished(20000));
  EXPECT_EQ(first.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.process.exitCode(), 0);
}

#endif

}  // namespace
}  // namespace tavolune
