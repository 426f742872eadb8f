#pragma once
// One running program per data folder. The first launch listens on a local
// socket named after the folder, in the user's private runtime folder; a
// later launch on the same folder finds it, asks it to reopen and should
// then exit. Each side talks only to a peer of the same user. A socket left
// behind by a process that died is recovered. GUI thread only; claim()
// blocks briefly (a local connect and one short write, under a lock file).

#include <QObject>
#include <QString>

class QLocalServer;

namespace tavolune {

class SingleInstance final : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
  ~SingleInstance() override;

  enum class Role { primary, secondary, failed };

  // Becomes the folder's one instance (primary), or hands over to the one
  // that runs (secondary: the caller exits 0). `failed` when neither
  // works, also when the listener belongs to another user; the caller may
  // run on alone.
  Role claim();

  // The socket's path in privatesockets::runtimeFolder(), named by a hash
  // of the folder's absolute, clean path, so that two folders never share
  // one; empty when there is no private runtime folder.
  static QString serverName(const QString& dataFolder);

  static constexpr const char* reopenMessage = "reopen\n";

 signals:
  // A later launch asked this instance to reopen (open its window).
  void reopenRequested();

 private:
  void acceptConnections();

  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace tavolune
