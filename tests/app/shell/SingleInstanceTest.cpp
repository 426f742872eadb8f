#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <sys/socket.h>
#include <sys/un.h>
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
