#include "app/model/LoginItem.hpp"
#include "app/platform/linux/XdgAutostart.hpp"
#include "tests/support/fakes/FakeAutostartService.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace tavolune {
namespace {

using testsupport::FakeSystemLog;

// XDG_CONFIG_HOME pointed at a fresh folder for the test's life.
class TemporaryConfigHome {
 public:
  TemporaryConfigHome() : saved_(qgetenv("XDG_CONFIG_HOME")) { qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8()); }
  ~TemporaryConfigHome() { qputenv("XDG_CONFIG_HOME", saved_); }
  std::string path() const { return dir_.path().toStdString(); }

 private:
  QTemporaryDir dir_;
  QByteArray saved_;
};

LoginItemStatus settle(LoginItem& item, std::function<void()> action) {
  QSignalSpy changed(&item, &LoginItem::statusChanged);
  action();
  EXPECT_TRUE(changed.wait(10000));
  return item.status();
}

TEST(XdgAutostart, ExecIsQuotedByTheDesktopEntryRules) {
  struct Row {
    std::string program;
    std::string exec;
  };
  for (const auto& row : std::vector<Row>{
           {"/usr/bin/tavolune", "/usr/bin/tavolune"},
           {"/opt/My Apps/tavolune", R"("/opt/My Apps/tavolune")"},
           {"/home/a$b/t`v\"l", R"("/home/a\\$b/t\\`v\\"l")"},
           {"/opt/back\\slash", R"("/opt/back\\\\slash")"},
           {"/opt/100%/tavolune", "/opt/100%%/tavolune"},
       }) {
    EXPECT_EQ(XdgAutostart::execValue(row.program), row.exec) << row.program;
  }
}

TEST(LoginItem, OnAnAutostartEntryInTheConfigFolder) {
  TemporaryConfigHome home;
  XdgAutostart autostart("/opt/My Apps/tavolune");
  FakeSystemLog log;
  LoginItem item(autostart, log);
  EXPECT_EQ(settle(item, [] {}), LoginItemStatus::notRegistered);

  EXPECT_EQ(settle(item, [&] { item.set(true); }), LoginItemStatus::enabled);
  const auto entry = home.path() + "/autostart/tavolune.desktop";
  std::ifstream in(entry);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("\nExec=\"/opt/My Apps/tavolune\"\n"), std::string::npos) << text;

  // Switched off by hand in the file: the status says so.
  std::ofstream(entry, std::ios::app) << "Hidden=true\n";
  EXPECT_EQ(settle(item, [&] { item.refresh(); }), LoginItemStatus::notRegistered);

  EXPECT_EQ(settle(item, [&] { item.set(false); }), LoginItemStatus::notRegistered);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(entry)));
  EXPECT_TRUE(log.lines().empty());
}

TEST(LoginItem, AFailureIsLoggedOnceAndNeverShownAsSuccess) {
  TemporaryConfigHome home;
  // A file where the autostart folder should be.
  std::ofstream(home.path() + "/autostart") << "in the way";
  XdgAutostart autostart("/usr/bin/tavolune");
  FakeSystemLog log;
  LoginItem item(autostart, log);
  settle(item, [] {});
  EXPECT_EQ(settle(item, [&] { item.set(true); }), LoginItemStatus::notRegistered);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.lines()[0].starts_with("Open at Login unavailable (cannot create ")) << log.lines()[0];

  // No program path: nothing to start.
  XdgAutostart lost("");
  LoginItem unknown(lost, log);
  EXPECT_EQ(settle(unknown, [] {}), LoginItemStatus::notFound);
}

}  // namespace
}  // namespace tavolune

namespace tavolune {
namespace {

TEST(LoginItem, TheLogLineCarriesTheReason) {
  testsupport::FakeAutostartService service;
  service.refuse("denied");
  testsupport::FakeSystemLog log;
  LoginItem item(service, log);
  settle(item, [] {});
  EXPECT_EQ(settle(item, [&] { item.set(true); }), LoginItemStatus::notRegistered);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Open at Login unavailable (denied)"});
}

// A service slow enough that the item is gone before its jobs end.
class SlowAutostart final : public AutostartService {
 public:
  LoginItemStatus status() const override {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ++reads_;
    return LoginItemStatus::enabled;
  }
  void setEnabled(bool) override {}
  int reads() const { return reads_; }

 private:
  mutable std::atomic<int> reads_ = 0;
};

TEST(LoginItem, DestroyingItWaitsForItsJobsSoTheServiceCanGoNext) {
  auto service = std::make_unique<SlowAutostart>();
  testsupport::FakeSystemLog log;
  {
    LoginItem item(*service, log);
    item.refresh();
    item.set(true);
  }
  // Every job read the entry before the item went; the sanitizers catch a read after this.
  EXPECT_EQ(service->reads(), 3);
  service.reset();
  QCoreApplication::processEvents();
}

}  // namespace
}  // namespace tavolune
