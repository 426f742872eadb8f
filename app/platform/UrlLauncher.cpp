#include "app/platform/UrlLauncher.hpp"

#include <QDesktopServices>
#include <QProcessEnvironment>

#include <algorithm>
#include <iterator>
#include <optional>

namespace tavolune {

namespace {

std::optional<QStringList>& snapshot() {
  static std::optional<QStringList> given;
  return given;
}

DesktopUrlRoute*& theRoute() {
  static DesktopUrlRoute* route = nullptr;
  return route;
}

constexpr const char* routedSchemes[] = {"http", "https", "file"};

}  // namespace

void captureGivenEnvironment() {
  if (!snapshot()) snapshot() = QProcessEnvironment::systemEnvironment().toStringList();
}

QStringList givenEnvironment() {
  return snapshot() ? *snapshot() : QProcessEnvironment::systemEnvironment().toStringList();
}

void DesktopUrlRoute::to(UrlLauncher* launcher) {
  auto*& route = theRoute();
  if (!route) route = new DesktopUrlRoute;
  route->launcher_ = launcher;
  for (const char* scheme : routedSchemes) {
    if (launcher) {
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), route, "open");
    } else {
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
  }
}

bool DesktopUrlRoute::open(const QUrl& url) { return launcher_ && launcher_->open(url); }

bool DesktopUrlRoute::openUrl(const QUrl& url) {
  auto* route = theRoute();
  const bool routed = std::any_of(std::begin(routedSchemes), std::end(routedSchemes),
                                  [&](const char* scheme) { return url.scheme() == QLatin1String(scheme); });
  if (routed && route && route->launcher_) return route->open(url);
  return QDesktopServices::openUrl(url);
}

}  // namespace tavolune
