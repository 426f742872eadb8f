#pragma once
// Opens web pages and folders in the user's own programs. GUI thread only.
//
// The programs start with the environment this program was given, not the
// one it runs with: the web engine's switches it sets at start (a proxy
// that refuses everything) would otherwise reach a browser built on the
// same engine and keep it off the network.

#include <QObject>
#include <QStringList>
#include <QUrl>

namespace tavolune {

class UrlLauncher {
 public:
  virtual ~UrlLauncher() = default;
  // False when no program could be started.
  virtual bool open(const QUrl& url) = 0;
};

// Keeps the environment as it is now; main calls it first, before anything
// sets a variable. Later calls keep the first snapshot.
void captureGivenEnvironment();
// "NAME=value" lines of that snapshot (of the environment now when none
// was taken).
QStringList givenEnvironment();

// From now on QDesktopServices::openUrl hands http, https and file URLs to
// the launcher; nullptr gives them back to Qt. The launcher outlives the
// route.
class DesktopUrlRoute final : public QObject {
  Q_OBJECT

 public:
  static void to(UrlLauncher* launcher);
  // QDesktopServices::openUrl for callers that need to know whether a
  // program started: Qt reports a URL handler as successful whatever it
  // answers.
  static bool openUrl(const QUrl& url);

 public slots:
  // False when the launcher could start no program.
  bool open(const QUrl& url);

 private:
  UrlLauncher* launcher_ = nullptr;
};

}  // namespace tavolune
