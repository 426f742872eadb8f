#include "app/platform/linux/LinuxDisplayInhibitors.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QSignalSpy>
#include <QTimer>

namespace {
// One method of a dbusmock object: name, in and out signatures, Python code.
struct MockMethod {
  QString name, in, out, code;
};
}  // namespace
Q_DECLARE_METATYPE(MockMethod)

namespace {
QDBusArgument& operator<<(QDBusArgument& argument, const MockMethod& method) {
  argument.beginStructure();
  argument << method.name << method.in << method.out << method.code;
  argument.endStructure();
  return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, MockMethod& method) {
  argument.beginStructure();
  argument >> method.name >> method.in >> method.out >> method.code;
  argument.endStructure();
  return argument;
}
}  // namespace

namespace tavolune {
namespace {

using testsupport::DBusMock;
using testsupport::PrivateBus;

const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString login1 = QStringLiteral("org.freedesktop.login1");
const QString login1Path = QStringLiteral("/org/freedesktop/login1");
const QString login1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString gnomeSession = QStringLiteral("org.gnome.SessionManager");
const QString gnomeSessionPath = QStringLiteral("/org/gnome/SessionManager");
const QString powerManagement = QStringLiteral("org.freedesktop.PowerManagement");

class DisplayInhibitorsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus.ok()); }

  // One check, awaited; nullopt when no answer came.
  std::optional<bool> ask(LinuxDisplayInhibitors& inhibitors) {
    QObject context;
    std::optional<bool> answer;
    inhibitors.check(&context, [&](bool inhibited) { answer = inhibited; });
    (void)QTest::qWaitFor([&] { return answer.has_value(); }, 4 * LinuxDisplayInhibitors::deadlineMs);
    return answer;
  }
  void addMethod(const QString& service, const QString& path, const QString& interface, const QString& name,
                 const QString& out, const QString& code) {
    bus.call(service, path, mockInterface, QStringLiteral("AddMethod"), {interface, name, QString(), out, code});
  }
  void logindInhibitors(const QString& list) {
    addMethod(login1, login1Path, login1Manager, QStringLiteral("ListInhibitors"), QStringLiteral("a(ssssuu)"),
              QStringLiteral("ret = ") + list);
  }
  // GNOME's session manager with one inhibitor of these flags and app id.
  // `stall` is Python run before each answer.
  void gnomeInhibitor(uint flags, const QString& appId, const QString& stall = QStringLiteral("pass")) {
    const QString path = gnomeSessionPath + QStringLiteral("/Inhibitor1");
    addMethod(gnomeSession, gnomeSessionPath, gnomeSession, QStringLiteral("GetInhibitors"), QStringLiteral("ao"),
              QStringLiteral("%1\nret = ['%2']").arg(stall, path));
    bus.call(gnomeSession, gnomeSessionPath, mockInterface, QStringLiteral("RemoveObject"), {path});
    qDBusRegisterMetaType<MockMethod>();
    qDBusRegisterMetaType<QList<MockMethod>>();
    const QList<MockMethod> methods{
        {QStringLiteral("GetFlags"), {}, QStringLiteral("u"), QStringLiteral("%1\nret = %2").arg(stall).arg(flags)},
        {QStringLiteral("GetAppId"), {}, QStringLiteral("s"), QStringLiteral("ret = '%1'").arg(appId)}};
    const QDBusMessage added =
        bus.call(gnomeSession, gnomeSessionPath, mockInterface, QStringLiteral("AddObject"),
                 {path, QStringLiteral("org.gnome.SessionManager.Inhibitor"), QVariantMap(), QVariant::fromValue(methods)});
    ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage) << added.errorMessage().toStdString();
  }

  PrivateBus bus;
};

TEST_F(DisplayInhibitorsTest, NoServicesAnswerFalseQuickly) {
  LinuxDisplayInhibitors inhibitors(bus.bus(), bus.bus());
  auto* deadline = inhibitors.findChild<QTimer*>(QStringLiteral("deadline"));
  ASSERT_TRUE(deadline);
  QSignalSpy cutOff(deadline, &QTimer::timeout);
  EXPECT_EQ(ask(inhibitors), false);
  EXPECT_EQ(cutOff.count(), 0) << "answered by the services, not the deadline";
  EXPECT_FALSE(inhibitors.lastKnown());
}

TEST_F(DisplayInhibitorsTest, LogindCountsOtherProcessesBlockingIdle) {
  DBusMock logind(bus, login1, {login1, login1Path, login1Manager});
  ASSERT_TRUE(logind.ready());
  LinuxDisplayInhibitors inhibitors(bus.bus(), bus.bus());
  const QString own = QString::number(QCoreApplication::applicationPid());
  struct Row {
    QString list;
    bool inhibited;
  };
  const Row rows[] = {
      {QStringLiteral("[]"), false},
      {QStringLiteral("[('sleep:idle', 'player', 'video', 'block', 1000, 4242)]"), true},
      // Our own inhibition (the web engine's, say) never counts.
      {QStringLiteral("[('idle', 'tavolune', 'video', 'block', 1000, %1)]").arg(own), false},
      {QStringLiteral("[('idle', 'player', 'video', 'delay', 1000, 4242)]"), false},
      {QStringLiteral("[('sleep:handle-lid-switch', 'player', 'x', 'block', 1000, 4242)]"), false},
      {QStringLiteral("[('idle', 'us', 'v', 'block', 1000, %1), ('idle', 'them', 'v', 'block', 1000, 4242)]").arg(own), true},
  };
  for (const Row& row : rows) {
    logindInhibitors(row.list);
    EXPECT_EQ(ask(inhibitors), row.inhibited) << row.list.toStdString();
    EXPECT_EQ(inhibitors.lastKnown(), row.inhibited);
  }
}

TEST_F(DisplayInhibitorsTest, GnomeSessionCountsOtherApplicationsInhibitingIdle) {
  DBusMock session(bus, gnomeSession, {gnomeSession, gnomeSessionPath, gnomeSession});
  ASSERT_TRUE(session.ready());
  LinuxDisplayInhibitors inhibitors(bus.bus(), bus.bus());
  inhibitors.setSelf(QCoreApplication::applicationPid(), {QStringLiteral("tavolune")});

  gnomeInhibitor(8 | 4, QStringLiteral("org.example.Player"));
  EXPECT_EQ(ask(inhibitors), true);
  gnomeInhibitor(8, QStringLiteral("Tavolune"));
  EXPECT_EQ(ask(inhibitors), false);
  gnomeInhibitor(4, QStringLiteral("org.example.Player"));  // suspend only
  EXPECT_EQ(ask(inhibitors), false);
}

TEST_F(DisplayInhibitorsTest, PowerManagementHasInhibit) {
  DBusMock pm(bus, powerManagement,
              {powerManagement, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
               QStringLiteral("org.freedesktop.PowerManagement.Inhibit")});
  ASSERT_TRUE(pm.ready());
  LinuxDisplayInhibitors inhibitors(bus.bus(), bus.bus());
  for (bool has : {true, false}) {
    addMethod(powerManagement, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
              QStringLiteral("org.freedesktop.PowerManagement.Inhibit"), QStringLiteral("HasInhibit"), QStringLiteral("b"),
              has ? QStringLiteral("ret = True") : QStringLiteral("ret = False"));
    EXPECT_EQ(ask(inhibitors), has);
  }
}

TEST_F(DisplayInhibitorsTest, ASlowServiceIsCutOffAndChecksShareOneRound) {
  DBusMock session(bus, gnomeSession, {gnomeSession, gnomeSessionPath, gnomeSession});
  ASSERT_TRUE(session.ready());
  // Each step within the call time-out, the two together beyond the deadline.
  gnomeInhibitor(8, QStringLiteral("org.example.Player"), QStringLiteral("__import__('time').sleep(1.5)"));
  LinuxDisplayInhibitors inhibitors(bus.bus(), bus.bus());

  QObject first;
  std::vector<bool> answers;
  bool goneCalled = false;
  inhibitors.check(&first, [&](bool inhibited) { answers.push_back(inhibited); });
  {
    auto* context = new QObject;
    inhibitors.check(context, [&](bool) { goneCalled = true; });
    delete context;
  }
  inhibitors.check(&first, [&](bool inhibited) { answers.push_back(inhibited); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 2; }, 4 * LinuxDisplayInhibitors::deadlineMs));
  // The inhibitor would have counted: the answer is the cut-off one.
  EXPECT_EQ(answers, (std::vector<bool>{false, false}));
  EXPECT_FALSE(goneCalled);
}

}  // namespace
}  // namespace tavolune
