#pragma once
// Waits for a wallpaper back end's answer with QSignalSpy: the answer renames
// a plain QObject, whose objectNameChanged the spy watches. GUI thread only.

#include "app/platform/WallpaperBackend.hpp"

#include <QSignalSpy>

namespace tavolune::testsupport {

struct WallpaperAnswer {
  QObject box;
  std::optional<WallpaperBackend::Outcome> outcome;
  int count = 0;

  WallpaperBackend::Done done() {
    outcome.reset();
    return [this](WallpaperBackend::Outcome o) {
      outcome = o;
      box.setObjectName(QString::number(++count));
    };
  }
  // The outcome, or a failure text when none came in time.
  WallpaperBackend::Outcome wait(int ms = 15000) {
    if (!outcome) {
      QSignalSpy spy(&box, &QObject::objectNameChanged);
      if (!spy.wait(ms)) return QStringLiteral("no answer in time");
    }
    return *outcome;
  }
};

// The file the back end reads for the display, or a failure text when no
// answer came in time.
inline std::optional<QString> shownBy(WallpaperBackend& backend, const Display& display, int workspace = 0) {
  QObject box;
  std::optional<std::optional<QString>> shown;
  backend.currentPicture(display, workspace, &box, [&](std::optional<QString> file) {
    shown = file;
    box.setObjectName(QStringLiteral("answered"));
  });
  QSignalSpy spy(&box, &QObject::objectNameChanged);
  if (!spy.wait(15000)) return QStringLiteral("no answer in time");
  return *shown;
}

}  // namespace tavolune::testsupport
