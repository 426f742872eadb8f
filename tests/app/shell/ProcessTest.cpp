#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimer>
#include <gmock/gmock.h>

#include <csignal>
#include <unistd.h>

#include "app/model/Diagnostics.hpp"
#include "app/shell/CrashHandler.hpp"
#include "app/shell/QuitSignals.hpp"

namespace tavolune {
namespace {

// Deep enough to overflow any thread's stack; the volatile frame keeps the
// recursion from being turned into a loop.
[[gnu::noinline]] int descend(int depth) {
  volatile char frame[4096];
  frame[0] = char(depth);
  return depth <= 0 ? frame[0] : descend(depth - 1) + frame[0];
}

TEST(CrashHandlerDeathTest, LeavesOneReport) {
  // Fork style: the child writes into the folder the parent then reads.
  GTEST_FLAG_SET(death_test_style, "fast");
  const struct {
    const char* name;
    void (*crash)();
  } rows[] = {
      {"fault on the main thread", [] { std::raise(SIGSEGV); }},
      {"stack overflow on a pool thread", [] {
         QThreadPool pool;
         pool.start([] { std::_Exit(descend(1 << 30)); });
         pool.waitForDone();
       }},
  };
  for (const auto& row : rows) {
    QTemporaryDir data;
    const QString folder = Diagnostics::crashesFolder(data.path());
    EXPECT_EXIT(
        {
          CrashHandler::install(folder.toStdString(), "1.4.0 (212)");
          row.crash();
          std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "")
        << row.name;

    const QStringList reports = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(reports.size(), 1) << row.name;
    EXPECT_TRUE(reports[0].startsWith("Tavolune-")) << row.name;
    EXPECT_TRUE(reports[0].endsWith(".crash")) << row.name;
    QFile file(QDir(folder).filePath(reports[0]));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << row.name;
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("Tavolune 1.4.0 (212) crashed\nSignal: 11 (SIGSEGV)\n")) << row.name << text.toStdString();
    EXPECT_TRUE(text.contains("\nBacktrace:\n")) << row.name;
    // The name carries today's UTC date, so names sort by time.
    const QString today = QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd");
    EXPECT_TRUE(reports[0].startsWith("Tavolune-" + today)) << reports[0].toStdString();
    EXPECT_EQ(Diagnostics::recentCrashes(folder, QDateTime::currentDateTimeUtc()), reports) << row.name;
  }
}

// In a child process: the signal must come back as quitRequested through the
// event loop, which then ends with the code the quit path chose.
[[noreturn]] void runUntilSignalled(int signo) {
  QuitSignals quitSignals;
  QObject::connect(&quitSignals, &QuitSignals::quitRequested, qApp,
                   [signo](int received) { QCoreApplication::exit(received == signo ? 42 : 1); });
  QTimer::singleShot(0, qApp, [signo] { ::kill(::getpid(), signo); });
  const int code = QCoreApplication::exec();
  std::_Exit(quitSignals.isActive() ? code : 2);
}

TEST(QuitSignalsDeathTest, TermIntAndHupRunTheQuitPath) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
    EXPECT_EXIT(runUntilSignalled(signo), ::testing::ExitedWithCode(42), "") << signo;
  }
}

// Once caught, the signals stay caught: one that comes while no instance
// reports them (before the event loop, during teardown) is kept for the next.
TEST(QuitSignals, KeepsTheSignalsCaughtWhenGone) {
  {
    QuitSignals quitSignals;
    ASSERT_TRUE(quitSignals.isActive());
    QuitSignals second;  // the first reports the signals
    EXPECT_FALSE(second.isActive());
  }
  ::kill(::getpid(), SIGTERM);  // the test binary ends here if it is not caught
  QuitSignals later;
  QSignalSpy reported(&later, &QuitSignals::quitRequested);
  ASSERT_TRUE(reported.wait(10000));
  EXPECT_EQ(reported.takeFirst().at(0).toInt(), SIGTERM);
  for (const int signo : {SIGTERM, SIGINT, SIGHUP}) ::signal(signo, SIG_DFL);  // Ctrl+C ends the binary again
}

}  // namespace
}  // namespace tavolune
