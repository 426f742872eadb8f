#include "app/platform/PrivateSockets.hpp"

#include <QDir>
#include <QFile>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavolune::privatesockets {

QString runtimeFolder() {
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty() || !QDir::isAbsolutePath(folder)) {
    // The shared temporary folder: another user may have made the name
    // first, which the checks below refuse.
    folder = QDir(QDir::tempPath()).filePath(QStringLiteral("tavolune-runtime-%1").arg(::getuid()));
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) return {};
  }
  struct stat st {};
  if (::lstat(QFile::encodeName(folder).constData(), &st) != 0) return {};
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) return {};
  return QDir::cleanPath(folder);
}

std::optional<uint> peerUser(qintptr socketDescriptor) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (socketDescriptor < 0 || ::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
      size != sizeof credentials) {
    return std::nullopt;
  }
  return uint(credentials.uid);
}

uint currentUser() { return uint(::getuid()); }

}  // namespace tavolune::privatesockets
