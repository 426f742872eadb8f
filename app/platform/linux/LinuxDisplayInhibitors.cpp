#include "app/platform/linux/LinuxDisplayInhibitors.hpp"

#include "app/platform/linux/DBusPropertyWatch.hpp"
#include "app/platform/linux/Login1.hpp"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QFileInfo>

#include <memory>

namespace tavolune {

namespace {
const QString gnomeSession = QStringLiteral("org.gnome.SessionManager");
const QString gnomeSessionPath = QStringLiteral("/org/gnome/SessionManager");
const QString gnomeInhibitor = QStringLiteral("org.gnome.SessionManager.Inhibitor");
const QString powerManagement = QStringLiteral("org.freedesktop.PowerManagement");
const QString powerManagementPath = QStringLiteral("/org/freedesktop/PowerManagement/Inhibit");
const QString powerManagementInhibit = QStringLiteral("org.freedesktop.PowerManagement.Inhibit");

bool isReply(const QDBusMessage& reply) {
  return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}
}  // namespace

LinuxDisplayInhibitors::LinuxDisplayInhibitors(QDBusConnection systemBus, QDBusConnection sessionBus, QObject* parent)
    : QObject(parent), system_(std::move(systemBus)), session_(std::move(sessionBus)) {
  // A child, so that a test can tell an answer from a cut-off.
  deadline_.setParent(this);
  deadline_.setObjectName(QStringLiteral("deadline"));
  deadline_.setSingleShot(true);
  deadline_.setInterval(deadlineMs);
  connect(&deadline_, &QTimer::timeout, this, &LinuxDisplayInhibitors::finish);
  QStringList ids{QCoreApplication::applicationName(), QFileInfo(QCoreApplication::applicationFilePath()).fileName()};
  ids.removeAll(QString());
  setSelf(QCoreApplication::applicationPid(), ids);
}

void LinuxDisplayInhibitors::setSelf(qint64 pid, QStringList appIds) {
  selfPid_ = pid;
  selfAppIds_ = std::move(appIds);
}

void LinuxDisplayInhibitors::check(QObject* context, std::function<void(bool)> done) {
  waiters_.push_back({QPointer<QObject>(context), std::move(done)});
  if (running_) return;
  running_ = true;
  found_ = false;
  pending_ = 3;
  const int round = ++round_;
  deadline_.start();
  askLogind(round);
  askGnome(round);
  askPowerManagement(round);
}

void LinuxDisplayInhibitors::askLogind(int round) {
  if (skipped(system_, round)) return;
  callAsync(system_, login1::service, login1::path, login1::manager, QStringLiteral("ListInhibitors"), {}, this,
            [this, round](const QDBusMessage& reply) {
              bool inhibited = false;
              if (isReply(reply)) {
                // a(ssssuu): what, who, why, mode, uid, pid.
                const auto list = reply.arguments().constFirst().value<QDBusArgument>();
                list.beginArray();
                while (!list.atEnd()) {
                  QString what, who, why, mode;
                  uint uid = 0, pid = 0;
                  list.beginStructure();
                  list >> what >> who >> why >> mode >> uid >> pid;
                  list.endStructure();
                  inhibited |= what.split(QLatin1Char(':')).contains(QLatin1String("idle")) &&
                               mode == QLatin1String("block") && qint64(pid) != selfPid_;
                }
                list.endArray();
              }
              answered(round, inhibited);
            });
}

void LinuxDisplayInhibitors::askGnome(int round) {
  if (skipped(session_, round)) return;
  callAsync(session_, gnomeSession, gnomeSessionPath, gnomeSession, QStringLiteral("GetInhibitors"), {}, this,
            [this, round](const QDBusMessage& reply) {
              QList<QDBusObjectPath> paths;
              if (isReply(reply)) paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().constFirst());
              if (paths.isEmpty()) return answered(round, false);
              // Each inhibitor counts once both its flags and its owner are in.
              struct Tally {
                int remaining;
                bool found = false;
              };
              auto tally = std::make_shared<Tally>(Tally{int(paths.size()), false});
              for (const QDBusObjectPath& path : paths) {
                struct One {
                  int replies = 0;
                  bool ok = true;
                  uint flags = 0;
                  QString appId;
                };
                auto one = std::make_shared<One>();
                auto settle = [this, round, tally, one] {
                  if (++one->replies < 2) return;
                  const bool ours = selfAppIds_.contains(one->appId, Qt::CaseInsensitive);
                  tally->found |= one->ok && (one->flags & gnomeIdleFlag) && !ours;
                  if (--tally->remaining == 0) answered(round, tally->found);
                };
                callAsync(session_, gnomeSession, path.path(), gnomeInhibitor, QStringLiteral("GetFlags"), {}, this,
                          [one, settle](const QDBusMessage& flags) {
                            if (isReply(flags)) one->flags = flags.arguments().constFirst().toUInt();
                            else one->ok = false;
                            settle();
                          });
                callAsync(session_, gnomeSession, path.path(), gnomeInhibitor, QStringLiteral("GetAppId"), {}, this,
                          [one, settle](const QDBusMessage& appId) {
                            if (isReply(appId)) one->appId = appId.arguments().constFirst().toString();
                            else one->ok = false;
                            settle();
                          });
              }
            });
}

void LinuxDisplayInhibitors::askPowerManagement(int round) {
  if (skipped(session_, round)) return;
  callAsync(session_, powerManagement, powerManagementPath, powerManagementInhibit, QStringLiteral("HasInhibit"), {},
            this, [this, round](const QDBusMessage& reply) {
              answered(round, isReply(reply) && reply.arguments().constFirst().toBool());
            });
}

bool LinuxDisplayInhibitors::skipped(const QDBusConnection& bus, int round) {
  if (bus.isConnected()) return false;
  // Answered later all the same: callers never hear back inside check().
  QMetaObject::invokeMethod(this, [this, round] { answered(round, false); }, Qt::QueuedConnection);
  return true;
}

void LinuxDisplayInhibitors::answered(int round, bool inhibited) {
  if (!running_ || round != round_) return;
  found_ |= inhibited;
  // One inhibition settles it; the other sources need not be awaited.
  if (--pending_ == 0 || found_) finish();
}

void LinuxDisplayInhibitors::finish() {
  if (!running_) return;
  running_ = false;
  deadline_.stop();
  lastKnown_ = found_;
  auto waiters = std::move(waiters_);
  waiters_.clear();
  for (Waiter& waiter : waiters) {
    if (waiter.context) waiter.done(lastKnown_);
  }
}

}  // namespace tavolune
