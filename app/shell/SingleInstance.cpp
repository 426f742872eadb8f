#include "app/shell/SingleInstance.hpp"

#include "app/platform/PrivateSockets.hpp"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace tavolune {
namespace {

constexpr int connectTimeoutMs = 1000;
constexpr int writeTimeoutMs = 1000;
constexpr int lockTimeoutMs = 5000;

enum class HandOver { done, nobody, stranger };

// Asks a listening instance to reopen. A listener of another user hears
// nothing from us.
HandOver handOver(const QString& name) {
  QLocalSocket socket;
  socket.connectToServer(name, QIODevice::WriteOnly);
  if (!socket.waitForConnected(connectTimeoutMs)) return HandOver::nobody;
  if (privatesockets::peerUser(socket.socketDescriptor()) != privatesockets::currentUser()) {
    socket.abort();
    return HandOver::stranger;
  }
  socket.write(SingleInstance::reopenMessage);
  const bool written = socket.waitForBytesWritten(writeTimeoutMs) || socket.bytesToWrite() == 0;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(writeTimeoutMs);
  return written ? HandOver::done : HandOver::nobody;
}

}  // namespace

QString SingleInstance::serverName(const QString& dataFolder) {
  const QString folder = privatesockets::runtimeFolder();
  if (folder.isEmpty()) return {};
  const QString path = QDir::cleanPath(QDir(dataFolder).absolutePath());
  const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
  return QDir(folder).filePath(QStringLiteral("tavolune-%1.socket").arg(QString::fromLatin1(hash)));
}

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent), name_(serverName(dataFolder)) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();  // removes the socket file
}

SingleInstance::Role SingleInstance::claim() {
  if (server_) return Role::primary;
  if (name_.isEmpty()) return Role::failed;
  // Two launches at the same moment take turns: without the lock both could
  // find the socket dead, and one would remove the other's fresh one.
  QLockFile lock(name_ + QStringLiteral(".lock"));
  if (!lock.tryLock(lockTimeoutMs)) return handOver(name_) == HandOver::done ? Role::secondary : Role::failed;

  switch (handOver(name_)) {
    case HandOver::done: return Role::secondary;
    case HandOver::stranger: return Role::failed;  // never remove what is not ours
    case HandOver::nobody: break;
  }
  // Nobody answers: whatever socket file is left belongs to a dead process.
  QLocalServer::removeServer(name_);
  auto* server = new QLocalServer(this);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(name_)) {
    delete server;
    return Role::failed;
  }
  server_ = server;
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
  return Role::primary;
}

void SingleInstance::acceptConnections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    if (privatesockets::peerUser(socket->socketDescriptor()) != privatesockets::currentUser()) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // The message may come in pieces; a reopen counts once it is whole.
    auto readLines = [this, socket] {
      while (socket->canReadLine()) {
        if (socket->readLine() == reopenMessage) emit reopenRequested();
      }
    };
    connect(socket, &QLocalSocket::readyRead, this, readLines);
    readLines();
  }
}

}  // namespace tavolune
