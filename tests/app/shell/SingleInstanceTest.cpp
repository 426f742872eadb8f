#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/shell/SingleInstance.hpp"

namespace tavolune {
namespace {

TEST(SingleInstance, ASecondLaunchOnTheSameFolderHandsOver) {
  QTemporaryDir data;
  SingleInstance first(data.path());
  ASSERT_EQ(first.claim(), SingleInstance::Role::primary);
  QSignalSpy reopened(&first, &SingleInstance::reopenRequested);

  // The same folder written differently is the same folder.
  SingleInstance second(data.path() + "/./");
  EXPECT_EQ(second.claim(), SingleInstance::Role::secondary);
  ASSERT_TRUE(reopened.wait(5000));
  EXPECT_EQ(reopened.size(), 1);

  SingleInstance third(data.path());
  EXPECT_EQ(third.claim(), SingleInstance::Role::secondary);
  ASSERT_TRUE(reopened.wait(5000));
}

TEST(SingleInstance, TwoFoldersNeverCollide) {
  QTemporaryDir a, b;
  EXPECT_NE(SingleInstance::serverName(a.path()), SingleInstance::serverName(b.path()));
  SingleInstance first(a.path()), second(b.path());
  EXPECT_EQ(first.claim(), SingleInstance::Role::primary);
  EXPECT_EQ(second.claim(), SingleInstance::Role::primary);
}

// Sets an environment variable for one scope.
struct ScopedVariable {
  ScopedVariable(const char* name, const QByteArray& value)
      : name(name), old(qgetenv(name)), had(qEnvironmentVariableIsSet(name)) {
    if (value.isNull()) {
      qunsetenv(name);
    } else {
      qputenv(name, value);
    }
  }
  ~ScopedVariable() {
    if (had) {
      qputenv(name, old);
    } else {
      qunsetenv(name);
    }
  }
  const char* name;
  QByteArray old;
  bool had;
};

QFileDevice::Permissions othersAndGroup() {
  return QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
         QFileDevice::WriteOther | QFileDevice::ExeOther;
}

TEST(SingleInstance, TheSocketLivesInTheUsersPrivateRuntimeFolder) {
  QTemporaryDir data, runtime;
  QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  {
    ScopedVariable set("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    EXPECT_EQ(QFileInfo(SingleInstance::serverName(data.path())).absolutePath(), QDir(runtime.path()).absolutePath());
    SingleInstance first(data.path());
    ASSERT_EQ(first.claim(), SingleInstance::Role::primary);
    EXPECT_TRUE(QFileInfo::exists(SingleInstance::serverName(data.path())));

    // A runtime folder others may enter is refused, and nothing listens.
    QFile::setPermissions(runtime.path(), QFile::permissions(runtime.path()) | QFileDevice::ExeOther);
    SingleInstance open(data.path());
    EXPECT_EQ(open.claim(), SingleInstance::Role::failed);
  }
  ScopedVariable unset("XDG_RUNTIME_DIR", QByteArray());
  const QFileInfo fallback(QFileInfo(SingleInstance::serverName(data.path())).absolutePath());
  EXPECT_EQ(fallback.absolutePath(), QDir(QDir::tempPath()).absolutePath());
  EXPECT_TRUE(fallback.isDir());
  EXPECT_EQ(fallback.ownerId(), ::getuid());
  EXPECT_EQ(fallback.permissions() & othersAndGroup(), QFileDevice::Permissions());
}

// Runs body in a child whose effective user is `nobody`; its file access
// stays root's (fsuid), so that only the socket's credentials differ.
// The child's exit status is body's answer.
int asAnotherUser(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setresuid(65534, 65534, 0) != 0) ::_exit(90);
    ::setfsuid(0);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

sockaddr_un unixAddress(const QString& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray bytes = QFile::encodeName(path);
  std::memcpy(address.sun_path, bytes.constData(), std::min(std::size_t(bytes.size()), sizeof address.sun_path - 1));
  return address;
}

TEST(SingleInstance, NeitherSideTalksToAnotherUser) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  QTemporaryDir data;
  const QString name = SingleInstance::serverName(data.path());
  const sockaddr_un address = unixAddress(name);

  // Another user's process connects and asks for a reopen: it is not heard.
  SingleInstance first(data.path());
  ASSERT_EQ(first.claim(), SingleInstance::Role::primary);
  QSignalSpy reopened(&first, &SingleInstance::reopenRequested);
  EXPECT_EQ(asAnotherUser([&] {
              const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
              if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 1;
              return ::write(fd, SingleInstance::reopenMessage, 7) == 7 ? 0 : 2;
            }),
            0);
  SingleInstance ours(data.path());
  EXPECT_EQ(ours.claim(), SingleInstance::Role::secondary);
  ASSERT_TRUE(reopened.wait(5000));
  EXPECT_EQ(reopened.size(), 1) << "only our own launch asked";
}

TEST(SingleInstance, AListenerOfAnotherUserIsNeitherToldNorReplaced) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  QTemporaryDir data;
  const QString name = SingleInstance::serverName(data.path());
  const sockaddr_un address = unixAddress(name);
  int ready[2], heard[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(heard), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // Bound as root in the private folder, listening as `nobody`: the
    // credentials a client sees are those of listen().
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(1);
    if (::setresuid(65534, 65534, 65534) != 0 || ::listen(fd, 4) != 0) ::_exit(2);
    char one = 1;
    if (::write(ready[1], &one, 1) != 1) ::_exit(3);
    const int client = ::accept(fd, nullptr, nullptr);
    char buffer[16];
    const ssize_t n = client >= 0 ? ::read(client, buffer, sizeof buffer) : -1;
    const char got = n > 0 ? 'y' : 'n';  // a closed connection reads 0
    ::_exit(::write(heard[1], &got, 1) == 1 ? 0 : 4);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  SingleInstance second(data.path());
  EXPECT_EQ(second.claim(), SingleInstance::Role::failed);
  ASSERT_EQ(::read(heard[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'n') << "the reopen message went to another user";
  EXPECT_TRUE(QFileInfo::exists(name)) << "another user's socket was removed";
  int status = 0;
  ::waitpid(child, &status, 0);
  for (int fd : {ready[0], ready[1], heard[0], heard[1]}) ::close(fd);
  QFile::remove(name);
}

TEST(SingleInstance, RecoversTheSocketOfADeadInstance) {
  QTemporaryDir data;
  const QString path = QDir(QDir::tempPath()).filePath(SingleInstance::serverName(data.path()));
  // What a killed instance leaves: a socket file nobody listens on.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray bytes = QFile::encodeName(path);
  ASSERT_LT(bytes.size(), qsizetype(sizeof address.sun_path));
  std::memcpy(address.sun_path, bytes.constData(), std::size_t(bytes.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  ASSERT_TRUE(QFile::exists(path));

  {
    SingleInstance revived(data.path());
    EXPECT_EQ(revived.claim(), SingleInstance::Role::primary);
    SingleInstance later(data.path());
    QSignalSpy reopened(&revived, &SingleInstance::reopenRequested);
    EXPECT_EQ(later.claim(), SingleInstance::Role::secondary);
    EXPECT_TRUE(reopened.wait(5000));
  }
  // A clean exit leaves nothing behind, and the next launch is the first again.
  EXPECT_FALSE(QFile::exists(path));
  SingleInstance next(data.path());
  EXPECT_EQ(next.claim(), SingleInstance::Role::primary);
}

}  // namespace
}  // namespace tavolune
