#include "app/platform/UrlLauncher.hpp"

#include <QDesktopServices>
#include <QProcessEnvironment>

#include <optional>

namespace tavolune {

namespace {

std::optional<QStringList>& snapshot() {
  static std::optional<QStringList> given;
  return given;
}

}  // namespace

void captureGivenEnvironment() {
  if (!snapshot()) snapshot() = QProcessEnvironment::systemEnvironment().toStringList();
}

QStringList givenEnvironment() {
  return snapshot() ? *snapshot() : QProcessEnvironment::systemEnvironment().toStringList();
}

void DesktopUrlRoute::to(UrlLauncher* launcher) {
  static DesktopUrlRoute* route = new DesktopUrlRoute;
  route->launcher_ = launcher;
  for (const char* scheme : {"http", "https", "file"}) {
    if (launcher) {
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), route, "open");
    } else {
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
  }
}

void DesktopUrlRoute::open(const QUrl& url) {
  if (launcher_) launcher_->open(url);
}

}  // namespace tavolune
